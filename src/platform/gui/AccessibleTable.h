// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <gtk/gtk.h>

class wxListCtrl;

// A report list as a table for GTK's accessibility layer (ATK, read by
// AT-SPI), which sees the toolkit's hand-drawn list as an empty panel. Its
// children are the row of column headers, then one row per list row, each
// holding its cells (AccessibleCell): made when a reader first asks, from
// the list's own text, and gone defunct when the rows change or the list
// goes. Accessibility puts it in place of the panel's own accessible.
class AccessibleTable {
public:
    // A table named name for list, the accessible of widget (the panel that
    // draws the rows); the caller holds its only reference.
    static AtkObject* Make(wxListCtrl& list, GtkWidget* widget, const wxString& name);
    // To be called on table when the list's rows have changed, in number or
    // in content: readers ask again.
    static void RowsChanged(AtkObject* table);
    // To be called when the list is destroyed: a reader may hold the table
    // longer, and then finds it empty.
    static void ListGone(AtkObject* table);
    // Tells readers that row has the keyboard focus.
    static void RowFocused(AtkObject* table, int row);

    // For the table's parts: its list, null once gone; the part at row,
    // column as AccessibleCell numbers them (borrowed; null outside the
    // table); the heading of column, as UTF-8.
    static wxListCtrl* List(AtkObject* table);
    static AtkObject* Part(AtkObject* table, int row, int column);
    static const char* Heading(AtkObject* table, int column);
};
