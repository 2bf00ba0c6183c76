// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"
#include "engine/FreeSpaceWiper.h"
#include "engine/RandomWiper.h"
#include "platform/CrashRecord.h"
#include "platform/InPlaceFile.h"
#include "platform/NativePath.h"
#include "support/LoopFilesystem.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

// A run killed at its worst moments, then a start of the real program: what
// the run recorded is finished, and nothing else is touched.

namespace {

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A start of `vorlix` with the given state folder and a runtime folder of its
// own, and no display: it finishes what it finds and then cannot open a window.
void StartProgram(const std::string& stateHome, const TempDir& dir)
{
    ::mkdir(dir.Path("runtime").c_str(), 0700);
    RunProcess({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "XDG_STATE_HOME=" + stateHome,
                "XDG_RUNTIME_DIR=" + dir.Path("runtime"), VORLIX_BINARY});
}

// Runs body in a child that has this state folder; true once the child has
// been killed by SIGKILL (its own, or sent by killer).
bool KilledChild(const std::string& stateHome, const std::function<void()>& body,
                 const std::function<void(pid_t)>& killer = {})
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
        ::freopen("/dev/null", "w", stdout);
        body();
        ::_exit(0);
    }
    if (killer)
        killer(child);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace

TEST(CrashRecord, AKillBetweenRenameAndUnlinkLeavesAHiddenFileTheNextStartDeletes)
{
    TempDir dir;
    const std::string state = dir.Folder("state");
    const std::string docs = dir.Folder("docs");
    WriteFile(docs + "/victim", Pattern(5000));
    WriteFile(docs + "/beside", Pattern(100));
    // Named like Vorlix's own, but not recorded: never touched.
    WriteFile(docs + "/.vorlix-12345", Pattern(100));

    ASSERT_TRUE(KilledChild(state, [&] {
        InPlaceFile::afterRename = [] { ::raise(SIGKILL); };
        WipeQueue queue;
        queue.AddPath(docs + "/victim");
        RandomWiper().Wipe(&queue);
    }));
    std::vector<std::string> left = Names(docs);
    ASSERT_EQ(left.size(), 3u) << testing::PrintToString(left);
    left.erase(std::remove_if(left.begin(), left.end(),
                              [](const std::string& name) { return name == "beside" || name == ".vorlix-12345"; }),
               left.end());
    ASSERT_EQ(left.size(), 1u);
    const std::string hidden = docs + "/" + left[0];
    EXPECT_EQ(left[0].rfind(".vorlix-", 0), 0u);
    EXPECT_NE(ReadFile(hidden), Pattern(5000));  // overwritten already
    EXPECT_EQ(Names(state + "/vorlix").size(), 1u);

    StartProgram(state, dir);
    EXPECT_EQ(Names(docs), (std::vector<std::string>{".vorlix-12345", "beside"}));
    EXPECT_EQ(ReadFile(docs + "/beside"), Pattern(100));
    EXPECT_TRUE(Names(state + "/vorlix").empty());

    // A record of a process that still runs is left alone; once it has
    // ended, the file recorded goes, but not another file under a recorded name.
    struct stat st;
    WriteFile(docs + "/.vorlix-live", "live");
    ASSERT_EQ(::stat((docs + "/.vorlix-live").c_str(), &st), 0);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    bool keptWhileAlive = false;
    ASSERT_TRUE(KilledChild(
        state,
        [&] {
            CrashRecord::NoteHidden(NativePath::Decode(docs), ".vorlix-live", st.st_dev, st.st_ino);
            CrashRecord::NoteHidden(NativePath::Decode(docs), ".vorlix-12345", st.st_dev, st.st_ino);
            if (::write(ready[1], "r", 1) == 1)
                ::pause();
        },
        [&](pid_t child) {
            char byte;
            if (::read(ready[0], &byte, 1) == 1) {
                StartProgram(state, dir);
                keptWhileAlive = Exists(docs + "/.vorlix-live") && Exists(docs + "/.vorlix-12345");
            }
            ::kill(child, SIGKILL);
        }));
    EXPECT_TRUE(keptWhileAlive);
    StartProgram(state, dir);
    EXPECT_EQ(Names(docs), (std::vector<std::string>{".vorlix-12345", "beside"}));
    EXPECT_TRUE(Names(state + "/vorlix").empty());
}

// The lines of deleted files are dropped without a write of their own; the
// end of the run writes them out, even while the process goes on.
TEST(CrashRecord, AFinishedRunLeavesNoLineBehindWhileItsProcessLives)
{
    TempDir dir;
    const std::string state = dir.Folder("state");
    const std::string plain = dir.Folder("docs");
    const std::string wide = dir.Folder("d\xc3\xb6" "cs \xe2\x82\xac");
    WipeQueue queue;
    int serial = 0;
    for (const std::string& folder : {plain, wide, plain})
        for (int i = 0; i < 3; ++i) {
            const std::string path = folder + "/f" + std::to_string(serial++);
            WriteFile(path, Pattern(3000));
            queue.AddPath(wxString::FromUTF8(path));
        }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::string content = "not read";
    ASSERT_TRUE(KilledChild(
        state,
        [&] {
            RandomWiper().Wipe(&queue);
            if (::write(ready[1], "r", 1) == 1)
                ::pause();
        },
        [&](pid_t child) {
            char byte;
            if (::read(ready[0], &byte, 1) == 1) {
                content.clear();
                for (const std::string& name : Names(state + "/vorlix"))
                    content += ReadFile(state + "/vorlix/" + name);
            }
            ::kill(child, SIGKILL);
        }));
    EXPECT_EQ(content.find_first_not_of('\n'), std::string::npos) << content;
    EXPECT_TRUE(Names(plain).empty());
    EXPECT_TRUE(Names(wide).empty());
}

TEST(FreeSpaceWipe, AKillDuringTheFillIsUndoneByTheNextStart)
{
    LoopFilesystem fs;
    if (!fs.Usable())
        GTEST_SKIP() << "needs root, loop devices and the ext4 tools";
    TempDir dir;
    const std::string state = dir.Folder("state");
    ::mkdir(fs.Path("docs").c_str(), 0755);
    WriteSynced(fs.Path("docs/kept"), "kept");
    struct statvfs before {};
    ::sync();
    ::statvfs(fs.Path("").c_str(), &before);

    const std::string work = fs.Path(FreeSpaceWiper::workFolderName);
    ASSERT_TRUE(KilledChild(
        state,
        [&] {
            FreeSpaceWiper wiper(fs.Path("docs"), WipeMethod::Random);
            wiper.Run();
        },
        [&](pid_t child) {
            // Killed once the disk is mostly full.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            struct statvfs now {};
            do {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                ::statvfs(fs.Path("").c_str(), &now);
            } while (now.f_bfree > before.f_bfree / 4 && std::chrono::steady_clock::now() < deadline);
            ::kill(child, SIGKILL);
        }));
    ASSERT_TRUE(Exists(work));

    const auto start = std::chrono::steady_clock::now();
    StartProgram(state, dir);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(Exists(work));
    ::sync();
    struct statvfs after {};
    ::statvfs(fs.Path("").c_str(), &after);
    EXPECT_EQ(after.f_bfree, before.f_bfree);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(ReadFile(fs.Path("docs/kept")), "kept");
    EXPECT_TRUE(Names(state + "/vorlix").empty());
}
