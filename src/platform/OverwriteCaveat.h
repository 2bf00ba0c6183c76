#pragma once

#include <wx/string.h>

// Where overwriting a file in place cannot reach its old bytes: copy-on-write
// and log-structured filesystems write the new bytes elsewhere, a network
// filesystem's server decides where they go, an ext4 journal that keeps data
// (data=journal, or a small file stored inline) keeps copies of it, and on
// Windows compressed, sparse or encrypted files are stored apart from what is
// written to them; ReFS writes changed blocks elsewhere, and FAT and exFAT
// keep old bytes in the unused rest of a file's last cluster.
class OverwriteCaveat {
public:
    // What defeats overwriting for this file, as a noun ("btrfs filesystem",
    // "network drive", "compressed file"), or empty when overwriting reaches
    // the old bytes or the file cannot be examined.
    static wxString For(const wxString& path);
    // The same noun in the user's language, for a box or a message; For()'s
    // own text is what reports and comparisons use.
    static wxString Shown(const wxString& kind);
};
