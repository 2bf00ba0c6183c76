// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <vector>

class WipeQueue;

// Everything in the user's Trash, put in a wipe queue: each trashed file, the
// files of each trashed folder (walked, no link entered), each item's record
// (it holds the original path) after the item, and the size cache. A link is
// queued too, so that the run names it as a file it did not wipe; its record,
// and that of a folder holding one, stays, so the file manager still shows
// where the item came from. Once the run has emptied them, RemoveEmptied
// takes the trashed folders away. Needs no window: any face can call it.
class TrashQueue {
public:
    struct Added {
        size_t entries = 0;                // paths queued
        // Folders in the Trash that could not be listed, or were not this
        // user's to list: nothing in them was queued.
        std::vector<wxString> unreadable;
        std::vector<wxString> folders;     // trashed folders, for RemoveEmptied after the run
    };

    // Every trash folder of this user (TrashFolder::OfUser).
    static Added Add(WipeQueue& queue);
    static Added Add(const std::vector<wxString>& trashFolders, WipeQueue& queue);

    // Removes each folder that the run has left empty, with the emptied
    // folders inside it; anything still holding a file stays.
    static void RemoveEmptied(const std::vector<wxString>& folders);
};
