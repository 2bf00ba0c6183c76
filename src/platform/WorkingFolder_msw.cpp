// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkingFolder.h"

#include <wx/filefn.h>

// The toolkit asks Windows for the wide text itself.
wxString WorkingFolder::Path()
{
    return wxGetCwd();
}
