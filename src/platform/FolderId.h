#pragma once

#include <wx/string.h>

// What makes a folder the same folder whatever path leads to it (links,
// junctions): used to enter each folder only once during a walk.
class FolderId {
public:
    // Empty when the folder cannot be identified.
    static wxString Of(const wxString& path);
};
