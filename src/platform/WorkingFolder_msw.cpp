#include "WorkingFolder.h"

#include <wx/filefn.h>

// The toolkit asks Windows for the wide text itself.
wxString WorkingFolder::Path()
{
    return wxGetCwd();
}
