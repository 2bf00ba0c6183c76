#include "Accessibility.h"

#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>

#ifdef __WXGTK3__
#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <map>
#include <string>
#include <vector>

// GTK's accessibility layer (ATK, read by AT-SPI) sees the toolkit's
// hand-drawn report list as an empty panel. The panel that draws and takes
// the rows' focus gets an accessible of this file's own: a table whose
// children are the column headers, then each row's cells in turn.
namespace {

GtkWidget* Widget(wxWindow& window)
{
    return static_cast<GtkWidget*>(window.GetHandle());
}

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

// --- Giving the panel its table ------------------------------------------

const char* const ownAccessible = "vorlix-accessible";

// GTK asks a widget's class for its accessible, and keeps no per-widget
// choice: the class's function is wrapped so that a widget that carries an
// accessible of its own answers with it, and every other one as before.
std::map<GType, AtkObject* (*)(GtkWidget*)> classAccessible;

AtkObject* OwnOrClassAccessible(GtkWidget* widget)
{
    if (auto* own = static_cast<AtkObject*>(g_object_get_data(G_OBJECT(widget), ownAccessible)))
        return own;
    for (GType type = G_TYPE_FROM_INSTANCE(widget); type; type = g_type_parent(type)) {
        auto found = classAccessible.find(type);
        if (found != classAccessible.end())
            return found->second(widget);
    }
    return nullptr;
}

// A reader may hold the table longer than the widget lives: it is then defunct.
void OnListDestroyed(GtkWidget*, gpointer data)
{
    Table* table = AsTable(data);
    table->list = nullptr;
    DropCells(table);
    gtk_accessible_set_widget(GTK_ACCESSIBLE(table), nullptr);
}

// The list's own panel that draws the rows and takes the keyboard focus.
GtkWidget* RowsWidget(wxListCtrl& list)
{
    for (wxWindow* child : list.GetChildren()) {
        GtkWidget* widget = Widget(*child);
        if (widget && gtk_widget_get_can_focus(widget))
            return widget;
    }
    return nullptr;
}

}  // namespace

void Accessibility::SetName(wxWindow& control, const wxString& name)
{
    if (GtkWidget* widget = Widget(control))
        atk_object_set_name(gtk_widget_get_accessible(widget), name.utf8_str());
}

void Accessibility::SetLabel(wxStaticText& label, wxWindow& control)
{
    GtkWidget* target = Widget(control);
    if (auto* list = dynamic_cast<wxListCtrl*>(&control))
        target = RowsWidget(*list);
    // A combo box's focus goes to its text, which readers then say.
    if (GTK_IS_COMBO_BOX(target) && gtk_combo_box_get_has_entry(GTK_COMBO_BOX(target)))
        target = gtk_bin_get_child(GTK_BIN(target));
    if (!GTK_IS_LABEL(Widget(label)) || !target)
        return;
    gtk_label_set_mnemonic_widget(GTK_LABEL(Widget(label)), target);
    AtkObject* accessible = gtk_widget_get_accessible(target);
    const char* name = atk_object_get_name(accessible);
    if (!name || !*name)
        atk_object_set_name(accessible, label.GetLabelText().utf8_str());
}

namespace {

void NoFocusOnButtons(GtkWidget* widget, gpointer)
{
    if (GTK_IS_BUTTON(widget))
        gtk_widget_set_can_focus(widget, FALSE);
    else if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), NoFocusOnButtons, nullptr);
}

}  // namespace

void Accessibility::SingleTabStop(wxWindow& control)
{
    // The button only opens the list, which Alt+Down does from the text too.
    GtkWidget* widget = Widget(control);
    if (GTK_IS_COMBO_BOX(widget) && gtk_combo_box_get_has_entry(GTK_COMBO_BOX(widget)))
        gtk_container_forall(GTK_CONTAINER(widget), NoFocusOnButtons, nullptr);
}

void Accessibility::PresentAsTable(wxListCtrl& list, const wxString& name)
{
    GtkWidget* widget = RowsWidget(list);
    if (!widget || g_object_get_data(G_OBJECT(widget), ownAccessible))
        return;
    GtkWidgetClass* klass = GTK_WIDGET_GET_CLASS(widget);
    if (klass->get_accessible != OwnOrClassAccessible) {
        classAccessible[G_TYPE_FROM_CLASS(klass)] = klass->get_accessible;
        klass->get_accessible = OwnOrClassAccessible;
    }
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
    // The widget keeps the only reference; the table forgets the list with it.
    g_object_set_data_full(G_OBJECT(widget), ownAccessible, accessible, g_object_unref);
    g_signal_connect(widget, "destroy", G_CALLBACK(OnListDestroyed), accessible);
    // The panel that draws the headings says nothing the table does not.
    for (wxWindow* child : list.GetChildren())
        if (Widget(*child) && Widget(*child) != widget)
            atk_object_set_role(gtk_widget_get_accessible(Widget(*child)), ATK_ROLE_REDUNDANT_OBJECT);

    // Moving through the rows is said as the focused row's first cell.
    list.Bind(wxEVT_LIST_ITEM_FOCUSED, [accessible](wxListEvent& event) {
        event.Skip();
        Table* table = AsTable(accessible);
        const int columns = Columns(table);
        if (AtkObject* cell = CellAt(table, (static_cast<int>(event.GetIndex()) + 1) * columns)) {
            g_signal_emit_by_name(accessible, "active-descendant-changed", cell);
            atk_object_notify_state_change(cell, ATK_STATE_FOCUSED, TRUE);
        }
    });
}

void Accessibility::RowsChanged(wxListCtrl& list)
{
    GtkWidget* widget = RowsWidget(list);
    auto* accessible = widget ? static_cast<AtkObject*>(g_object_get_data(G_OBJECT(widget), ownAccessible)) : nullptr;
    if (!accessible)
        return;
    DropCells(AsTable(accessible));
    g_signal_emit_by_name(accessible, "model-changed");
}

void Accessibility::PresentAsStatus(wxStatusBar& bar)
{
    GtkWidget* widget = Widget(bar);
    if (!widget)
        return;
    AtkObject* accessible = gtk_widget_get_accessible(widget);
    atk_object_set_role(accessible, ATK_ROLE_STATUSBAR);
    atk_object_set_name(accessible, bar.GetStatusText(0).utf8_str());
}

#else

// Other toolkits describe their own controls.
void Accessibility::SetName(wxWindow&, const wxString&) {}
void Accessibility::SetLabel(wxStaticText&, wxWindow&) {}
void Accessibility::SingleTabStop(wxWindow&) {}
void Accessibility::PresentAsTable(wxListCtrl&, const wxString&) {}
void Accessibility::RowsChanged(wxListCtrl&) {}
void Accessibility::PresentAsStatus(wxStatusBar&) {}

#endif
