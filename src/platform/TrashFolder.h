// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <vector>

// The places where the system's file managers keep this user's trashed files
// and what each holds. Linux: the home trash and every mounted filesystem's
// trash for this user, laid out as files/ and info/*.trashinfo. Windows: each
// drive's $Recycle.Bin\<user's SID>, with $R… items and their $I… records.
class TrashFolder {
public:
    struct Item {
        wxString path;          // the trashed file, folder or link
        wxString record;        // what the trash knows of it (the original path); empty when missing
        bool isFolder = false;  // a real folder, to be walked
        bool isLink = false;    // a link or other reparse point, never gone through
    };
    struct Contents {
        std::vector<Item> items;
        // Records whose item is gone, and the trash's own size cache: they
        // name files the user trashed and go with the rest.
        std::vector<wxString> others;
        // A files/ or info/ that is a link or not this user's own folder:
        // nothing in it is listed.
        std::vector<wxString> refused;
    };

    // Every trash folder of this user that exists now, each once.
    static std::vector<wxString> OfUser();
    // What one trash folder holds, items in name order.
    static Contents List(const wxString& folder);
};
