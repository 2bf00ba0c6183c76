// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>

#include <string>

#include "MainFrame.h"
#include "MainFrameLayout.h"
#include "QueueListCtrl.h"
#include "engine/Language.h"
#include "platform/OverwriteCaveat.h"
#include "support/GuiHarness.h"
#include "support/UserLanguage.h"

namespace {

wxString StaticText(MainFrame* frame, size_t index)
{
    size_t seen = 0;
    for (wxWindow* child : frame->GetChildren())
        if (auto* text = dynamic_cast<wxStaticText*>(child))
            if (seen++ == index)
                return text->GetLabelText();
    return wxString();
}

// Every label is shown whole: each button, check box and static text has at
// least its best size and lies inside the window, and the algorithm's name
// fits its box.
void ExpectNothingCut(MainFrame* frame)
{
    const wxRect client(frame->GetClientSize());
    for (wxWindow* child : frame->GetChildren()) {
        if (!dynamic_cast<wxButton*>(child) && !dynamic_cast<wxStaticText*>(child)
            && !dynamic_cast<wxCheckBox*>(child))
            continue;
        const wxString label = child->GetLabel();
        EXPECT_GE(child->GetSize().x, child->GetBestSize().x) << label;
        EXPECT_GE(child->GetSize().y, child->GetBestSize().y) << label;
        EXPECT_TRUE(client.Contains(child->GetRect())) << label << " at " << child->GetRect().x << ","
                                                       << child->GetRect().y;
    }
    EXPECT_LE(frame->algorithmChoice->GetBestSize().x, frame->algorithmChoice->GetSize().x);
    // The status texts a run shows in the status bar's first field.
    wxStatusBar* status = frame->GetStatusBar();
    wxRect field;
    status->GetFieldRect(0, field);
    const wxString texts[] = {
        _("Ready"), wxString::Format(_("No. of files in queue: %zu"), size_t(100000)),
        _("Adding files, please wait..."), _("Adding the Trash, please wait..."), _("Removing file(s) from queue"),
        _("Processing..."), wxString::Format(_("Progress: %.2f%%"), 99.99), _("Wiping free space..."),
        wxString::Format(_("Wiping free space: %.2f%%"), 99.99), _("Stopping, please wait..."), _("Completed"),
        _("Stopped"), _("Not reachable by later starts"), _("The previous wipe is still finishing, please wait..."),
    };
    for (const wxString& text : texts)
        EXPECT_LE(status->GetTextExtent(text).x, field.width - 8) << text << " in " << field.width;
    status->GetFieldRect(1, field);
    EXPECT_LE(status->GetTextExtent(MainFrame::homePage).x, field.width - 8);
}

struct Expected {
    const char* lang;
    const char* queue;
    const char* remove;
    const char* start;
    const char* status;
    const char* size;
};

}  // namespace

TEST(Languages, TheWindowSpeaksTheUsersLanguageWithNothingCut)
{
    const Expected languages[] = {
        {"de_DE.UTF-8", "Warteschlange", "Entfernen", "Sicher löschen!", "Bereit", "Größe"},
        {"fr_FR.UTF-8", "File d'attente", "Retirer", "Lancer l'effacement\u00a0!", "Prêt", "Taille"},
        {"es_ES.UTF-8", "Cola", "Quitar", "¡Iniciar borrado!", "Listo", "Tamaño"},
    };
    for (const Expected& expected : languages) {
        SCOPED_TRACE(expected.lang);
        UserLanguage language(expected.lang);
        EXPECT_EQ(Language::Loaded().BeforeFirst('_'), wxString(expected.lang).Left(2));
        Frame frame;
        Pump(100);
        EXPECT_EQ(StaticText(frame.frame, 0), wxString::FromUTF8(expected.queue));
        EXPECT_EQ(frame->removeButton->GetLabelText(), wxString::FromUTF8(expected.remove));
        EXPECT_EQ(frame->startButton->GetLabelText(), wxString::FromUTF8(expected.start));
        EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), wxString::FromUTF8(expected.status));
        wxListItem heading;
        heading.SetMask(wxLIST_MASK_TEXT);
        frame->queueList->GetColumn(2, heading);
        EXPECT_EQ(heading.GetText(), wxString::FromUTF8(expected.size));
        ExpectNothingCut(frame.frame);
    }
}

// The filesystem warning names the kind in the user's words around the
// filesystem's own name.
TEST(Languages, TheFilesystemWarningNamesTheKindInTheUsersLanguage)
{
    UserLanguage language("de_DE.UTF-8");
    EXPECT_EQ(OverwriteCaveat::Shown("btrfs filesystem"), "btrfs-Dateisystem");
    EXPECT_EQ(OverwriteCaveat::Shown("ext4 filesystem (data=journal)"), "ext4-Dateisystem (data=journal)");
    EXPECT_EQ(OverwriteCaveat::Shown("network drive"), "Netzlaufwerk");
}

// Without a language of its own the program reads as written, at the
// designed size.
TEST(Languages, UnderTheCLocaleTheTextsAreEnglishAsWritten)
{
    UserLanguage language("C");
    EXPECT_EQ(Language::Loaded(), "");
    Frame frame;
    Pump(50);
    EXPECT_EQ(frame->GetSize(), wxSize(538, 550));
    EXPECT_EQ(StaticText(frame.frame, 0), "Queue");
    EXPECT_EQ(frame->startButton->GetLabelText(), "Start Wipe!");
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Ready");
    EXPECT_EQ(frame->algorithmChoice->GetString(1), MainFrameLayout::dodChoice);
    EXPECT_EQ(OverwriteCaveat::Shown("FAT32 filesystem (cluster slack)"), "FAT32 filesystem (cluster slack)");
    ExpectNothingCut(frame.frame);
}
