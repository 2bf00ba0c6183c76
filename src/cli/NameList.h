// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <vector>

// The names of a --files0-from list, as find -print0 writes them: each ended
// by a NUL (the last one may lack it), any other byte, a newline too, part of
// the name.
class NameList {
public:
    // Reads every name of the list in the file from ("-": standard input) into
    // names. False, with why in error, when it cannot be read or a name in
    // it is empty (its place in the list named): nothing is to be wiped then.
    static bool Read(const wxString& from, std::vector<wxString>& names, wxString& error);
};
