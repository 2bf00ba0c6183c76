// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusLine.h"

#include "platform/gui/Accessibility.h"

StatusLine::StatusLine(wxWindow* parent, int fields) : wxStatusBar(parent, 0, wxSTB_DEFAULT_STYLE)
{
    SetFieldsCount(fields);
    Accessibility::PresentAsStatus(*this);
}

void StatusLine::ShowProgress(const wxString& text, double percentage)
{
    const int tenth = percentage > 0 ? static_cast<int>(percentage / 10) : 0;
    quiet = tenth == progressTenth;
    progressTenth = tenth;
    progress = true;
    SetStatusText(text, 0);
    progress = quiet = false;
}

void StatusLine::DoUpdateStatusText(int field)
{
    wxStatusBar::DoUpdateStatusText(field);
    if (field != 0)
        return;
    Accessibility::PresentAsStatus(*this);
    if (!progress)
        progressTenth = 0;
    if (quiet)
        return;
    // Said after the handler that set it: "Removing..." followed by the new
    // count in the same handler is said as the count alone.
    pending = GetStatusText(0);
    if (!announcing) {
        announcing = true;
        CallAfter([this] {
            announcing = false;
            Accessibility::Announce(*this, pending);
        });
    }
}
