// SPDX-License-Identifier: GPL-3.0-or-later
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
    // The filesystem's part, the same for every file on it, so that a run
    // looks at each filesystem once.
    struct Ground {
        wxString kind;            // what defeats overwriting there, or empty
        bool fileDecides = false; // where kind is empty: each file may still add its own
    };
    static Ground OfFilesystem(const wxString& path);
    // What defeats overwriting for this file on that ground.
    static wxString OfFile(const wxString& path, const Ground& ground);

    // The two together: what defeats overwriting for this file, as a noun
    // ("btrfs filesystem", "network drive", "compressed file"), or empty when
    // overwriting reaches the old bytes or the file cannot be examined.
    static wxString For(const wxString& path) { return OfFile(path, OfFilesystem(path)); }
    // The same noun in the user's language, for a box or a message; For()'s
    // own text is what reports and comparisons use.
    static wxString Shown(const wxString& kind);
};
