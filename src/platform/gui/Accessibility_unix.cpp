// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gui/Accessibility.h"

#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>

#ifdef __WXGTK3__
#include <gtk/gtk.h>

#include <map>

#include "platform/gui/AccessibleTable.h"

namespace {

GtkWidget* Widget(wxWindow& window)
{
    return static_cast<GtkWidget*>(window.GetHandle());
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
    AccessibleTable::ListGone(ATK_OBJECT(data));
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

// Says the row with the focus, if the list has it. A list that has the
// focus but no row with it yet puts it on the first, as the keys start there.
void SayFocusedRow(wxListCtrl& list, GtkWidget* widget)
{
    auto* accessible = static_cast<AtkObject*>(g_object_get_data(G_OBJECT(widget), ownAccessible));
    if (!accessible || !gtk_widget_has_focus(widget) || list.GetItemCount() == 0)
        return;
    long row = list.GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    if (row < 0)
        row = list.GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row < 0) {
        row = 0;
        list.SetItemState(row, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
    }
    AccessibleTable::RowFocused(accessible, static_cast<int>(row));
}

// Said once the toolkit is done with the focus, after GTK has told readers
// of the table itself: said before, the row would be overridden by it.
void OnRowsFocused(GObject* object, GParamSpec*, gpointer data)
{
    auto* list = static_cast<wxListCtrl*>(data);
    GtkWidget* widget = GTK_WIDGET(object);
    if (gtk_widget_has_focus(widget))
        list->CallAfter([list, widget] { SayFocusedRow(*list, widget); });
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
    if (!GTK_IS_LABEL(Widget(label)) || !target)
        return;
    // A combo box's focus goes to its text, inside it: readers say the box
    // around it by its label (else by its name, the value), then the text,
    // the value. GTK labels the text by the box's label too, which a label
    // of its own stops: the box, which readers skip as the text's ancestor.
    // The tooltip that shows the whole value would be its description.
    if (GTK_IS_COMBO_BOX(target) && gtk_combo_box_get_has_entry(GTK_COMBO_BOX(target))) {
        AtkObject* box = gtk_widget_get_accessible(target);
        AtkObject* text = gtk_widget_get_accessible(gtk_bin_get_child(GTK_BIN(target)));
        atk_object_add_relationship(box, ATK_RELATION_LABELLED_BY, gtk_widget_get_accessible(Widget(label)));
        atk_object_add_relationship(text, ATK_RELATION_LABELLED_BY, box);
        atk_object_set_description(box, "");
        atk_object_set_description(text, "");
    }
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
    AtkObject* accessible = AccessibleTable::Make(list, widget, name);
    // The widget keeps the only reference; the table forgets the list with it.
    g_object_set_data_full(G_OBJECT(widget), ownAccessible, accessible, g_object_unref);
    g_signal_connect(widget, "destroy", G_CALLBACK(OnListDestroyed), accessible);
    // The panel that draws the headings says nothing the table does not.
    for (wxWindow* child : list.GetChildren())
        if (Widget(*child) && Widget(*child) != widget)
            atk_object_set_role(gtk_widget_get_accessible(Widget(*child)), ATK_ROLE_REDUNDANT_OBJECT);

    // Moving through the rows is said row by row.
    list.Bind(wxEVT_LIST_ITEM_FOCUSED, [accessible](wxListEvent& event) {
        event.Skip();
        AccessibleTable::RowFocused(accessible, static_cast<int>(event.GetIndex()));
    });
    // Coming to the list by Tab says the row it is on, as moving there does.
    // (wxWidgets ends the focus-in event's handling itself.)
    g_signal_connect(widget, "notify::has-focus", G_CALLBACK(OnRowsFocused), &list);
}

void Accessibility::RowsChanged(wxListCtrl& list)
{
    GtkWidget* widget = RowsWidget(list);
    auto* accessible = widget ? static_cast<AtkObject*>(g_object_get_data(G_OBJECT(widget), ownAccessible)) : nullptr;
    if (!accessible)
        return;
    AccessibleTable::RowsChanged(accessible);
    // The row the list had just said is gone with the others: the one the
    // focus is on now is said again.
    list.CallAfter([&list, widget] { SayFocusedRow(list, widget); });
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

namespace {

const char* const announcement = "vorlix-announcement";

AtkStateSet* AnnouncementStates(AtkObject*)
{
    AtkStateSet* states = atk_state_set_new();
    for (AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_VISIBLE, ATK_STATE_SHOWING})
        atk_state_set_add_state(states, state);
    return states;
}

void AnnouncementClassInit(gpointer klass, gpointer)
{
    ATK_OBJECT_CLASS(klass)->ref_state_set = AnnouncementStates;
}

GType AnnouncementType()
{
    static GType type = g_type_register_static_simple(ATK_TYPE_OBJECT, "VorlixAnnouncement", sizeof(AtkObjectClass),
                                                      AnnouncementClassInit, sizeof(AtkObject), nullptr,
                                                      GTypeFlags(0));
    return type;
}

gboolean NameBoxByTitle(GSignalInvocationHint*, guint, const GValue* values, gpointer)
{
    auto* widget = static_cast<GtkWidget*>(g_value_get_object(&values[0]));
    const char* title = GTK_IS_MESSAGE_DIALOG(widget) ? gtk_window_get_title(GTK_WINDOW(widget)) : nullptr;
    if (title && *title)
        atk_object_set_name(gtk_widget_get_accessible(widget), title);
    return TRUE;  // stays for the next box
}

}  // namespace

// ATK 2.46 has no announcement of its own that Orca hears; Orca says a
// notification inside a status bar as it is shown, without naming its role.
// The notification is reached through its parent only, so it stays out of
// the window's tree.
void Accessibility::Announce(wxStatusBar& bar, const wxString& text)
{
    GtkWidget* widget = Widget(bar);
    if (!widget || text.empty())
        return;
    auto* news = static_cast<AtkObject*>(g_object_get_data(G_OBJECT(widget), announcement));
    if (!news) {
        news = ATK_OBJECT(g_object_new(AnnouncementType(), nullptr));
        atk_object_set_role(news, ATK_ROLE_NOTIFICATION);
        atk_object_set_parent(news, gtk_widget_get_accessible(widget));
        g_object_set_data_full(G_OBJECT(widget), announcement, news, g_object_unref);
    }
    atk_object_set_name(news, text.utf8_str());
    atk_object_notify_state_change(news, ATK_STATE_SHOWING, TRUE);
}

// wxWidgets makes a GTK message box only as it shows it: its name is given
// then, when the title is already set.
void Accessibility::NameBoxesByTitle()
{
    static const gulong hook = [] {
        g_type_class_unref(g_type_class_ref(GTK_TYPE_WIDGET));
        return g_signal_add_emission_hook(g_signal_lookup("show", GTK_TYPE_WIDGET), 0, NameBoxByTitle, nullptr,
                                          nullptr);
    }();
    (void)hook;
}

#else

// Other toolkits describe their own controls.
void Accessibility::SetName(wxWindow&, const wxString&) {}
void Accessibility::SetLabel(wxStaticText&, wxWindow&) {}
void Accessibility::SingleTabStop(wxWindow&) {}
void Accessibility::PresentAsTable(wxListCtrl&, const wxString&) {}
void Accessibility::RowsChanged(wxListCtrl&) {}
void Accessibility::PresentAsStatus(wxStatusBar&) {}
void Accessibility::Announce(wxStatusBar&, const wxString&) {}
void Accessibility::NameBoxesByTitle() {}

#endif
