// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusLine.h"

#include "platform/gui/Accessibility.h"

StatusLine::StatusLine(wxWindow* parent, int fields) : wxStatusBar(parent, 0, wxSTB_DEFAULT_STYLE)
{
    SetFieldsCount(fields);
    Accessibility::PresentAsStatus(*this);
}

void StatusLine::DoUpdateStatusText(int field)
{
    wxStatusBar::DoUpdateStatusText(field);
    if (field == 0)
        Accessibility::PresentAsStatus(*this);
}
