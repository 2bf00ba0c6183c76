#include <gtest/gtest.h>
#include <wx/dnd.h>
#include <wx/statusbr.h>

#include <sys/stat.h>
#include <unistd.h>


#include "MainFrame.h"
#include "QueueListCtrl.h"
#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "engine/Wiper.h"
#include "support/GuiHarness.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

void Queue(Frame& frame, const std::vector<std::string>& paths)
{
    wxArrayString list;
    for (const std::string& path : paths)
        list.Add(path);
    frame->AddPaths(list);
}

bool Completed()
{
    for (const ShownMessage& box : Dialogs().messages)
        if (box.caption == "Completed!")
            return true;
    return false;
}

// Starts a run and waits for its end-of-run box; returns that box.
ShownMessage RunToCompletion(Frame& frame)
{
    Dialogs().messages.clear();
    Click(frame->startButton);
    EXPECT_TRUE(PumpUntil(Completed, 60000));
    return Dialogs().messages.empty() ? ShownMessage{} : Dialogs().messages.back();
}

void ExpectIdleAfterARun(Frame& frame)
{
    EXPECT_FALSE(frame->IsRunning());
    EXPECT_FALSE(frame->progressTimer.IsRunning());
    EXPECT_EQ(frame->wipeQueue.Count(), 0u);
    EXPECT_EQ(frame->queueList->GetItemCount(), 0);
    EXPECT_EQ(frame->progressGauge->GetValue(), 0);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Completed");
    for (wxButton* button : {frame->addFilesButton, frame->addFolderButton, frame->removeButton,
                             frame->aboutButton, frame->freeSpaceButton, frame->startButton,
                             frame->closeButton})
        EXPECT_TRUE(button->IsEnabled()) << button->GetLabel();
    EXPECT_TRUE(frame->queueList->IsEnabled());
}

}  // namespace

TEST(StartWipe, RefusesAnEmptyQueueAndChangesNothing)
{
    Frame frame;
    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_EQ(Dialogs().messages[0].message, "No files are in queue!");
    EXPECT_EQ(Dialogs().messages[0].caption, "Empty!");
    EXPECT_TRUE(Dialogs().messages[0].style & wxICON_EXCLAMATION);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Ready");
    EXPECT_FALSE(frame->progressTimer.IsRunning());
    EXPECT_FALSE(frame->IsRunning());
    EXPECT_TRUE(frame->startButton->IsEnabled());
}

TEST(StartWipe, EachAlgorithmWipesEveryQueuedFileAndReturnsToIdle)
{
    for (int selection : {0, 1}) {
        TempDir dir;
        Frame frame;
        frame->algorithmChoice->SetSelection(selection);
        wxCommandEvent choose(wxEVT_COMBOBOX, frame->algorithmChoice->GetId());
        frame->algorithmChoice->ProcessWindowEvent(choose);

        const std::vector<std::string> files{dir.File("a", std::string(1500, 'a')),
                                             dir.File("b", std::string(300000, 'b')), dir.File("c", "")};
        const std::string bystander = dir.File("not queued", "keep me");
        Queue(frame, files);

        const ShownMessage box = RunToCompletion(frame);
        EXPECT_EQ(box.message, "Wiping process completed!");
        EXPECT_EQ(box.caption, "Completed!");
        EXPECT_TRUE(box.style & wxICON_INFORMATION);
        for (const std::string& file : files)
            EXPECT_FALSE(Exists(file)) << file;
        EXPECT_EQ(ReadFile(bystander), "keep me");
        ExpectIdleAfterARun(frame);
    }
}

TEST(StartWipe, ARunOfEmptyFilesCompletes)
{
    TempDir dir;
    Frame frame;
    Queue(frame, {dir.File("empty1", ""), dir.File("empty2", "")});
    const ShownMessage box = RunToCompletion(frame);
    EXPECT_EQ(box.message, "Wiping process completed!");
    EXPECT_FALSE(Exists(dir.path + "/empty1"));
    ExpectIdleAfterARun(frame);
}

TEST(StartWipe, AFileThatCannotBeWipedIsNamedAndLeftInPlace)
{
    TempDir dir;
    Frame frame;
    const std::string target = dir.File("target", "linked content");
    const std::string link = dir.path + "/link";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string plain = dir.File("plain", "wipe me");
    Queue(frame, {link, plain, fifo, dir.path + "/vanished"});

    const ShownMessage box = RunToCompletion(frame);
    EXPECT_EQ(box.caption, "Completed!");
    EXPECT_TRUE(box.style & wxICON_WARNING);
    EXPECT_TRUE(box.message.StartsWith("Wiping process completed!")) << box.message;
    EXPECT_TRUE(box.message.Contains("3 file(s) could not be wiped")) << box.message;
    EXPECT_TRUE(box.message.Contains(link));
    EXPECT_TRUE(box.message.Contains(fifo));
    EXPECT_FALSE(box.message.Contains(plain));

    EXPECT_TRUE(Exists(link));
    EXPECT_TRUE(Exists(fifo));
    EXPECT_EQ(ReadFile(target), "linked content");
    EXPECT_FALSE(Exists(plain));
    ExpectIdleAfterARun(frame);
}

TEST(StartWipe, AFileQueuedAfterTheEngineFinishedStaysQueued)
{
    TempDir dir;
    Frame frame;
    Queue(frame, {dir.File("wiped", "x")});
    Dialogs().messages.clear();
    Click(frame->startButton);
    // The engine is done, the window has not looked yet: a hand-off lands now.
    wxStopWatch clock;
    while (!Wiper::IsRunFinished() && clock.Time() < 10000)
        wxMilliSleep(1);
    const std::string late = dir.File("late", "not wiped");
    frame->wipeQueue.AddPath(late);
    ASSERT_TRUE(PumpUntil(Completed, 10000));
    EXPECT_EQ(QueuedPaths(frame->wipeQueue), std::vector<wxString>{late});
    EXPECT_EQ(frame->queueList->GetItemCount(), 1);
    EXPECT_EQ(ReadFile(late), "not wiped");
    EXPECT_FALSE(frame->IsRunning());
    EXPECT_TRUE(frame->startButton->IsEnabled());
}

TEST(StartWipe, TheBoxNamesTwentyFailuresAndCountsTheRest)
{
    TempDir dir;
    Frame frame;
    std::vector<std::string> missing;
    for (int i = 0; i < 23; ++i)
        missing.push_back(dir.path + "/missing" + std::to_string(i));
    Queue(frame, missing);
    const ShownMessage box = RunToCompletion(frame);
    EXPECT_TRUE(box.message.Contains("23 file(s) could not be wiped"));
    EXPECT_TRUE(box.message.Contains(missing[19]));
    EXPECT_FALSE(box.message.Contains(missing[20]));
    EXPECT_TRUE(box.message.EndsWith("and 3 more")) << box.message;
}

TEST(Progress, IsCutTowardZeroAndNeverClaimsTheEndEarly)
{
    EXPECT_EQ(wxString::Format("%.2f", MainFrame::ProgressPercentage(1, 3, false)), "33.33");
    EXPECT_EQ(static_cast<int>(MainFrame::ProgressPercentage(1, 3, false)), 33);
    EXPECT_EQ(wxString::Format("%.2f", MainFrame::ProgressPercentage(2, 3, false)), "66.67");
    EXPECT_EQ(static_cast<int>(MainFrame::ProgressPercentage(2, 3, false)), 66);
    // Before the thread has set the total, it is still all ones.
    EXPECT_EQ(MainFrame::ProgressPercentage(0, QueueEntry::unknownSize, false), 0.0);
    // Equal counters before the end, or more bytes than the total (entries
    // added during the run): below 100 until the run has finished.
    EXPECT_LT(MainFrame::ProgressPercentage(3, 3, false), 100.0);
    EXPECT_LT(MainFrame::ProgressPercentage(9, 3, false), 100.0);
    EXPECT_EQ(MainFrame::ProgressPercentage(9, 3, true), 100.0);
    EXPECT_EQ(MainFrame::ProgressPercentage(3, 3, true), 100.0);
}

TEST(StartWipe, AnAlgorithmChosenDuringARunCountsFromTheNextRun)
{
    TempDir dir;
    Frame frame;
    frame->algorithmChoice->SetSelection(1);
    wxCommandEvent choose(wxEVT_COMBOBOX, frame->algorithmChoice->GetId());
    frame->algorithmChoice->ProcessWindowEvent(choose);
    Queue(frame, {dir.File("big", std::string(8 << 20, 'x'))});

    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(frame->IsRunning());
    EXPECT_NE(dynamic_cast<DoDWiper*>(frame->wipeQueue.wiper.load()), nullptr);
    EXPECT_TRUE(frame->algorithmChoice->IsEnabled());
    EXPECT_FALSE(frame->startButton->IsEnabled());
    frame->algorithmChoice->SetSelection(0);
    frame->algorithmChoice->ProcessWindowEvent(choose);
    EXPECT_NE(dynamic_cast<DoDWiper*>(frame->wipeQueue.wiper.load()), nullptr);
    ASSERT_TRUE(PumpUntil(Completed, 60000));

    Queue(frame, {dir.File("next", "x")});
    Dialogs().messages.clear();
    Click(frame->startButton);
    EXPECT_NE(dynamic_cast<RandomWiper*>(frame->wipeQueue.wiper.load()), nullptr);
    ASSERT_TRUE(PumpUntil(Completed, 60000));
}

TEST(AboutBox, ShowsVersionAuthorAndHomePage)
{
    Frame frame;
    Dialogs().messages.clear();
    Click(frame->aboutButton);
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_EQ(Dialogs().messages[0].message,
              "Vorlix - version 1.0.0\n\nAuthor:\nThe Vorlix developers\n\nHome page:\n"
              "https://vorlix.example.org\n\n");
    EXPECT_EQ(Dialogs().messages[0].caption, "About Vorlix");
    EXPECT_TRUE(Dialogs().messages[0].style & wxICON_INFORMATION);
}

TEST(Closing, DuringARunStopsAfterTheCurrentFileAndLeavesTheRestUntouched)
{
    TempDir dir;
    auto* frame = new MainFrame("Vorlix");
    frame->Show();
    wxWeakRef<MainFrame> alive(frame);
    const std::string big = dir.File("big", std::string(256 << 20, 'B'));
    const std::string later = dir.File("later", "not reached");
    wxArrayString paths;
    paths.Add(big);
    paths.Add(later);
    frame->AddPaths(paths);

    Dialogs().messages.clear();
    Click(frame->startButton);
    Pump(100);

    // The queue under a run is not the user's to change: a drop is refused and
    // switches nothing on, and Remove takes nothing out of what will be wiped.
    const std::string dropped = dir.File("dropped", "never queued");
    auto* target = dynamic_cast<wxFileDropTarget*>(frame->queueList->GetDropTarget());
    EXPECT_FALSE(target->OnDropFiles(0, 0, wxArrayString(1, dropped.c_str())));
    EXPECT_FALSE(frame->wipeQueue.Contains(dropped));
    EXPECT_FALSE(frame->startButton->IsEnabled());
    EXPECT_FALSE(frame->removeButton->IsEnabled());
    frame->queueList->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    Click(frame->removeButton);
    EXPECT_TRUE(frame->wipeQueue.Contains(later));

    frame->Close();  // the caption's close box
    ASSERT_TRUE(PumpUntil([&] { return !alive; }, 120000));
    EXPECT_TRUE(Dialogs().messages.empty());

    // The file being wiped was wiped whole and deleted, or not touched at all.
    if (Exists(big)) {
        EXPECT_EQ(ReadFile(big), std::string(256 << 20, 'B'));
    }
    EXPECT_EQ(ReadFile(later), "not reached");
    EXPECT_TRUE(Wiper::IsRunFinished());
}
