// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/dirdlg.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include "MainFrame.h"
#include "QueueListCtrl.h"
#include "support/GuiHarness.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

// Answers the next file dialog by choosing `path` in it, the way a
// user would, or cancels any dialog when `path` is empty. GTK takes the choice over
// asynchronously, so wait until the dialog reports it.
void AnswerNextChooser(const wxString& path)
{
    Dialogs().onOtherDialog = [path](wxDialog* dialog) {
        Dialogs().onOtherDialog = nullptr;
        if (path.empty())
            return int(wxID_CANCEL);
        if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
            files->SetPath(path);
            EXPECT_TRUE(PumpUntil([&] {
                wxArrayString chosen;
                files->GetPaths(chosen);
                return chosen.size() == 1 && chosen[0] == path;
            }, 3000));
        } else {
            ADD_FAILURE() << "unexpected dialog " << dialog->GetTitle();
        }
        return int(wxID_OK);
    };
}

}  // namespace

TEST(Adding, TheFileDialogQueuesTheChosenFile)
{
    TempDir dir;
    Frame frame;
    const wxString file = dir.File("chosen.txt", "1234");
    AnswerNextChooser(file);
    Click(frame->addFilesButton);
    EXPECT_EQ(QueuedPaths(frame->wipeQueue), std::vector<wxString>{file});
    EXPECT_EQ(frame->queueList->GetItemText(0, 2), "4.00 B");
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "No. of files in queue: 1");
    EXPECT_TRUE(frame->addFilesButton->IsEnabled());
}

TEST(Adding, AFolderDialogThatGivesNoFolderChangesNothing)
{
    // GTK's folder chooser hands its folder over only when a user really
    // clicks; answered from here it reports OK with no folder.
    Frame frame;
    frame->SetStatusText("untouched", 0);
    Dialogs().onOtherDialog = [](wxDialog*) {
        Dialogs().onOtherDialog = nullptr;
        return int(wxID_OK);
    };
    Click(frame->addFolderButton);
    EXPECT_EQ(frame->wipeQueue.Count(), 0u);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "untouched");
    EXPECT_TRUE(frame->addFolderButton->IsEnabled());
}

TEST(Adding, ACancelledDialogChangesNothing)
{
    Frame frame;
    frame->SetStatusText("untouched", 0);
    AnswerNextChooser("");
    Click(frame->addFilesButton);
    AnswerNextChooser("");
    Click(frame->addFolderButton);
    EXPECT_EQ(frame->wipeQueue.Count(), 0u);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "untouched");
}

TEST(Adding, ADropQueuesFilesAndWalksFoldersInTheOrderDropped)
{
    TempDir dir;
    Frame frame;
    dir.Folder("dropped");
    const wxString inside = dir.File("dropped/inside");
    const wxString first = dir.File("first"), last = dir.File("last");
    wxArrayString drop;
    drop.Add(first);
    drop.Add(dir.path + "/dropped");
    drop.Add(last);
    auto* target = dynamic_cast<wxFileDropTarget*>(frame->queueList->GetDropTarget());
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(frame->GetDropTarget(), nullptr);  // only the list takes drops
    EXPECT_TRUE(target->OnDropFiles(0, 0, drop));
    EXPECT_EQ(QueuedPaths(frame->wipeQueue), (std::vector<wxString>{first, inside, last}));
    EXPECT_EQ(frame->queueList->GetItemCount(), 3);
    EXPECT_TRUE(frame->removeButton->IsEnabled());

    // The same drop again adds nothing new.
    target->OnDropFiles(0, 0, drop);
    EXPECT_EQ(frame->wipeQueue.Count(), 3u);
}
