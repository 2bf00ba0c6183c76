// SPDX-License-Identifier: GPL-3.0-or-later
#include "MyDropTarget.h"

#include "MainFrame.h"

bool MyDropTarget::OnDropFiles(wxCoord, wxCoord, const wxArrayString& filenames)
{
    wxASSERT(queue == &frame->wipeQueue);
    return frame->AddPaths(filenames);
}
