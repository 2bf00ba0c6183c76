#include "MyDropTarget.h"

#include "MainFrame.h"

bool MyDropTarget::OnDropFiles(wxCoord, wxCoord, const wxArrayString& filenames)
{
    wxASSERT(queue == &frame->wipeQueue);
    frame->AddPaths(filenames);
    return true;
}
