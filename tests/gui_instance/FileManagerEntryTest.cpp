// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MainFrame.h"
#include "platform/NativePath.h"
#include "support/GuiHarness.h"
#include "support/Process.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

const std::string entries = VORLIX_SOURCE_DIR "/dist/file-managers/";

// Runs the entry's command for the selection as its file manager expands it,
// with the built program first on the PATH.
ProcessResult Launch(const std::string& kind, const std::string& entry, const std::vector<std::string>& selection,
                     const std::string& cwd = "")
{
    std::string bin = VORLIX_BINARY;
    bin.erase(bin.rfind('/'));
    std::vector<std::string> command{"/usr/bin/env", "PATH=" + bin + ":/usr/bin:/bin", "/usr/bin/python3",
                                     VORLIX_SOURCE_DIR "/tests/support/launch_entry.py", kind, entries + entry};
    command.insert(command.end(), selection.begin(), selection.end());
    return RunProcess(command, cwd, 30000, [] { wxTheApp->Yield(true); });
}

}  // namespace

// Names a careless expansion would split, quote or re-encode.
TEST(FileManagerEntries, EachQueuesExactlyTheThreeSelectedFiles)
{
    ASSERT_NE(mainFrame, nullptr);
    for (const auto& [kind, entry] : std::vector<std::pair<std::string, std::string>>{
             {"kio", "vorlix-wipe.kio.desktop"},
             {"fma", "vorlix-wipe.fma.desktop"},
             {"nemo", "vorlix-wipe.nemo_action"},
             {"nautilus", "vorlix_wipe.py"}}) {
        SCOPED_TRACE(kind);
        mainFrame->wipeQueue.Clear();
        TempDir dir;
        const std::vector<std::string> selection{dir.File("two  spaces.txt"), dir.File("it's $HOME \"x\".txt"),
                                                 dir.File("gr\xC3\xBC\xC3\x9F" "e \xE6\x96\x87\xE4\xBB\xB6.txt")};
        dir.File("not selected.txt");
        const ProcessResult launched = Launch(kind, entry, selection);
        EXPECT_EQ(launched.status, 0) << launched.err;
        EXPECT_TRUE(PumpUntil([] { return mainFrame->wipeQueue.Count() >= 3; }, 10000));
        Pump(300);
        std::vector<wxString> queued = QueuedPaths(mainFrame->wipeQueue);
        std::sort(queued.begin(), queued.end());
        std::vector<wxString> wanted;
        for (const std::string& path : selection)
            wanted.push_back(wxString::FromUTF8(path));
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(queued, wanted);
    }
    mainFrame->wipeQueue.Clear();
}

// Names a shell would run or an option parser would take: each is queued as
// the file it names and nothing else happens, in every entry and the
// application's own (which opens files with the window).
TEST(FileManagerEntries, NamesThatLookLikeCommandsOrOptionsAreQueuedAsFilesAndRunNothing)
{
    ASSERT_NE(mainFrame, nullptr);
    for (const auto& [kind, entry] : std::vector<std::pair<std::string, std::string>>{
             {"app", "../org.vorlix.Vorlix.desktop"},
             {"kio", "vorlix-wipe.kio.desktop"},
             {"fma", "vorlix-wipe.fma.desktop"},
             {"nemo", "vorlix-wipe.nemo_action"},
             {"nautilus", "vorlix_wipe.py"}}) {
        SCOPED_TRACE(kind);
        mainFrame->wipeQueue.Clear();
        TempDir dir;
        const std::vector<std::string> selection{
            dir.File("$(touch ran-1)"),  dir.File("`touch ran-2`"),     dir.File("a;touch ran-3&b|c>d"),
            dir.File("both 'q' \"k\""), dir.File("new\nline"),        dir.File("-rf"),
            dir.File("--walk"),          dir.File("not utf-8 \xFF\xC3("), dir.File("%F %u \\n")};
        const ProcessResult launched = Launch(kind, entry, selection, dir.Path());
        EXPECT_EQ(launched.status, 0) << launched.err;
        EXPECT_TRUE(PumpUntil([&] { return mainFrame->wipeQueue.Count() >= selection.size(); }, 10000));
        Pump(300);
        std::vector<wxString> queued = QueuedPaths(mainFrame->wipeQueue), wanted;
        for (const std::string& path : selection)
            wanted.push_back(NativePath::Decode(path));
        std::sort(queued.begin(), queued.end());
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(queued, wanted);
        for (const char* ran : {"ran-1", "ran-2", "ran-3"})
            EXPECT_FALSE(Exists(dir.Path(ran))) << ran;
        for (const std::string& path : selection)
            EXPECT_TRUE(Exists(path)) << path;
    }
    mainFrame->wipeQueue.Clear();
}

TEST(FileManagerEntries, ASelectedFolderQueuesTheFilesInside)
{
    ASSERT_NE(mainFrame, nullptr);
    mainFrame->wipeQueue.Clear();
    TempDir dir;
    dir.Folder("chosen folder");
    dir.Folder("chosen folder/d\xC3\xA9" "eper");
    const std::string inside = dir.File("chosen folder/d\xC3\xA9" "eper/inside.txt");
    const ProcessResult launched = Launch("nemo", "vorlix-wipe.nemo_action", {dir.Path("chosen folder")});
    EXPECT_EQ(launched.status, 0) << launched.err;
    EXPECT_TRUE(PumpUntil([] { return mainFrame->wipeQueue.Count() >= 1; }, 10000));
    Pump(300);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), std::vector<wxString>{wxString::FromUTF8(inside)});
    mainFrame->wipeQueue.Clear();
}
