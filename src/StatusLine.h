// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/statusbr.h>

// The window's status bar: besides showing them, it tells screen readers the
// texts of its first field as they change.
class StatusLine : public wxStatusBar {
public:
    StatusLine(wxWindow* parent, int fields);

protected:
    void DoUpdateStatusText(int field) override;
};
