// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/statusbr.h>

// The window's status bar: besides showing them, it tells screen readers the
// texts of its first field as they change, the last of those set in one go
// (a step's passing notice is not said), without taking the focus.
class StatusLine : public wxStatusBar {
public:
    StatusLine(wxWindow* parent, int fields);

    // Shows a run's progress text, percentage done, in the first field; it
    // is said as each tenth of the run is reached rather than at each tick.
    void ShowProgress(const wxString& text, double percentage);

protected:
    void DoUpdateStatusText(int field) override;

private:
    wxString pending;          // to be said once the current event is done
    bool announcing = false;   // pending is on its way
    bool quiet = false;        // the text being set is not to be said
    bool progress = false;     // the text being set is a run's progress
    int progressTenth = 0;     // the tenth of the run said last
};
