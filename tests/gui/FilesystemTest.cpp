// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include <cstdlib>
#include <iostream>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "MainFrame.h"
#include "engine/FreeSpaceWiper.h"
#include "platform/OverwriteCaveat.h"
#include "platform/PrivilegedStep.h"
#include "support/GuiHarness.h"
#include "support/LoopFilesystem.h"
#include "support/TempDir.h"

namespace {

void Queue(Frame& frame, const std::string& path)
{
    wxArrayString paths;
    paths.Add(path);
    frame->AddPaths(paths);
}

const ShownMessage* Box(const wxString& caption)
{
    for (const ShownMessage& box : Dialogs().messages)
        if (box.caption == caption)
            return &box;
    return nullptr;
}

}  // namespace

TEST(FilesystemWarning, NamesACopyOnWriteFilesystemAndLetsTheUserCancel)
{
    LoopFilesystem btrfs("btrfs", "128M");
    if (!btrfs.Usable())
        GTEST_SKIP() << "needs root, loop devices and mkfs.btrfs";
    const std::string file = btrfs.Path("on-btrfs.txt");
    WriteFile(file, "old data");
    EXPECT_EQ(OverwriteCaveat::For(file), "btrfs filesystem");

    Frame frame;
    Queue(frame, file);
    Dialogs().messages.clear();
    Dialogs().answers = {wxID_NO};
    Click(frame->startButton);
    const ShownMessage* warning = Box("Filesystem warning");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->message.Contains("btrfs")) << warning->message;
    EXPECT_TRUE(warning->style & wxICON_WARNING);
    EXPECT_TRUE(warning->style & wxYES_NO);
    EXPECT_FALSE(frame->IsRunning());
    EXPECT_EQ(frame->wipeQueue.Count(), 1u);
    EXPECT_TRUE(frame->startButton->IsEnabled());
    EXPECT_TRUE(Exists(file));

    // Going on anyway runs the wipe as usual.
    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([] { return Box("Completed!") != nullptr; }, 30000));
    EXPECT_NE(Box("Filesystem warning"), nullptr);
    EXPECT_FALSE(Exists(file));
}

TEST(FilesystemWarning, IsNotShownForAFileOnExt4UnlessItsJournalKeepsData)
{
    LoopFilesystem ext4("ext4");
    if (!ext4.Usable())
        GTEST_SKIP() << "needs root and loop devices";
    const std::string file = ext4.Path("on-ext4.txt");
    WriteFile(file, "old data");
    EXPECT_EQ(OverwriteCaveat::For(file), "");

    Frame frame;
    Queue(frame, file);
    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([] { return Box("Completed!") != nullptr; }, 30000));
    EXPECT_EQ(Box("Filesystem warning"), nullptr);
    EXPECT_EQ(Dialogs().messages.size(), 1u);

    // The journal keeps copies of what it writes: with data=journal, and for a
    // small file kept inside its inode.
    ASSERT_TRUE(ext4.Unmount() && ext4.Mount("data=journal"));
    WriteFile(file, "old data");
    EXPECT_EQ(OverwriteCaveat::For(file), "ext4 filesystem (data=journal)");
    LoopFilesystem inlined("ext4", "64M", "-O inline_data");
    ASSERT_TRUE(inlined.Usable());
    WriteFile(inlined.Path("small"), std::string(50, 's'));
    EXPECT_EQ(OverwriteCaveat::For(inlined.Path("small")), "ext4 filesystem (inline data)");
}

// Run by another user, the journal step after the files is named in the
// status line with its own share, which the gauge shows; Stop ends it, the
// file stays wiped and the box says the journal was not cleared.
TEST(JournalStep, IsNamedWithItsOwnShareAndStopEndsIt)
{
    if (PrivilegedStep::Available())
        GTEST_SKIP() << "vorlix-privileged is installed: the journal is cleared through it";
    // A journal of 65,536 blocks: a push of several seconds.
    LoopFilesystem ext4("ext4", "1G", "-b 4096 -J size=256");
    if (!ext4.Usable())
        GTEST_SKIP() << "needs root and loop devices";
    const std::string docs = ext4.Path("docs"), file = docs + "/wiped";
    ASSERT_EQ(mkdir(docs.c_str(), 0755), 0);
    ASSERT_EQ(chmod((ext4.Path("") + "..").c_str(), 0755), 0);
    WriteFile(file, std::string(1 << 20, 'w'));
    ASSERT_EQ(chown(docs.c_str(), 65534, 65534) | chown(file.c_str(), 65534, 65534), 0);

    Frame frame;
    Queue(frame, file);
    // Only root may have the kernel zero the journal: the run pushes it round.
    ASSERT_EQ(setegid(65534) | seteuid(65534), 0);
    struct Root {
        ~Root() { EXPECT_EQ(seteuid(0) | setegid(0), 0); }
    } root;
    Dialogs().messages.clear();
    Click(frame->startButton);
    const auto status = [&] { return frame->GetStatusBar()->GetStatusText(0); };
    ASSERT_TRUE(PumpUntil([&] { return status().StartsWith("Clearing the journal... "); }, 30000)) << status();
    double shown = 100;
    ASSERT_TRUE(status().EndsWith("%")) << status();
    ASSERT_TRUE(status().AfterLast(' ').BeforeLast('%').ToCDouble(&shown)) << status();
    EXPECT_LT(shown, 99.99);
    EXPECT_EQ(frame->progressGauge->GetValue(), static_cast<int>(shown));
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([&] { return !frame->IsRunning(); }, 5000));
    const ShownMessage* box = Box("Stopped!");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->message.StartsWith("Wiping process stopped!\n1 file wiped, ")) << box->message;
    EXPECT_TRUE(box->message.Contains("\nThe filesystem's journal was not cleared: ")) << box->message;
    EXPECT_FALSE(Exists(file));
    // Nothing of the push is left in the folder.
    EXPECT_EQ(std::system(("test -z \"$(ls -A '" + docs + "')\"").c_str()), 0) << "the push's work folder is left";
}

TEST(FilesystemWarning, SaysOnceForAllFilesOnFlashWhatOverwritingCannotReachAndNothingOnASpinningDisk)
{
    LoopFilesystem fs("ext4", "64M", "", "/dev/shm");
    if (!fs.Usable())
        GTEST_SKIP() << "needs root, loop devices and /dev/shm";
    ASSERT_TRUE(fs.SetRotational(false));
    WriteFile(fs.Path("one"), std::string(100000, '1'));
    WriteFile(fs.Path("two"), std::string(100000, '2'));

    Frame frame;
    Queue(frame, fs.Path("one"));
    Queue(frame, fs.Path("two"));
    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([] { return Box("Completed!") != nullptr; }, 30000));
    ASSERT_EQ(Dialogs().messages.size(), 2u);
    const ShownMessage& warning = Dialogs().messages[0];
    EXPECT_EQ(warning.caption, "Filesystem warning");
    EXPECT_TRUE(warning.style & wxYES_NO);
    EXPECT_TRUE(warning.message.StartsWith("2 of the queued files are on flash storage")) << warning.message;
    EXPECT_TRUE(warning.message.Contains("overwriting cannot reach")) << warning.message;
    EXPECT_TRUE(warning.message.Contains("Vorlix asks the drive to discard the wiped blocks")) << warning.message;
    EXPECT_TRUE(warning.message.Contains("Full-disk encryption")) << warning.message;
    const wxString report = Box("Completed!")->message;
    EXPECT_TRUE(report.Contains("On flash storage (2):\n" + fs.Path("one") + "\n" + fs.Path("two"))) << report;
    // Where the loop device takes no discards, the box says that instead.
    EXPECT_TRUE(report.Contains(fs.TakesDiscards() ? "Vorlix asked the drive to discard the wiped blocks ("
                                                   : "The drive or its filesystem takes no discard requests"))
        << report;
    EXPECT_FALSE(Exists(fs.Path("one")));

    // The same drive when it spins: neither the warning nor the paragraph.
    ASSERT_TRUE(fs.SetRotational(true));
    WriteFile(fs.Path("three"), "3");
    Queue(frame, fs.Path("three"));
    Dialogs().messages.clear();
    Click(frame->startButton);
    ASSERT_TRUE(PumpUntil([] { return Box("Completed!") != nullptr; }, 30000));
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_FALSE(Dialogs().messages[0].message.Contains("flash")) << Dialogs().messages[0].message;
    EXPECT_FALSE(Exists(fs.Path("three")));
}

namespace {

uint64_t FreeBlocks(const std::string& path)
{
    ::sync();
    struct statvfs vfs {};
    ::statvfs(path.c_str(), &vfs);
    return vfs.f_bfree;
}

uint64_t FirstFillFileSize(const LoopFilesystem& fs)
{
    struct stat st {};
    const std::string path = fs.Path(FreeSpaceWiper::workFolderName) + "/fill-000000";
    return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

}  // namespace

TEST(FreeSpaceWipe, AsksNamingTheFilesystemRunsToTheEndAndStopOrCloseMidwayRemovesEverythingItMade)
{
    LoopFilesystem ext4("ext4", "256M");
    if (!ext4.Usable())
        GTEST_SKIP() << "needs root and loop devices";
    ASSERT_EQ(::mkdir(ext4.Path("docs").c_str(), 0755), 0);
    WriteFile(ext4.Path("docs/kept"), "kept");
    const uint64_t freeBefore = FreeBlocks(ext4.Path(""));
    const std::string work = ext4.Path(FreeSpaceWiper::workFolderName);

    {
        Frame frame;
        Dialogs().messages.clear();
        // Yes to the question, then Save report... in the box at the end.
        const std::string saved = ext4.Path("docs/report.json");
        Dialogs().answers = {wxID_YES, wxID_HELP};
        Dialogs().onOtherDialog = [&saved](wxDialog* dialog) {
            Dialogs().onOtherDialog = nullptr;
            auto* chooser = dynamic_cast<wxFileDialog*>(dialog);
            if (!chooser)
                return int(wxID_CANCEL);
            chooser->SetPath(saved);
            EXPECT_TRUE(PumpUntil([&] { return chooser->GetPath() == wxString(saved); }, 3000));
            return int(wxID_OK);
        };
        EXPECT_TRUE(frame->WipeFreeSpace(ext4.Path("docs")));
        ASSERT_EQ(Dialogs().messages.size(), 1u);
        const ShownMessage question = Dialogs().messages[0];
        EXPECT_TRUE(question.style & wxYES_NO);
        EXPECT_TRUE(question.message.Contains("ext4")) << question.message;
        EXPECT_TRUE(question.message.Contains(" MB are free")) << question.message;
        EXPECT_TRUE(question.message.Contains("other programs writing to it may fail")) << question.message;
        EXPECT_TRUE(frame->IsWipingFreeSpace());
        EXPECT_FALSE(frame->freeSpaceButton->IsEnabled());
        EXPECT_TRUE(frame->startButton->IsEnabled());
        EXPECT_EQ(frame->startButton->GetLabelText(), "Stop");
        EXPECT_FALSE(frame->WipeFreeSpace(ext4.Path("docs")));  // one run at a time, asking nothing

        ASSERT_TRUE(PumpUntil([] { return Dialogs().messages.size() == 2; }, 60000));
        EXPECT_TRUE(Dialogs().messages[1].message.StartsWith("Free space wiped: ")) << Dialogs().messages[1].message;
        EXPECT_FALSE(frame->IsWipingFreeSpace());
        EXPECT_FALSE(frame->progressTimer.IsRunning());
        EXPECT_TRUE(frame->freeSpaceButton->IsEnabled());
        EXPECT_TRUE(frame->startButton->IsEnabled());
        EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Completed");
        EXPECT_FALSE(Exists(work));
        ASSERT_TRUE(PumpUntil([&] { return Exists(saved); }, 5000));
        const std::string json = ReadFile(saved);
        EXPECT_NE(json.find("\"kind\": \"free-space\""), std::string::npos) << json;
        EXPECT_NE(json.find("\"folder\": \"" + ext4.Path("docs") + "\", \"filesystem\": \"ext4\""), std::string::npos)
            << json;
        EXPECT_NE(json.find("\"outcome\": \"wiped\""), std::string::npos) << json;
        ::unlink(saved.c_str());
        EXPECT_EQ(FreeBlocks(ext4.Path("")), freeBefore);
    }

    {
        // Stopped half-way with the Stop control.
        Frame frame;
        Dialogs().messages.clear();
        ASSERT_TRUE(frame->WipeFreeSpace(ext4.Path("docs")));
        ASSERT_TRUE(PumpUntil([&] { return FirstFillFileSize(ext4) > (8u << 20); }, 30000));
        Click(frame->startButton);
        ASSERT_TRUE(PumpUntil([] { return Dialogs().messages.size() == 2; }, 30000));
        EXPECT_TRUE(Dialogs().messages[1].message.Contains("stopped")) << Dialogs().messages[1].message;
        EXPECT_EQ(frame->startButton->GetLabelText(), "Start Wipe!");
        EXPECT_TRUE(frame->freeSpaceButton->IsEnabled());
        EXPECT_FALSE(Exists(work));
        EXPECT_EQ(FreeBlocks(ext4.Path("")), freeBefore);
    }

    // Closed half-way: the window goes only once the fill files are gone.
    Frame frame;
    Dialogs().messages.clear();
    ASSERT_TRUE(frame->WipeFreeSpace(ext4.Path("docs")));
    ASSERT_TRUE(PumpUntil([&] { return FirstFillFileSize(ext4) > (8u << 20); }, 30000));
    frame->Close();
    ASSERT_TRUE(PumpUntil([&] { return !frame.frame; }, 30000));
    EXPECT_EQ(Dialogs().messages.size(), 1u);  // the question, and no box at the end
    EXPECT_FALSE(Exists(work));
    EXPECT_EQ(FreeBlocks(ext4.Path("")), freeBefore);
    EXPECT_EQ(ReadFile(ext4.Path("docs/kept")), "kept");
}

TEST(FreeSpaceWipe, AnImageThatIsNotMountedIsAskedAboutAndWipedDirectly)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the window's own test of an image wants root, as its neighbours do";
    TempDir dir;
    const std::string image = dir.Path() + "/off.img";
    ASSERT_EQ(std::system(("truncate -s 32M '" + image + "' && mkfs.ext4 -q -F '" + image + "'").c_str()), 0);
    Frame frame;
    Dialogs().messages.clear();
    ASSERT_TRUE(frame->WipeFreeSpace(image));
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_TRUE(Dialogs().messages[0].message.Contains("It is not mounted")) << Dialogs().messages[0].message;
    EXPECT_TRUE(frame->IsWipingFreeSpace());
    ASSERT_TRUE(PumpUntil([] { return Dialogs().messages.size() == 2; }, 60000));
    EXPECT_TRUE(Dialogs().messages[1].message.StartsWith("Free space wiped: ")) << Dialogs().messages[1].message;
    EXPECT_TRUE(frame->freeSpaceButton->IsEnabled());
    EXPECT_EQ(std::system(("e2fsck -fn '" + image + "' >/dev/null 2>&1").c_str()), 0);
}

// The administrator's free-space wipe as an ordinary user meets it, with a
// real polkit: run by tests/scripts/privileged_polkit.sh, which names the
// folder (on ext4, the user's own) and what polkit is set to answer:
// "absent" (vorlix-privileged not installed), "granted" or "refused".
TEST(AdministratorFreeSpace, OfferedWhereRootReachesMoreAndRunThroughPolkit)
{
    const char* folder = std::getenv("VORLIX_TEST_ADMIN_FOLDER");
    const char* expect = std::getenv("VORLIX_TEST_ADMIN_EXPECT");
    if (!folder || !expect)
        GTEST_SKIP() << "run by privileged_polkit.sh, with polkit of its own";
    const std::string mode = expect;
    const std::string work = std::string(std::getenv("VORLIX_TEST_ADMIN_ROOT")) + "/" + FreeSpaceWiper::workFolderName;
    Frame frame;
    Dialogs().messages.clear();
    if (mode == "absent") {
        Dialogs().answers = {wxID_NO};
        EXPECT_FALSE(frame->WipeFreeSpace(folder));
        ASSERT_EQ(Dialogs().messages.size(), 1u);
        EXPECT_FALSE(Dialogs().messages[0].style & wxCANCEL) << "no offer without vorlix-privileged";
        EXPECT_TRUE(Dialogs().messages[0].message.Contains("are kept for the system: only a run with administrator "
                                                           "rights reaches them"))
            << Dialogs().messages[0].message;
        return;
    }
    // The offer taken, then stopped at once; where polkit says no, the
    // user's own run declined.
    Dialogs().answers = {wxID_YES, wxID_NO};
    ASSERT_TRUE(frame->WipeFreeSpace(folder));
    const ShownMessage offer = Dialogs().messages.at(0);
    EXPECT_TRUE(offer.style & wxCANCEL);
    EXPECT_TRUE(offer.message.Contains("Wipe all of it with administrator rights?")) << offer.message;
    EXPECT_TRUE(offer.message.Contains("deleted files whose data lies there stay readable")) << offer.message;
    if (mode == "granted")
        Click(frame->startButton);
    bool workFolderSeen = false;
    ASSERT_TRUE(PumpUntil([&] {
        workFolderSeen = workFolderSeen || Exists(work);
        return Dialogs().messages.size() >= 2 && !frame->IsRunning();
    }, 120000));
    const ShownMessage end = Dialogs().messages.at(1);
    if (mode == "refused") {
        EXPECT_TRUE(end.message.StartsWith("Administrator rights were not granted")) << end.message;
        EXPECT_TRUE(end.message.Contains("Wipe only the free space you may fill instead?")) << end.message;
        EXPECT_FALSE(workFolderSeen) << "nothing ran as root";
        EXPECT_FALSE(frame->IsRunning());
        EXPECT_TRUE(frame->freeSpaceButton->IsEnabled());
        return;
    }
    EXPECT_TRUE(end.message.Contains("stopped. Every file it made has been removed.")) << end.message;
    EXPECT_FALSE(Exists(work));

    struct statvfs vfs;
    ASSERT_EQ(::statvfs(folder, &vfs), 0);
    const double mine = double(vfs.f_bavail) * vfs.f_frsize;
    // Three passes: long enough for the progress to show.
    frame->wipeQueue.SetMethod(WipeMethod::DoD);
    Dialogs().messages.clear();
    Dialogs().answers = {wxID_YES};
    ASSERT_TRUE(frame->WipeFreeSpace(folder));
    bool progressSeen = false;
    ASSERT_TRUE(PumpUntil([&] {
        progressSeen = progressSeen || frame->GetStatusBar()->GetStatusText(0).StartsWith("Wiping free space: ");
        return Dialogs().messages.size() >= 2 && !frame->IsRunning();
    }, 120000));
    EXPECT_TRUE(progressSeen);
    const wxString summary = Dialogs().messages[1].message;
    double written = 0;
    ASSERT_TRUE(summary.StartsWith("Free space wiped: ")) << summary;
    ASSERT_TRUE(summary.AfterFirst(':').BeforeFirst('M').Trim(false).Trim().ToCDouble(&written)) << summary;
    EXPECT_GT(written * 1024 * 1024, 3 * mine) << "more than this user may fill, in each pass";
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Completed");
    std::cout << "admin-run: " << summary.BeforeFirst('\n').ToStdString() << " of " << mine << " bytes nobody may fill"
              << std::endl;
    EXPECT_FALSE(Exists(work));
}
