// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

class wxWindow;

// What the Wipe free space button asks first: a folder on a mounted drive,
// or (where the system can) an ext drive or image that is not mounted,
// picked from the unmounted ext partitions found or as an image file.
class FreeSpaceTarget {
public:
    // The folder, device or image picked; empty when the user cancelled.
    static wxString Ask(wxWindow* parent);

private:
    static wxString AskFolder(wxWindow* parent);
    static wxString AskVolume(wxWindow* parent);
};
