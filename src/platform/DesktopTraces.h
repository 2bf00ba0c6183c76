// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <memory>
#include <vector>

// What this user's desktop keeps of a file after it is gone, found for a run
// that has wiped it. Linux: the thumbnail caches (~/.cache/thumbnails and the
// legacy ~/.thumbnails), GTK's recently-used.xbel and KDE's RecentDocuments,
// in the folders GLib names from XDG_CACHE_HOME, XDG_DATA_HOME and HOME.
// Windows: the shortcuts of the Recent folder and of Office's, read with the
// shell's link object; its thumbnail cache is one database (KeepsPictures).
//
// Everything is read once, when the object is made: each thumbnail folder's
// listing, the xbel and the KDE entries, each shortcut's target. Each wiped
// file then costs a few hash look-ups, and a thumbnail is opened only where
// one carries its name. Nothing is changed here but the xbel: the files
// found are for the caller to overwrite and delete as it wipes any file.
// Made on the thread that wipes: Windows sets up COM there while it reads.
class DesktopTraces {
public:
    enum class Kind {
        Thumbnail,  // a picture of the file in a thumbnail cache
        Recent,     // an entry of a recent-files list
        Shortcut,   // a link to the file the system made by itself (Windows)
    };

    // True where the system keeps pictures of files in a cache no file of
    // which can be taken out (Windows' thumbnail database): the user is told
    // how to clear it instead.
    static bool KeepsPictures();

    // A trace that is a file of its own, to be wiped, or an entry of the
    // xbel, which RewriteRecent removes (list is true, path is the xbel's).
    struct Found {
        Kind kind;
        wxString path;
        bool list = false;
    };

    // A trace that was met but cannot be taken: an unreadable thumbnail, an
    // xbel that does not parse.
    struct Problem {
        Kind kind;
        wxString path;
        wxString reason;
    };

    DesktopTraces();
    ~DesktopTraces();
    DesktopTraces(const DesktopTraces&) = delete;
    DesktopTraces& operator=(const DesktopTraces&) = delete;

    // True when there is nothing at all to look at: no cache, no list.
    bool Nothing() const;

    // The traces of the file at path (absolute, as the system names it),
    // appended to found; the entries of the xbel among them are marked for
    // RewriteRecent. A thumbnail is taken only when its Thumb::URI names
    // this file.
    void Of(const wxString& path, std::vector<Found>& found, std::vector<Problem>& problems);
    // The entries of the recent-files lists that lie inside folder and whose
    // file is no longer there: what a folder wiped as a whole leaves.
    void Under(const wxString& folder, std::vector<Found>& found);

    // Problems met while reading, for the whole run (the xbel unparsable).
    const std::vector<Problem>& ReadProblems() const;

    // Writes the xbel again without the marked entries, keeping all others,
    // and replaces the old one with it; nothing when none is marked. The old
    // file is kept aside under another name in the same folder (oldCopy),
    // for the caller to overwrite and delete: its blocks still hold the
    // names. False, with reason, when it cannot be written (the list is
    // then as it was, and oldCopy empty).
    struct Rewrite {
        bool needed = false;  // some entry was marked
        bool done = false;
        wxString list;        // the xbel's path
        wxString oldCopy;
        wxString reason;
    };
    Rewrite RewriteRecent();

private:
    struct State;
    std::unique_ptr<State> state;
};
