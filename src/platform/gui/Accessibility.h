// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

class wxListCtrl;
class wxStaticText;
class wxStatusBar;
class wxWindow;

// What screen readers are told about controls the system's accessibility
// layer cannot describe by itself: controls without a visible label of their
// own, and those the toolkit draws by hand (on GTK the report list and the
// status bar are plain panels to it).
class Accessibility {
public:
    // The name a screen reader says for control.
    static void SetName(wxWindow& control, const wxString& name);
    // Tells readers that label names control (GTK has no other way to know).
    static void SetLabel(wxStaticText& label, wxWindow& control);
    // Lets Tab stop once on a control that GTK builds of two focusable parts
    // (a combo box's text and its button); its list still opens by keys.
    static void SingleTabStop(wxWindow& control);
    // Shows list (report view) to readers as a table named name: its column
    // headings, and each row's cells as the list's own text for them.
    static void PresentAsTable(wxListCtrl& list, const wxString& name);
    // To be called when list's rows have changed, in number or in content.
    static void RowsChanged(wxListCtrl& list);
    // Shows bar as a status bar that reads as its first field's text; to be
    // called again whenever that text changes.
    static void PresentAsStatus(wxStatusBar& bar);
    // Has readers say text as news from bar, wherever the focus is, and
    // without moving it.
    static void Announce(wxStatusBar& bar, const wxString& text);
    // From now on every message box reads by its title, as it is seen (GTK
    // names one by its kind, "Information", whatever it says).
    static void NameBoxesByTitle();
};
