// SPDX-License-Identifier: GPL-3.0-or-later
#include <glib.h>
#include <gtest/gtest.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <regex>

#include "MainFrame.h"
#include "QueueListCtrl.h"
#include "engine/RunReport.h"
#include "engine/DoDWiper.h"
#include "engine/FileOverwriter.h"
#include "engine/RandomWiper.h"
#include "engine/Wiper.h"
#include "support/GuiHarness.h"
#include "support/LoopFilesystem.h"
#include "support/Process.h"
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

// The box's heading for the files not wiped for this reason.
wxString Heading(WipeFailure reason, size_t count)
{
    wxString text = RunReport::ReasonText(reason);
    text[0] = wxToupper(text[0]);
    return wxString::Format("%s (%zu):", text, count);
}

size_t Occurrences(const wxString& text, const wxString& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != wxString::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string ReadPart(const std::string& path, std::streamoff offset, size_t n)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::string part(n, '\0');
    in.read(&part[0], static_cast<std::streamsize>(n));
    return part;
}

// A copy of a program, running: the system refuses to open its file for writing.
struct RunningProgram {
    explicit RunningProgram(const std::string& path)
    {
        std::system(("cp /bin/sleep '" + path + "'").c_str());
        pid = fork();
        if (pid == 0) {
            execl(path.c_str(), "sleep", "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Wait until the copy is really the one running.
        const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
        char target[PATH_MAX] = {};
        PumpUntil([&] { return readlink(exe.c_str(), target, sizeof target - 1) > 0 && path == target; });
    }
    ~RunningProgram()
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid_t pid;
};

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
        // Every pass counts: 1500 + 300000 + 0 bytes once, or three times.
        EXPECT_TRUE(box.message.StartsWith(wxString("Wiping process completed!\n3 files wiped, ")
                                           + (selection == 0 ? "294.43 KB" : "883.30 KB") + " overwritten, in "))
            << box.message;
        EXPECT_FALSE(box.message.Contains("could not be wiped")) << box.message;
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
    EXPECT_TRUE(box.message.StartsWith("Wiping process completed!\n2 files wiped, 0 B overwritten, in "))
        << box.message;
    EXPECT_FALSE(Exists(dir.path + "/empty1"));
    ExpectIdleAfterARun(frame);
}

// One file for every reason a system can give here, each named once under its
// reason with its count. A stopped file is the Stop test's; nothing makes a
// file keep growing on cue. The reasons that need ext4 attributes and a full
// disk run on a filesystem of their own, where there is one.
TEST(StartWipe, EachFileNotWipedIsNamedUnderItsReasonAndLeftInPlace)
{
    TempDir dir;
    Frame frame;
    const std::string target = dir.File("target", "linked content");
    const std::string link = dir.Path("link");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    const std::string linked = dir.File("linked", "two names");
    ASSERT_EQ(::link(linked.c_str(), dir.Path("other name").c_str()), 0);
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    dir.Folder("moved");
    const std::string changed = dir.File("moved/changed", "still here");
    const RunningProgram running(dir.Path("running"));
    const std::string plain = dir.File("plain", "wipe me");
    std::vector<std::pair<std::string, WipeFailure>> failing = {
        {link, WipeFailure::Link},          {linked, WipeFailure::HardLinks},
        {fifo, WipeFailure::NotRegular},    {dir.Path("vanished"), WipeFailure::NotFound},
        {changed, WipeFailure::Changed},    {dir.Path("running"), WipeFailure::InUse}};

    LoopFilesystem ext4("ext4", "16M");
    const bool withExt4 = ext4.Usable();
    if (withExt4) {
        const std::string immutable = ext4.Path("immutable");
        WriteFile(immutable, "locked");
        mkdir(ext4.Path("append-only").c_str(), 0755);
        const std::string kept = ext4.Path("append-only/kept");
        WriteFile(kept, "overwritten but kept");
        // Cut after it is queued, and its room taken: the pass, which writes
        // up to the queued size, runs out of space.
        const std::string shrunk = ext4.Path("shrunk");
        WriteFile(shrunk, std::string(4 << 20, 's'));
        ASSERT_EQ(std::system(("chattr +i '" + immutable + "'").c_str()), 0);
        failing.push_back({immutable, WipeFailure::AccessDenied});
        failing.push_back({kept, WipeFailure::DeleteFailed});
        failing.push_back({shrunk, WipeFailure::OverwriteFailed});
    }
    std::vector<std::string> queued;
    for (const auto& entry : failing)
        queued.push_back(entry.first);
    queued.push_back(plain);
    Queue(frame, queued);
    // Changed after queueing: a link now stands where its folder was.
    ASSERT_EQ(rename(dir.Path("moved").c_str(), dir.Path("elsewhere").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("elsewhere").c_str(), dir.Path("moved").c_str()), 0);
    if (withExt4) {
        ASSERT_EQ(std::system(("chattr +a '" + ext4.Path("append-only") + "'").c_str()), 0);
        ASSERT_EQ(truncate(ext4.Path("shrunk").c_str(), 0), 0);
        std::system(("dd if=/dev/zero of='" + ext4.Path("filler") + "' bs=64k 2>/dev/null; sync").c_str());
    }

    const ShownMessage box = RunToCompletion(frame);
    EXPECT_EQ(box.caption, "Completed!");
    EXPECT_TRUE(box.style & wxICON_WARNING);
    // What reached the files not wiped counts too: the kept one's 20 bytes,
    // the shrunk one's up to the full disk.
    EXPECT_TRUE(box.message.StartsWith("Wiping process completed!\n1 file wiped, ")) << box.message;
    EXPECT_EQ(box.message.Contains("\n1 file wiped, 7 B overwritten, in "), !withExt4) << box.message;
    EXPECT_TRUE(box.message.Contains(wxString::Format("\n%zu file(s) could not be wiped:", failing.size())))
        << box.message;
    for (const auto& entry : failing) {
        EXPECT_EQ(Occurrences(box.message, Heading(entry.second, 1)), 1u) << entry.first << "\n" << box.message;
        EXPECT_TRUE(box.message.Contains(Heading(entry.second, 1) + "\n" + entry.first)) << box.message;
    }
    EXPECT_FALSE(box.message.Contains(plain));
    if (withExt4) {
        EXPECT_TRUE(box.message.Contains(ext4.Path("shrunk") + " (No space left on device)")) << box.message;
        EXPECT_EQ(std::system(("chattr -i '" + ext4.Path("immutable") + "'; chattr -a '"
                               + ext4.Path("append-only") + "'").c_str()), 0);
        EXPECT_EQ(ReadFile(ext4.Path("immutable")), "locked");
        EXPECT_NE(ReadFile(ext4.Path("append-only/kept")), "overwritten but kept");
    }

    EXPECT_TRUE(Exists(link));
    EXPECT_TRUE(Exists(fifo));
    EXPECT_EQ(ReadFile(target), "linked content");
    EXPECT_EQ(ReadFile(linked), "two names");
    EXPECT_EQ(ReadFile(dir.Path("elsewhere/changed")), "still here");
    EXPECT_FALSE(Exists(plain));
    ExpectIdleAfterARun(frame);
}

// The box ticked, one read-back spoiled as a device that lost a write would:
// that file is kept and named under its reason, the other is wiped. Not
// ticked, the same spoiling hook is never reached.
TEST(StartWipe, ReadBackAfterWipingKeepsAndNamesTheFileThatReadsBackWrong)
{
    TempDir dir;
    Frame frame;
    std::string passed;     // the file whose pass last reached the device
    std::string spoiled;    // the file whose read-back was spoiled
    int readBacks = 0;
    struct Hooks {
        ~Hooks()
        {
            FileOverwriter::afterPass = nullptr;
            FileOverwriter::afterReadBack = nullptr;
        }
    } hooks;
    FileOverwriter::afterPass = [&passed](const wxString& path) { passed = path.ToStdString(); };
    FileOverwriter::afterReadBack = [&](unsigned char* data, size_t n) {
        if (readBacks++ == 0 && n != 0) {
            data[0] ^= 0xFF;
            spoiled = passed;
        }
    };
    Queue(frame, {dir.File("first", std::string(70000, 'f')), dir.File("second", std::string(5000, 's'))});
    frame->verifyBox->SetValue(true);
    wxCommandEvent tick(wxEVT_CHECKBOX, frame->verifyBox->GetId());
    tick.SetInt(1);
    frame->verifyBox->ProcessWindowEvent(tick);
    ShownMessage box = RunToCompletion(frame);
    ASSERT_FALSE(spoiled.empty()) << box.message;
    EXPECT_EQ(readBacks, 2);
    EXPECT_TRUE(box.style & wxICON_WARNING);
    EXPECT_TRUE(box.message.StartsWith("Wiping process completed!\n1 file wiped, ")) << box.message;
    EXPECT_TRUE(box.message.Contains(Heading(WipeFailure::VerificationFailed, 1) + "\n" + spoiled)) << box.message;
    EXPECT_TRUE(Exists(spoiled));
    EXPECT_FALSE(Exists(dir.Path(spoiled == dir.Path("first") ? "second" : "first")));

    frame->verifyBox->SetValue(false);
    readBacks = 0;
    Queue(frame, {dir.File("third", "t")});
    box = RunToCompletion(frame);
    EXPECT_EQ(readBacks, 0);
    EXPECT_FALSE(Exists(dir.Path("third")));
    EXPECT_TRUE(box.style & wxICON_INFORMATION) << box.message;
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
              "https://vorlix.example.org\n\n"
              "License: GNU General Public License, version 3 or later (GPL-3.0-or-later).\n"
              "This is free software; there is NO WARRANTY, to the extent permitted by law.");
    EXPECT_EQ(Dialogs().messages[0].caption, "About Vorlix");
    EXPECT_TRUE(Dialogs().messages[0].style & wxICON_INFORMATION);
}

// Stop leaves the file being overwritten where it is, partly overwritten, and
// the files not reached queued and untouched; the box says what happened.
TEST(StopButton, StopsWithinASecondMidFileAndLeavesTheRestQueued)
{
    TempDir dir;
    Frame frame;
    const std::string first = dir.File("first", std::string(3000, 'f'));
    const std::string big = dir.File("big", std::string(256 << 20, 'B'));
    const std::string later = dir.File("later", "not reached");
    const std::string last = dir.File("last", "nor this");
    Queue(frame, {first, big, later, last});

    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(frame->IsRunning());
    EXPECT_EQ(frame->startButton->GetLabelText(), "Stop");
    EXPECT_TRUE(frame->startButton->IsEnabled());
    // Well into the big file, far from its end.
    ASSERT_TRUE(PumpUntil([&] {
        Wiper* wiper = frame->wipeQueue.wiper.load();
        return wiper && wiper->GetBytesProcessed() > 3000 + 4096;
    }));
    Click(frame->startButton);
    EXPECT_FALSE(frame->startButton->IsEnabled());
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Stopping, please wait...");
    ASSERT_TRUE(PumpUntil([&] { return !frame->IsRunning(); }, 1000));

    ASSERT_EQ(Dialogs().messages.size(), 1u);
    const ShownMessage& box = Dialogs().messages[0];
    EXPECT_EQ(box.caption, "Stopped!");
    // The bytes written to the big file before the stop count too: more
    // than the first file's 2.93 KB.
    EXPECT_TRUE(box.message.StartsWith("Wiping process stopped!\n1 file wiped, ")) << box.message;
    EXPECT_FALSE(box.message.Contains(" 2.93 KB overwritten") || box.message.Contains(" B overwritten"))
        << box.message;
    EXPECT_TRUE(box.message.EndsWith(Heading(WipeFailure::Stopped, 1) + "\n" + big)) << box.message;
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Stopped");
    EXPECT_EQ(frame->startButton->GetLabelText(), "Start Wipe!");
    EXPECT_TRUE(frame->startButton->IsEnabled());

    EXPECT_FALSE(Exists(first));
    struct stat st;
    ASSERT_EQ(stat(big.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 256 << 20);
    EXPECT_NE(ReadPart(big, 0, 4096), std::string(4096, 'B'));
    EXPECT_EQ(ReadPart(big, (256 << 20) - 4096, 4096), std::string(4096, 'B'));
    EXPECT_EQ(QueuedPaths(frame->wipeQueue), (std::vector<wxString>{later, last}));
    EXPECT_EQ(frame->queueList->GetItemCount(), 2);
    EXPECT_EQ(ReadFile(later), "not reached");
    EXPECT_EQ(ReadFile(last), "nor this");
}

// Closing during a run asks first: No keeps the run going, Yes stops it at
// once and the window closes when the engine has ended.
TEST(Closing, DuringARunAsksAndStopsAtOnceOnlyWhenTheUserAgrees)
{
    TempDir dir;
    auto* frame = new MainFrame("Vorlix");
    frame->Show();
    wxWeakRef<MainFrame> alive(frame);
    const size_t bigSize = size_t(512) << 20;
    const std::string big = dir.File("big", std::string(bigSize, 'B'));
    const std::string later = dir.File("later", "not reached");
    wxArrayString paths;
    paths.Add(big);
    paths.Add(later);
    frame->AddPaths(paths);
    // Three passes, each synced: the run is still on the big file when the
    // user answers, however fast the disk.
    frame->wipeQueue.algorithm = 2;

    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([&] {
        Wiper* wiper = frame->wipeQueue.wiper.load();
        return wiper && wiper->GetBytesProcessed() > 0;
    }));

    // The queue under a run is not the user's to change: a drop is refused and
    // switches nothing on, and Remove takes nothing out of what will be wiped.
    const std::string dropped = dir.File("dropped", "never queued");
    auto* target = dynamic_cast<wxFileDropTarget*>(frame->queueList->GetDropTarget());
    EXPECT_FALSE(target->OnDropFiles(0, 0, wxArrayString(1, dropped.c_str())));
    EXPECT_FALSE(frame->wipeQueue.Contains(dropped));
    EXPECT_FALSE(frame->addFilesButton->IsEnabled());
    EXPECT_FALSE(frame->removeButton->IsEnabled());
    frame->queueList->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    Click(frame->removeButton);
    EXPECT_TRUE(frame->wipeQueue.Contains(later));

    Dialogs().answers = {wxID_NO};
    frame->Close();  // the caption's close box
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_EQ(Dialogs().messages[0].caption, "Stop wiping?");
    EXPECT_TRUE(Dialogs().messages[0].style & wxYES_NO);
    Pump(20);
    ASSERT_TRUE(alive);
    EXPECT_TRUE(frame->IsRunning());
    EXPECT_TRUE(frame->progressTimer.IsRunning());

    Dialogs().answers = {wxID_YES};
    frame->Close();
    ASSERT_TRUE(PumpUntil([&] { return !alive; }, 10000));
    EXPECT_EQ(Dialogs().messages.size(), 2u);
    EXPECT_TRUE(Exists(big));
    // On a fast disk a constant pass may have reached the end, never the last.
    const std::string tail = ReadPart(big, bigSize - 4096, 4096);
    EXPECT_TRUE(tail == std::string(4096, 'B') || tail == std::string(4096, '\0') ||
                tail == std::string(4096, '\xff'));
    EXPECT_EQ(ReadFile(later), "not reached");
    EXPECT_TRUE(Wiper::IsRunFinished());
}

// Normalised for comparing two runs: their times differ, nothing else may.
static std::string WithoutTimes(const std::string& json)
{
    static const std::regex times("\"(started|ended)\": \"[^\"]*\"|\"elapsed_ms\": [0-9]+");
    return std::regex_replace(json, times, "TIME");
}

// Files and a folder: the window's walk and vorlix-wipe -r queue the same
// files through the one intake, so both records list the same.
// A thumbnail of file as the desktop's thumbnail factory names it, in the
// cache this process was started with; its path.
std::string ThumbnailOf(const std::string& file)
{
    gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri, -1);
    const std::string folder = std::string(g_get_user_cache_dir()) + "/thumbnails/normal";
    g_mkdir_with_parents(folder.c_str(), 0700);
    const std::string path = folder + "/" + md5 + ".png";
    // Signature, the Thumb::URI chunk (a reader needs no checksum), the end.
    const std::string text = std::string("Thumb::URI") + '\0' + uri;
    std::string png("\x89PNG\r\n\x1a\n", 8);
    for (const std::string& chunk : {std::string("tEXt") + text, std::string("IEND")}) {
        const uint32_t length = uint32_t(chunk.size() - 4);
        for (int shift = 24; shift >= 0; shift -= 8)
            png += char((length >> shift) & 0xff);
        png += chunk + std::string(4, '\0');
    }
    WriteFile(path, png);
    g_free(md5);
    g_free(uri);
    return path;
}

TEST(StartWipe, SaveReportWritesWhatTheCommandLineWritesForTheSameFiles)
{
    TempDir dir;
    const std::vector<std::string> files{dir.Path("data"), dir.Path("twin"), dir.Path("fifo"), dir.Path("empty"),
                                         dir.Path("tree")};
    std::string thumbnail;
    const auto make = [&] {
        WriteFile(files[0], std::string(5000, 'd'));
        thumbnail = ThumbnailOf(files[0]);
        WriteFile(files[1], "twin");
        link(files[1].c_str(), dir.Path("twin2").c_str());
        mkfifo(files[2].c_str(), 0600);
        WriteFile(files[3], "");
        mkdir(files[4].c_str(), 0700);
        mkdir(dir.Path("tree/deep").c_str(), 0700);
        WriteFile(dir.Path("tree/deep/inner"), "inner");
        WriteFile(dir.Path("tree/outer"), "outer");
    };
    make();
    Frame frame;
    Queue(frame, files);
    const std::string saved = dir.Path("window.json");
    Dialogs().answers = {wxID_HELP};
    Dialogs().onOtherDialog = [&saved](wxDialog* dialog) {
        Dialogs().onOtherDialog = nullptr;
        auto* chooser = dynamic_cast<wxFileDialog*>(dialog);
        EXPECT_TRUE(chooser);
        if (!chooser)
            return int(wxID_CANCEL);
        EXPECT_EQ(chooser->GetMessage(), "Save report");
        chooser->SetPath(saved);
        EXPECT_TRUE(PumpUntil([&] { return chooser->GetPath() == wxString(saved); }, 3000));
        return int(wxID_OK);
    };
    const ShownMessage box = RunToCompletion(frame);
    EXPECT_TRUE(box.style & wxHELP);
    EXPECT_TRUE(box.message.StartsWith("Wiping process completed!\n4 files wiped, ")) << box.message;
    // The wiped file's picture goes with it, and the box says so.
    EXPECT_NE(box.message.Find("\nAlso removed: 1 thumbnail\n"), wxNOT_FOUND) << box.message;
    EXPECT_FALSE(Exists(thumbnail));
    ASSERT_TRUE(PumpUntil([&] { return Exists(saved) && Dialogs().onOtherDialog == nullptr; }, 5000));
    ExpectIdleAfterARun(frame);

    make();
    std::vector<std::string> args{VORLIX_WIPE_BINARY, "-r", "--report", dir.Path("cli.json")};
    args.insert(args.end(), files.begin(), files.end());
    const ProcessResult cli = RunProcess(args, dir.Path(), 20000, [] { wxTheApp->Yield(true); });
    EXPECT_EQ(cli.status, 1) << cli.err;
    const std::string json = ReadFile(saved);
    EXPECT_EQ(WithoutTimes(json), WithoutTimes(ReadFile(dir.Path("cli.json"))));
    EXPECT_NE(json.find("\"path\": \"" + files[0] + "\", "), std::string::npos) << json;
    EXPECT_NE(json.find("\"reason_code\": \"hard_links\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"path\": \"" + dir.Path("tree/deep/inner") + "\", "), std::string::npos) << json;
    EXPECT_NE(json.find("\"totals\": {\"files\": 6, \"wiped\": 4, \"not_wiped\": 2, "), std::string::npos) << json;
    EXPECT_NE(json.find("{\"kind\": \"thumbnail\", \"path\": \"" + thumbnail + "\", "), std::string::npos) << json;
    EXPECT_FALSE(Exists(thumbnail));
}
