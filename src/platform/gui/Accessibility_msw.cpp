// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gui/Accessibility.h"

#include <wx/access.h>
#include <wx/listctrl.h>

// Windows' own controls describe themselves through MSAA: the list view its
// columns and rows, the progress bar its value, the status bar its text.
// Only a control without a label of its own needs to be given a name.
namespace {

#if wxUSE_ACCESSIBILITY
// Names the control itself; everything else is the system's answer.
class NamedAccessible : public wxAccessible {
public:
    NamedAccessible(wxWindow* control, const wxString& name) : wxAccessible(control), name(name) {}

    wxAccStatus GetName(int childId, wxString* result) override
    {
        if (childId != wxACC_SELF)
            return wxACC_NOT_IMPLEMENTED;
        *result = name;
        return wxACC_OK;
    }

private:
    wxString name;
};
#endif

}  // namespace

void Accessibility::SetName(wxWindow& control, const wxString& name)
{
#if wxUSE_ACCESSIBILITY
    control.SetAccessible(new NamedAccessible(&control, name));
#else
    // Without the toolkit's accessibility support readers fall back on the
    // text of the label placed before the control.
    (void)control;
    (void)name;
#endif
}

// A label placed before its control in the tab order names it already.
void Accessibility::SetLabel(wxStaticText&, wxWindow&) {}

void Accessibility::SingleTabStop(wxWindow&) {}

void Accessibility::PresentAsTable(wxListCtrl& list, const wxString& name)
{
    SetName(list, name);
}

void Accessibility::RowsChanged(wxListCtrl&) {}

void Accessibility::PresentAsStatus(wxStatusBar&) {}

// Windows' status bar already reports its text changes to readers.
void Accessibility::Announce(wxStatusBar&, const wxString&) {}

// A Windows message box reads by its caption already.
void Accessibility::NameBoxesByTitle() {}
