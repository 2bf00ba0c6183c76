// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/weakref.h>

#include <set>

#include "CommandLine.h"
#include "MainFrame.h"
#include "QueueListCtrl.h"
#include "support/GuiHarness.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

std::vector<wxButton*> Buttons(MainFrame* frame)
{
    return {frame->addFilesButton, frame->addFolderButton, frame->removeButton, frame->aboutButton,
            frame->freeSpaceButton, frame->startButton,    frame->closeButton};
}

}  // namespace

TEST(StartUp, QueuesTheCommandLinePathsInOrderWithAFolderAsOneEntry)
{
    ASSERT_NE(mainFrame, nullptr);
    EXPECT_TRUE(mainFrame->IsShown());
    EXPECT_EQ(mainFrame->GetTitle(), "Vorlix");
    const std::vector<wxString> expected(commandLinePaths.begin(), commandLinePaths.end());
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), expected);
    EXPECT_EQ(mainFrame->GetStatusBar()->GetStatusText(0), "No. of files in queue: 3");
    for (wxButton* button : Buttons(mainFrame))
        EXPECT_TRUE(button->IsEnabled()) << button->GetLabel();
    EXPECT_TRUE(mainFrame->queueList->IsEnabled());

    QueueListCtrl* list = mainFrame->queueList;
    ASSERT_EQ(list->GetItemCount(), 3);
    EXPECT_EQ(list->GetItemText(0, 0), "zeta.txt");
    EXPECT_EQ(list->GetItemText(0, 1), commandLineDir->path);
    EXPECT_EQ(list->GetItemText(0, 2), "100.00 B");
    EXPECT_EQ(list->GetItemText(1, 0), "folder");
    EXPECT_EQ(list->GetItemText(1, 2), "-");
    EXPECT_EQ(list->GetItemText(2, 2), "2.00 KB");
}

TEST(MainWindow, LooksAsDescribedWhenConstructed)
{
    Frame frame;
    Pump(50);
    EXPECT_EQ(frame->GetSize(), wxSize(538, 550));
    EXPECT_FALSE(frame->HasFlag(wxRESIZE_BORDER));
    EXPECT_FALSE(frame->HasFlag(wxMINIMIZE_BOX));
    EXPECT_FALSE(frame->HasFlag(wxMAXIMIZE_BOX));
    EXPECT_TRUE(frame->HasFlag(wxCLOSE_BOX));
    EXPECT_TRUE(frame->GetIcons().GetIconCount() >= 6);

    wxStatusBar* status = frame->GetStatusBar();
    ASSERT_EQ(status->GetFieldsCount(), 2);
    EXPECT_EQ(status->GetStatusText(0), "Ready");
    EXPECT_EQ(status->GetStatusText(1), "https://vorlix.example.org");

    const std::vector<wxString> labels{"Add file(s)", "Add folder",  "Remove", "About",
                                       "Drives...", "Start Wipe!", "Close"};
    const std::vector<wxButton*> buttons = Buttons(frame.frame);
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->GetLabelText(), labels[i]);
        EXPECT_TRUE(buttons[i]->IsEnabled());
    }
    std::vector<wxString> texts;
    for (wxWindow* child : frame->GetChildren())
        if (auto* text = dynamic_cast<wxStaticText*>(child))
            texts.push_back(text->GetLabel());
    EXPECT_EQ(texts, (std::vector<wxString>{"Queue", "Algorithm"}));

    QueueListCtrl* list = frame->queueList;
    EXPECT_TRUE(list->InReportView());
    EXPECT_EQ(list->GetItemCount(), 0);
    ASSERT_EQ(list->GetColumnCount(), 3);
    const wxString headings[] = {"File name", "Directory", "Size"};
    const int widths[] = {150, 250, 90};
    for (int column = 0; column < 3; ++column) {
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT);
        list->GetColumn(column, item);
        EXPECT_EQ(item.GetText(), headings[column]);
        EXPECT_EQ(list->GetColumnWidth(column), widths[column]);
    }

    wxComboBox* choice = frame->algorithmChoice;
    EXPECT_TRUE(choice->HasFlag(wxCB_READONLY));
    ASSERT_EQ(choice->GetCount(), 2u);
    EXPECT_EQ(choice->GetString(0), "Overwrite with Random - Fastest (Default) - Suitable for Home/Organization");
    EXPECT_EQ(choice->GetString(1), "US DoD 5220.22-M - Slowest - Highly recommended for TOP SECRET materials");
    EXPECT_EQ(choice->GetSelection(), 0);
    EXPECT_EQ(frame->verifyBox->GetLabel(), "Read &back after wiping");
    EXPECT_FALSE(frame->verifyBox->GetValue());
    EXPECT_TRUE(frame->verifyBox->IsShown());
    // Both names show whole in the window's width.
    EXPECT_LE(choice->GetBestSize().x, choice->GetSize().x);
    EXPECT_EQ(frame->GetSize(), wxSize(538, 550));
    EXPECT_EQ(frame->progressGauge->GetRange(), 100);
    EXPECT_EQ(frame->progressGauge->GetValue(), 0);
    EXPECT_EQ(frame->progressGauge->GetSize().GetHeight(), 30);
    EXPECT_EQ(frame->wipeQueue.algorithm, 1);
    EXPECT_EQ(frame->wipeQueue.wiper.load(), nullptr);
    EXPECT_FALSE(frame->progressTimer.IsRunning());
    EXPECT_EQ(frame->progressTimer.GetId(), PROGRESS_TIMER_ID);
}

TEST(MainWindow, EveryButtonHasAMnemonicOfItsOwn)
{
    Frame frame;
    std::set<wxUniChar> keys;
    size_t buttons = 0, boxes = 0;
    for (wxWindow* child : frame->GetChildren()) {
        auto* button = dynamic_cast<wxButton*>(child);
        auto* box = dynamic_cast<wxCheckBox*>(child);
        if (!button && !box)
            continue;
        ++(button ? buttons : boxes);
        const wxString label = child->GetLabel();
        const size_t mark = label.find('&');
        ASSERT_TRUE(mark != wxString::npos && mark + 1 < label.size()) << label;
        EXPECT_TRUE(keys.insert(wxTolower(label[mark + 1])).second) << "clash: " << label;
    }
    EXPECT_EQ(buttons, 8u);
    EXPECT_EQ(boxes, 1u);
}

TEST(MainWindow, AlgorithmChoiceSetsTheCodeBothWays)
{
    Frame frame;
    auto choose = [&](int selection) {
        frame->algorithmChoice->SetSelection(selection);
        wxCommandEvent event(wxEVT_COMBOBOX, frame->algorithmChoice->GetId());
        event.SetInt(selection);
        frame->algorithmChoice->ProcessWindowEvent(event);
    };
    choose(1);
    EXPECT_EQ(frame->wipeQueue.algorithm, 2);
    EXPECT_EQ(frame->algorithmChoice->GetToolTipText(), frame->algorithmChoice->GetString(1));
    choose(0);
    EXPECT_EQ(frame->wipeQueue.algorithm, 1);
    EXPECT_EQ(frame->algorithmChoice->GetToolTipText(), frame->algorithmChoice->GetString(0));
}

TEST(MainWindow, DisablingLeavesTheAlgorithmAndGaugeAlone)
{
    Frame frame;
    frame->DisableControls();
    for (wxButton* button : Buttons(frame.frame))
        EXPECT_FALSE(button->IsEnabled()) << button->GetLabel();
    EXPECT_FALSE(frame->queueList->IsEnabled());
    EXPECT_TRUE(frame->algorithmChoice->IsEnabled());
    EXPECT_TRUE(frame->verifyBox->IsEnabled());
    EXPECT_TRUE(frame->progressGauge->IsEnabled());
    frame->EnableControls();
    for (wxButton* button : Buttons(frame.frame))
        EXPECT_TRUE(button->IsEnabled()) << button->GetLabel();
    EXPECT_TRUE(frame->queueList->IsEnabled());
}

TEST(RemoveButton, RemovesExactlyTheSelectedRowsAndKeepsTheOthersInOrder)
{
    TempDir dir;
    Frame frame;
    // The second path is not in the form that joining its Directory and File
    // name columns gives back; its row must still remove its own entry.
    const wxArrayString paths = [&] {
        wxArrayString list;
        list.Add(dir.File("one"));
        list.Add(dir.path + "//two");
        list.Add(dir.File("three"));
        list.Add(dir.path + "/./four");
        return list;
    }();
    dir.File("two");
    dir.File("four");
    frame->AddPaths(paths);
    ASSERT_EQ(frame->queueList->GetItemCount(), 4);

    frame->queueList->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    frame->queueList->SetItemState(3, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    Click(frame->removeButton);

    EXPECT_EQ(QueuedPaths(frame->wipeQueue), (std::vector<wxString>{paths[0], paths[2]}));
    ASSERT_EQ(frame->queueList->GetItemCount(), 2);
    EXPECT_EQ(frame->queueList->GetItemText(0, 0), "one");
    EXPECT_EQ(frame->queueList->GetItemText(1, 0), "three");
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "No. of files in queue: 2");
    for (wxButton* button : Buttons(frame.frame))
        EXPECT_TRUE(button->IsEnabled());

    // Nothing selected: nothing goes, and the count is shown again.
    frame->SetStatusText("something else", 0);
    Click(frame->removeButton);
    EXPECT_EQ(frame->wipeQueue.Count(), 2u);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "No. of files in queue: 2");

    // A removed path can be queued again, at the end.
    wxArrayString again;
    again.Add(paths[1]);
    frame->AddPaths(again);
    EXPECT_EQ(QueuedPaths(frame->wipeQueue), (std::vector<wxString>{paths[0], paths[2], paths[1]}));
    EXPECT_EQ(frame->queueList->GetItemText(2, 0), "two");

    // Delete in the list removes the selected rows too, but not while the
    // Remove button is off.
    auto pressDelete = [&] {
        wxListEvent key(wxEVT_LIST_KEY_DOWN, frame->queueList->GetId());
        key.SetEventObject(frame->queueList);
        key.SetKeyCode(WXK_DELETE);
        frame->queueList->ProcessWindowEvent(key);
    };
    frame->queueList->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    frame->DisableControls();
    pressDelete();
    EXPECT_EQ(frame->wipeQueue.Count(), 3u);
    frame->EnableControls();
    pressDelete();
    EXPECT_EQ(QueuedPaths(frame->wipeQueue), (std::vector<wxString>{paths[2], paths[1]}));
    EXPECT_EQ(frame->queueList->GetItemCount(), 2);
}

TEST(CloseButton, ClosesTheWindowWithoutAVeto)
{
    auto* frame = new MainFrame("Vorlix");
    frame->Show();
    wxWeakRef<MainFrame> alive(frame);
    bool couldVeto = true;
    frame->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) {
        couldVeto = event.CanVeto();
        event.Skip();
    });
    Click(frame->closeButton);
    EXPECT_TRUE(PumpUntil([&] { return !alive; }, 3000));
    EXPECT_FALSE(couldVeto);
}
