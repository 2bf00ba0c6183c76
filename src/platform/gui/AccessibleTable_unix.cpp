// SPDX-License-Identifier: GPL-3.0-or-later
#include <wx/listctrl.h>

#ifdef __WXGTK3__
#include "platform/gui/AccessibleTable.h"

#include "platform/gui/AccessibleCell.h"

#include <gtk/gtk-a11y.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Table {
    GtkWidgetAccessible parent;
    wxListCtrl* list;  // null once the list is destroyed
    // Made when a reader first asks, by row and column (-1: a whole row;
    // row -1: the headers).
    std::map<std::pair<int, int>, AtkObject*>* parts;
    std::vector<std::string>* headings;
};

struct TableClass {
    GtkWidgetAccessibleClass parent;
};

GType TableType();

Table* AsTable(gpointer object)
{
    return G_TYPE_CHECK_INSTANCE_CAST(object, TableType(), Table);
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

// --- The table --------------------------------------------------------------

void DropParts(Table* table)
{
    for (auto& entry : *table->parts) {
        AccessibleCell::Forget(entry.second);
        g_object_unref(entry.second);
    }
    table->parts->clear();
}

// The part at row, column, made on first use; null outside the table.
AtkObject* PartAt(Table* table, int row, int column)
{
    if (Columns(table) == 0 || row < -1 || row >= Rows(table) || column < -1 || column >= Columns(table))
        return nullptr;
    auto found = table->parts->find({row, column});
    if (found != table->parts->end())
        return found->second;
    AtkObject* part = AccessibleCell::Make(ATK_OBJECT(table), row, column);
    (*table->parts)[{row, column}] = part;
    return part;
}

// The header row, then the rows.
gint TableChildCount(AtkObject* object)
{
    Table* table = AsTable(object);
    return Columns(table) ? Rows(table) + 1 : 0;
}

AtkObject* TableChild(AtkObject* object, gint index)
{
    AtkObject* row = PartAt(AsTable(object), index - 1, -1);
    return row ? ATK_OBJECT(g_object_ref(row)) : nullptr;
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
    DropParts(table);
    delete table->parts;
    delete table->headings;
    G_OBJECT_CLASS(g_type_class_peek(GTK_TYPE_WIDGET_ACCESSIBLE))->finalize(object);
}

void TableInit(GTypeInstance* instance, gpointer)
{
    Table* table = AsTable(instance);
    table->list = nullptr;
    table->parts = new std::map<std::pair<int, int>, AtkObject*>;
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

// AtkTable: rows and columns count the list's; the header row is not one of
// them. An index numbers the cells row by row.
AtkObject* TableRefAt(AtkTable* object, gint row, gint column)
{
    AtkObject* cell = row >= 0 && column >= 0 ? PartAt(AsTable(object), row, column) : nullptr;
    return cell ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

gint TableIndexAt(AtkTable* object, gint row, gint column)
{
    return row * Columns(AsTable(object)) + column;
}

gint TableColumnAtIndex(AtkTable* object, gint index)
{
    const int columns = Columns(AsTable(object));
    return columns ? index % columns : -1;
}

gint TableRowAtIndex(AtkTable* object, gint index)
{
    const int columns = Columns(AsTable(object));
    return columns ? index / columns : -1;
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
    return column >= 0 ? PartAt(AsTable(object), -1, column) : nullptr;
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
    DropParts(AsTable(accessible));
    g_signal_emit_by_name(accessible, "model-changed");
}

void AccessibleTable::ListGone(AtkObject* accessible)
{
    Table* table = AsTable(accessible);
    table->list = nullptr;
    DropParts(table);
    gtk_accessible_set_widget(GTK_ACCESSIBLE(table), nullptr);
}

void AccessibleTable::RowFocused(AtkObject* accessible, int row)
{
    if (AtkObject* part = PartAt(AsTable(accessible), row, -1)) {
        g_signal_emit_by_name(accessible, "active-descendant-changed", part);
        atk_object_notify_state_change(part, ATK_STATE_FOCUSED, TRUE);
    }
}

wxListCtrl* AccessibleTable::List(AtkObject* accessible)
{
    return AsTable(accessible)->list;
}

AtkObject* AccessibleTable::Part(AtkObject* accessible, int row, int column)
{
    return PartAt(AsTable(accessible), row, column);
}

const char* AccessibleTable::Heading(AtkObject* accessible, int column)
{
    const std::vector<std::string>& headings = *AsTable(accessible)->headings;
    return column >= 0 && static_cast<size_t>(column) < headings.size() ? headings[static_cast<size_t>(column)].c_str()
                                                                          : "";
}

#endif
