// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/iconbndl.h>

// The program's icon in every size it ships: from the executable's resources on
// Windows, from the images compiled into the program elsewhere.
class AppIcon {
public:
    static wxIconBundle Load();
};
