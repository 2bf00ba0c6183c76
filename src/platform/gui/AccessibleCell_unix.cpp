// SPDX-License-Identifier: GPL-3.0-or-later
#include <wx/listctrl.h>

#ifdef __WXGTK3__
#include "platform/gui/AccessibleCell.h"

#include <gtk/gtk.h>

#include "platform/gui/AccessibleTable.h"

namespace {

struct Part {
    AtkObject parent;
    AtkObject* table;  // not owned; null once the table has let go
    int row;           // -1: the column headers
    int column;        // -1: the whole row
};

struct PartClass {
    AtkObjectClass parent;
};

GType PartType();

Part* AsPart(gpointer object)
{
    return G_TYPE_CHECK_INSTANCE_CAST(object, PartType(), Part);
}

wxListCtrl* ListOf(Part* part)
{
    return part->table ? AccessibleTable::List(part->table) : nullptr;
}

// The list's two panels: the one that draws the rows (the table's widget)
// and the one that draws the headings.
wxWindow* Panel(Part* part, bool rows)
{
    wxListCtrl* list = ListOf(part);
    if (!list)
        return nullptr;
    GtkWidget* rowsWidget = gtk_accessible_get_widget(GTK_ACCESSIBLE(part->table));
    for (wxWindow* child : list->GetChildren())
        if (child->GetHandle() && (child->GetHandle() == rowsWidget) == rows)
            return child;
    return nullptr;
}

// Where part is drawn, in screen pixels; false if nowhere.
bool ScreenRect(Part* part, wxRect& rect)
{
    wxListCtrl* list = ListOf(part);
    wxWindow* panel = Panel(part, part->row >= 0);
    if (!list || !panel)
        return false;
    if (part->row >= 0) {
        if (part->row >= list->GetItemCount())
            return false;
        const bool found = part->column < 0 ? list->GetItemRect(part->row, rect)
                                            : list->GetSubItemRect(part->row, part->column, rect);
        if (!found)
            return false;
    } else {
        // The headings scroll sideways with the rows.
        int x = 0;
        list->CalcScrolledPosition(0, 0, &x, nullptr);
        int width = 0;
        for (int column = 0; column < list->GetColumnCount(); ++column)
            if (part->column < 0 || column <= part->column) {
                const int columnWidth = list->GetColumnWidth(column);
                if (column < part->column)
                    x += columnWidth;
                else
                    width += columnWidth;
            }
        rect = wxRect(x, 0, width, panel->GetClientSize().y);
    }
    rect.SetPosition(panel->ClientToScreen(rect.GetPosition()));
    return true;
}

bool Showing(Part* part)
{
    wxWindow* panel = Panel(part, part->row >= 0);
    wxRect rect;
    return panel && panel->IsShownOnScreen() && ScreenRect(part, rect)
           && rect.Intersects(wxRect(panel->ClientToScreen(wxPoint()), panel->GetClientSize()));
}

// --- AtkObject --------------------------------------------------------------

gint PartIndexInParent(AtkObject* object)
{
    Part* part = AsPart(object);
    if (!part->table)
        return -1;
    return part->column >= 0 ? part->column : part->row + 1;
}

AtkObject* PartParent(AtkObject* object)
{
    Part* part = AsPart(object);
    if (!part->table || part->column < 0)
        return part->table;
    return AccessibleTable::Part(part->table, part->row, -1);
}

gint PartChildCount(AtkObject* object)
{
    Part* part = AsPart(object);
    wxListCtrl* list = ListOf(part);
    return list && part->column < 0 ? list->GetColumnCount() : 0;
}

AtkObject* PartChild(AtkObject* object, gint index)
{
    Part* part = AsPart(object);
    AtkObject* child = part->table && part->column < 0 ? AccessibleTable::Part(part->table, part->row, index) : nullptr;
    return child ? ATK_OBJECT(g_object_ref(child)) : nullptr;
}

bool RowHasState(Part* part, long state)
{
    wxListCtrl* list = ListOf(part);
    return list && part->row >= 0 && part->row < list->GetItemCount() && list->GetItemState(part->row, state) != 0;
}

AtkStateSet* PartStates(AtkObject* object)
{
    Part* part = AsPart(object);
    AtkStateSet* states = atk_state_set_new();
    if (!ListOf(part)) {
        atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
        return states;
    }
    for (AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE, ATK_STATE_TRANSIENT})
        atk_state_set_add_state(states, state);
    if (Showing(part))
        atk_state_set_add_state(states, ATK_STATE_SHOWING);
    if (part->row < 0)
        return states;
    atk_state_set_add_state(states, ATK_STATE_SELECTABLE);
    if (RowHasState(part, wxLIST_STATE_SELECTED))
        atk_state_set_add_state(states, ATK_STATE_SELECTED);
    // The list moves by rows: a row, not a cell, has the focus.
    if (part->column < 0) {
        atk_state_set_add_state(states, ATK_STATE_FOCUSABLE);
        GtkWidget* rows = gtk_accessible_get_widget(GTK_ACCESSIBLE(part->table));
        if (rows && gtk_widget_has_focus(rows) && RowHasState(part, wxLIST_STATE_FOCUSED))
            atk_state_set_add_state(states, ATK_STATE_FOCUSED);
    }
    return states;
}

// --- AtkComponent -----------------------------------------------------------

void PartExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height, AtkCoordType coordinates)
{
    Part* part = AsPart(component);
    wxRect rect(-1, -1, -1, -1);
    if (ScreenRect(part, rect) && coordinates != ATK_XY_SCREEN) {
        int originX = 0, originY = 0;
        if (coordinates == ATK_XY_PARENT) {
            atk_component_get_extents(ATK_COMPONENT(PartParent(ATK_OBJECT(part))), &originX, &originY, nullptr,
                                      nullptr, ATK_XY_SCREEN);
        } else {
            GtkWidget* rows = gtk_accessible_get_widget(GTK_ACCESSIBLE(part->table));
            GdkWindow* window = rows ? gtk_widget_get_window(gtk_widget_get_toplevel(rows)) : nullptr;
            if (window)
                gdk_window_get_origin(window, &originX, &originY);
        }
        rect.Offset(-originX, -originY);
    }
    if (x)
        *x = rect.x;
    if (y)
        *y = rect.y;
    if (width)
        *width = rect.width;
    if (height)
        *height = rect.height;
}

void ComponentInit(gpointer iface, gpointer)
{
    static_cast<AtkComponentIface*>(iface)->get_extents = PartExtents;
}

// --- AtkTableCell -----------------------------------------------------------

gboolean CellPosition(AtkTableCell* cell, gint* row, gint* column)
{
    Part* part = AsPart(cell);
    if (row)
        *row = part->row;
    if (column)
        *column = part->column;
    return part->table != nullptr;
}

gint CellSpan(AtkTableCell*)
{
    return 1;
}

gboolean CellRowColumnSpan(AtkTableCell* cell, gint* row, gint* column, gint* rowSpan, gint* columnSpan)
{
    if (rowSpan)
        *rowSpan = 1;
    if (columnSpan)
        *columnSpan = 1;
    return CellPosition(cell, row, column);
}

GPtrArray* CellColumnHeaders(AtkTableCell* cell)
{
    Part* part = AsPart(cell);
    GPtrArray* headers = g_ptr_array_new_with_free_func(g_object_unref);
    AtkObject* header = part->table && part->row >= 0 && part->column >= 0
                            ? AccessibleTable::Part(part->table, -1, part->column)
                            : nullptr;
    if (header)
        g_ptr_array_add(headers, g_object_ref(header));
    return headers;
}

GPtrArray* CellRowHeaders(AtkTableCell*)
{
    return g_ptr_array_new_with_free_func(g_object_unref);
}

AtkObject* CellTable(AtkTableCell* cell)
{
    Part* part = AsPart(cell);
    return part->table ? ATK_OBJECT(g_object_ref(part->table)) : nullptr;
}

void TableCellInit(gpointer iface, gpointer)
{
    auto* cell = static_cast<AtkTableCellIface*>(iface);
    cell->get_position = CellPosition;
    cell->get_row_span = CellSpan;
    cell->get_column_span = CellSpan;
    cell->get_row_column_span = CellRowColumnSpan;
    cell->get_column_header_cells = CellColumnHeaders;
    cell->get_row_header_cells = CellRowHeaders;
    cell->get_table = CellTable;
}

void PartClassInit(gpointer klass, gpointer)
{
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_index_in_parent = PartIndexInParent;
    atk->get_parent = PartParent;
    atk->get_n_children = PartChildCount;
    atk->ref_child = PartChild;
    atk->ref_state_set = PartStates;
}

GType PartType()
{
    static GType type = [] {
        GType registered = g_type_register_static_simple(ATK_TYPE_OBJECT, "VorlixTablePart", sizeof(PartClass),
                                                         PartClassInit, sizeof(Part), nullptr, GTypeFlags(0));
        const GInterfaceInfo component = {ComponentInit, nullptr, nullptr};
        g_type_add_interface_static(registered, ATK_TYPE_COMPONENT, &component);
        const GInterfaceInfo cell = {TableCellInit, nullptr, nullptr};
        g_type_add_interface_static(registered, ATK_TYPE_TABLE_CELL, &cell);
        return registered;
    }();
    return type;
}

// A row reads as "heading: text" for each of its cells, as a sighted user
// takes it in at a glance.
wxString RowName(AtkObject* table, wxListCtrl& list, int row)
{
    wxString name;
    for (int column = 0; column < list.GetColumnCount(); ++column) {
        if (column)
            name += ", ";
        name += wxString::FromUTF8(AccessibleTable::Heading(table, column)) + ": " + list.GetItemText(row, column);
    }
    return name;
}

}  // namespace

AtkObject* AccessibleCell::Make(AtkObject* table, int row, int column)
{
    auto* object = ATK_OBJECT(g_object_new(PartType(), nullptr));
    Part* part = AsPart(object);
    part->table = table;
    part->row = row;
    part->column = column;
    wxListCtrl& list = *AccessibleTable::List(table);
    if (column < 0) {
        atk_object_set_role(object, ATK_ROLE_TABLE_ROW);
        if (row >= 0)
            atk_object_set_name(object, RowName(table, list, row).utf8_str());
    } else if (row < 0) {
        atk_object_set_role(object, ATK_ROLE_TABLE_COLUMN_HEADER);
        atk_object_set_name(object, AccessibleTable::Heading(table, column));
    } else {
        atk_object_set_role(object, ATK_ROLE_TABLE_CELL);
        atk_object_set_name(object, list.GetItemText(row, column).utf8_str());
    }
    return object;
}

void AccessibleCell::Forget(AtkObject* part)
{
    AsPart(part)->table = nullptr;
}

#endif
