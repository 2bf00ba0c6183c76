// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

// The process's working folder as exact path text (see NativePath); the
// toolkit's own conversion would change a folder name that is not UTF-8.
class WorkingFolder {
public:
    // Empty when the system cannot tell it.
    static wxString Path();
};
