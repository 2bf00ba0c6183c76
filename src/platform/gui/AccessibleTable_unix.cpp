// SPDX-License-Identifier: GPL-3.0-or-later
#include <wx/listctrl.h>

#ifdef __WXGTK3__
#include "platform/gui/AccessibleTable.h"

#include <gtk/gtk-a11y.h>

#include <map>
#include <string>
#include <vector>

namespace {

// One header or one cell; its table owns it and lets go of it when the rows
// change or the list goes, after which the cell is defunct.
struct Cell {
    AtkObject parent;
    AtkObject* table;  // not owned; null once the table has let go
    int row;           // -1 for a column header
    int column;
};

struct CellClass {
    AtkObjectClass parent;
};

struct Table {
    GtkWidgetAccessible parent;
    wxListCtrl* list;  // null once the list is destroyed
    // Made when a reader first asks, by child index.
    std::map<int, AtkObject*>* cells;
    std::vector<std::string>* headings;
};

struct TableClass {
    GtkWidgetAccessibleClass parent;
};

GType CellType();
GType TableType();

Table* AsTable(gpointer object)
{
    return G_TYPE_CHECK_INSTANCE_CAST(object, TableType(), Table);
}

Cell* AsCell(gpointer object)
{
    return G_TYPE_CHECK_INSTANCE_CAST(object, CellType(), Cell);
}

int Columns(Table* table)
{
    return table->list ? table->list->GetColumnCount() : 0;
}

int Rows(Table* table)
{
    return table->list ? static_cast<int>(table->list->GetItemCount()) : 0;
}

bool RowHasState(Table* table, int row, long state)
{
    return table->list && row >= 0 && row < Rows(table) && table->list->GetItemState(row, state) != 0;
}

// --- Cells ------------------------------------------------------------------

gint CellIndexInParent(AtkObject* object)
{
    Cell* cell = AsCell(object);
    if (!cell->table)
        return -1;
    const int columns = Columns(AsTable(cell->table));
    return columns + cell->row * columns + cell->column;
}

AtkObject* CellParent(AtkObject* object)
{
    return AsCell(object)->table;
}

AtkStateSet* CellStates(AtkObject* object)
{
    Cell* cell = AsCell(object);
    AtkStateSet* states = atk_state_set_new();
    if (!cell->table) {
        atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
        return states;
    }
    for (AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE, ATK_STATE_SHOWING,
                               ATK_STATE_TRANSIENT})
        atk_state_set_add_state(states, state);
    if (cell->row >= 0) {
        Table* table = AsTable(cell->table);
        atk_state_set_add_state(states, ATK_STATE_SELECTABLE);
        atk_state_set_add_state(states, ATK_STATE_FOCUSABLE);
        if (RowHasState(table, cell->row, wxLIST_STATE_SELECTED))
            atk_state_set_add_state(states, ATK_STATE_SELECTED);
        GtkWidget* rows = gtk_accessible_get_widget(GTK_ACCESSIBLE(table));
        if (rows && gtk_widget_has_focus(rows) && RowHasState(table, cell->row, wxLIST_STATE_FOCUSED))
            atk_state_set_add_state(states, ATK_STATE_FOCUSED);
    }
    return states;
}

void CellClassInit(gpointer klass, gpointer)
{
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_index_in_parent = CellIndexInParent;
    atk->get_parent = CellParent;
    atk->ref_state_set = CellStates;
}

GType CellType()
{
    static GType type = g_type_register_static_simple(ATK_TYPE_OBJECT, "VorlixTableCell", sizeof(CellClass),
                                                      CellClassInit, sizeof(Cell), nullptr, GTypeFlags(0));
    return type;
}

// --- The table --------------------------------------------------------------

void DropCells(Table* table)
{
    for (auto& entry : *table->cells) {
        AsCell(entry.second)->table = nullptr;
        g_object_unref(entry.second);
    }
    table->cells->clear();
}

// The child at index, made on first use; null past the end.
AtkObject* CellAt(Table* table, int index)
{
    const int columns = Columns(table);
    if (columns == 0 || index < 0 || index >= columns * (Rows(table) + 1))
        return nullptr;
    auto found = table->cells->find(index);
    if (found != table->cells->end())
        return found->second;
    auto* object = ATK_OBJECT(g_object_new(CellType(), nullptr));
    Cell* cell = AsCell(object);
    cell->table = ATK_OBJECT(table);
    cell->row = index / columns - 1;
    cell->column = index % columns;
    if (cell->row < 0) {
        atk_object_set_role(object, ATK_ROLE_TABLE_COLUMN_HEADER);
        atk_object_set_name(object, (*table->headings)[static_cast<size_t>(cell->column)].c_str());
    } else {
        atk_object_set_role(object, ATK_ROLE_TABLE_CELL);
        atk_object_set_name(object, table->list->GetItemText(cell->row, cell->column).utf8_str());
    }
    (*table->cells)[index] = object;
    return object;
}

gint TableChildCount(AtkObject* object)
{
    Table* table = AsTable(object);
    return Columns(table) * (Rows(table) + 1);
}

AtkObject* TableChild(AtkObject* object, gint index)
{
    AtkObject* cell = CellAt(AsTable(object), index);
    return cell ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

AtkStateSet* TableStates(AtkObject* object)
{
    AtkObjectClass* base = ATK_OBJECT_CLASS(g_type_class_peek(GTK_TYPE_WIDGET_ACCESSIBLE));
    AtkStateSet* states = base->ref_state_set(object);
    // Readers ask for the cells they show rather than keep them all.
    atk_state_set_add_state(states, ATK_STATE_MANAGES_DESCENDANTS);
    return states;
}

void TableFinalize(GObject* object)
{
    Table* table = AsTable(object);
    DropCells(table);
    delete table->cells;
    delete table->headings;
    G_OBJECT_CLASS(g_type_class_peek(GTK_TYPE_WIDGET_ACCESSIBLE))->finalize(object);
}

void TableInit(GTypeInstance* instance, gpointer)
{
    Table* table = AsTable(instance);
    table->list = nullptr;
    table->cells = new std::map<int, AtkObject*>;
    table->headings = new std::vector<std::string>;
}

void TableClassInit(gpointer klass, gpointer)
{
    G_OBJECT_CLASS(klass)->finalize = TableFinalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_n_children = TableChildCount;
    atk->ref_child = TableChild;
    atk->ref_state_set = TableStates;
}

// AtkTable: rows and columns count the list's; the header row is not one of them.
AtkObject* TableRefAt(AtkTable* object, gint row, gint column)
{
    Table* table = AsTable(object);
    AtkObject* cell = column >= 0 && column < Columns(table) && row >= 0
                          ? CellAt(table, (row + 1) * Columns(table) + column)
                          : nullptr;
    return cell ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

gint TableIndexAt(AtkTable* object, gint row, gint column)
{
    return (row + 1) * Columns(AsTable(object)) + column;
}

gint TableColumnAtIndex(AtkTable* object, gint index)
{
    const int columns = Columns(AsTable(object));
    return columns ? index % columns : -1;
}

gint TableRowAtIndex(AtkTable* object, gint index)
{
    const int columns = Columns(AsTable(object));
    return columns ? index / columns - 1 : -1;
}

gint TableColumnCount(AtkTable* object)
{
    return Columns(AsTable(object));
}

gint TableRowCount(AtkTable* object)
{
    return Rows(AsTable(object));
}

const gchar* TableColumnDescription(AtkTable* object, gint column)
{
    Table* table = AsTable(object);
    if (column < 0 || column >= Columns(table))
        return nullptr;
    return (*table->headings)[static_cast<size_t>(column)].c_str();
}

AtkObject* TableColumnHeader(AtkTable* object, gint column)
{
    Table* table = AsTable(object);
    return column >= 0 && column < Columns(table) ? CellAt(table, column) : nullptr;
}

gboolean TableRowSelected(AtkTable* object, gint row)
{
    return RowHasState(AsTable(object), row, wxLIST_STATE_SELECTED);
}

gboolean TableCellSelected(AtkTable* object, gint row, gint)
{
    return TableRowSelected(object, row);
}

gint TableSelectedRows(AtkTable* object, gint** selected)
{
    Table* table = AsTable(object);
    std::vector<gint> rows;
    long item = -1;
    while (table->list && (item = table->list->GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) != -1)
        rows.push_back(static_cast<gint>(item));
    if (selected) {
        *selected = g_new(gint, rows.size() + 1);
        std::copy(rows.begin(), rows.end(), *selected);
    }
    return static_cast<gint>(rows.size());
}

void TableInterfaceInit(gpointer iface, gpointer)
{
    auto* table = static_cast<AtkTableIface*>(iface);
    table->ref_at = TableRefAt;
    table->get_index_at = TableIndexAt;
    table->get_column_at_index = TableColumnAtIndex;
    table->get_row_at_index = TableRowAtIndex;
    table->get_n_columns = TableColumnCount;
    table->get_n_rows = TableRowCount;
    table->get_column_description = TableColumnDescription;
    table->get_column_header = TableColumnHeader;
    table->is_row_selected = TableRowSelected;
    table->is_selected = TableCellSelected;
    table->get_selected_rows = TableSelectedRows;
}

GType TableType()
{
    static GType type = [] {
        GType registered = g_type_register_static_simple(GTK_TYPE_WIDGET_ACCESSIBLE, "VorlixTable", sizeof(TableClass),
                                                         TableClassInit, sizeof(Table), TableInit, GTypeFlags(0));
        const GInterfaceInfo table = {TableInterfaceInit, nullptr, nullptr};
        g_type_add_interface_static(registered, ATK_TYPE_TABLE, &table);
        return registered;
    }();
    return type;
}

}  // namespace

AtkObject* AccessibleTable::Make(wxListCtrl& list, GtkWidget* widget, const wxString& name)
{
    AtkObject* accessible = ATK_OBJECT(g_object_new(TableType(), "widget", widget, nullptr));
    Table* table = AsTable(accessible);
    table->list = &list;
    for (int column = 0; column < list.GetColumnCount(); ++column) {
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT);
        list.GetColumn(column, item);
        table->headings->push_back(std::string(item.GetText().utf8_str()));
    }
    atk_object_initialize(accessible, widget);
    atk_object_set_role(accessible, ATK_ROLE_TABLE);
    atk_object_set_name(accessible, name.utf8_str());
    return accessible;
}

void AccessibleTable::RowsChanged(AtkObject* accessible)
{
    DropCells(AsTable(accessible));
    g_signal_emit_by_name(accessible, "model-changed");
}

void AccessibleTable::ListGone(AtkObject* accessible)
{
    Table* table = AsTable(accessible);
    table->list = nullptr;
    DropCells(table);
    gtk_accessible_set_widget(GTK_ACCESSIBLE(table), nullptr);
}

void AccessibleTable::RowFocused(AtkObject* accessible, int row)
{
    Table* table = AsTable(accessible);
    if (AtkObject* cell = CellAt(table, (row + 1) * Columns(table))) {
        g_signal_emit_by_name(accessible, "active-descendant-changed", cell);
        atk_object_notify_state_change(cell, ATK_STATE_FOCUSED, TRUE);
    }
}

#endif
