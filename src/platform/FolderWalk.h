// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <functional>

// The walk behind "Add folder" and dropped folders. Like rm -r and find, it
// never goes through a link met inside the tree: a link to a folder would
// bring in files the user never chose (a junction such as "Application Data"
// leads into a whole other tree). The folder the user chose may itself be one.
class FolderWalk {
public:
    using FileFound = std::function<void(const wxString& path)>;
    using FolderFailed = std::function<void(const wxString& folder)>;

    // Reports every entry below folder that is neither a folder nor a link,
    // depth first, and every folder that cannot be listed. Each folder is
    // entered once, also where a mount shows it twice. A mount of the
    // kernel's own (proc, sysfs; SystemFilesystem), folder itself included,
    // is never entered: it is reported as one entry, for the run to refuse.
    // onLink, where given, hears of every link met (still not gone through),
    // for a caller that must account for everything in the tree.
    static void Run(const wxString& folder, const FileFound& onFile, const FolderFailed& onUnreadable,
                    const FileFound& onLink = FileFound());
    // True when path is a folder or a link to one: what Run would walk.
    static bool IsFolder(const wxString& path);
    using FolderNotRemoved = std::function<void(const wxString& folder, const wxString& detail)>;
    // Removes every folder below folder that is empty once the folders below
    // it are gone, and folder itself if it is then empty (not when it is named
    // "." or ".."); never a file, never through a link, and nothing when
    // folder is itself a link. True when folder is gone. onNotRemoved hears of
    // each folder that was empty but could not be removed, with the system's
    // reason.
    static bool RemoveEmptied(const wxString& folder, const FolderNotRemoved& onNotRemoved = FolderNotRemoved());
};
