// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/log.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "Main.h"
#include "QueueAdder.h"
#include "engine/FileOverwriter.h"
#include "engine/QueueIntake.h"
#include "engine/WipeQueue.h"
#include "engine/RandomWiper.h"
#include "support/QueuedPaths.h"
#include "support/ScopedMount.h"
#include "support/TempDir.h"

namespace {

struct Record {
    wxLogLevel level;
    wxString text;
    wxString file;
    wxString function;
};

// Keeps the log records made while it lives.
class LogCapture : public wxLog {
public:
    LogCapture() : previous(wxLog::SetActiveTarget(this)) {}
    ~LogCapture() override { wxLog::SetActiveTarget(previous); }
    std::vector<Record> records;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo& info) override
    {
        records.push_back({level, text, info.filename, info.func});
    }

private:
    wxLog* previous;
};

std::vector<wxString> Sorted(const WipeQueue& queue)
{
    std::vector<wxString> paths = QueuedPaths(queue);
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

TEST(FolderWalk, QueuesEveryFileAtEveryDepthWithHiddenOnesAndNoFolders)
{
    TempDir dir;
    dir.Folder("top");
    dir.Folder("top/.hidden-folder");
    dir.Folder("top/a");
    dir.Folder("top/a/b");
    dir.Folder("top/empty");
    dir.Folder("top/empty/also-empty");
    const std::vector<wxString> files{dir.File("top/.hidden-file"), dir.File("top/.hidden-folder/x"),
                                      dir.File("top/a/b/deep"), dir.File("top/a/one"), dir.File("top/plain")};
    WipeQueue queue;
    FileUtil::RecursiveAddFiles(dir.path + "/top", queue);
    EXPECT_EQ(Sorted(queue), files);

    // Walking the same folder again, even by another spelling, adds nothing.
    FileUtil::RecursiveAddFiles(dir.path + "/top/", queue);
    FileUtil::RecursiveAddFiles(dir.path + "/top", queue);
    EXPECT_EQ(queue.Count(), files.size());
    // Each folder's place is looked up once per walk, and each file gets its
    // own folder's; so through a link to the tree, too, nothing is new.
    ASSERT_EQ(::symlink("top", (dir.path + "/via").c_str()), 0);
    FileUtil::RecursiveAddFiles(dir.path + "/via", queue);
    EXPECT_EQ(queue.Count(), files.size());
    for (const QueueEntry& entry : queue.Snapshot())
        EXPECT_EQ(entry.folder + "/" + entry.name, entry.path);

    WipeQueue onlyEmpty;
    FileUtil::RecursiveAddFiles(dir.path + "/top/empty", onlyEmpty);
    EXPECT_EQ(onlyEmpty.Count(), 0u);
}

TEST(FolderWalk, NeverGoesThroughALinkInsideTheTreeSoAWipeLeavesTheirTargetsAlone)
{
    TempDir dir;
    dir.Folder("tree");
    dir.Folder("tree/sub");
    const wxString file = dir.File("tree/sub/file");
    dir.Folder("photos");
    const std::string family = dir.File("photos/family.jpg", "holiday");
    const std::string note = dir.File("note.txt", "keep");
    ASSERT_EQ(symlink((dir.path + "/tree").c_str(), (dir.path + "/tree/sub/loop").c_str()), 0);
    ASSERT_EQ(symlink("../photos", (dir.path + "/tree/photos-link").c_str()), 0);
    ASSERT_EQ(symlink(note.c_str(), (dir.path + "/tree/note-link").c_str()), 0);
    // The folder the user chose may itself be a link.
    ASSERT_EQ(symlink((dir.path + "/tree").c_str(), (dir.path + "/chosen").c_str()), 0);

    WipeQueue queue;
    FileUtil::RecursiveAddFiles(dir.path + "/chosen", queue);
    EXPECT_EQ(Sorted(queue), (std::vector<wxString>{dir.path + "/chosen/sub/file"}));

    RandomWiper().Wipe(&queue);
    EXPECT_FALSE(Exists(file.ToStdString()));
    EXPECT_EQ(ReadFile(family), "holiday");
    EXPECT_EQ(ReadFile(note), "keep");
    EXPECT_TRUE(Exists(dir.path + "/tree/photos-link") && Exists(dir.path + "/tree/note-link"));
}

TEST(FolderWalk, LogsAFolderItCannotOpenAndGoesOn)
{
    TempDir dir;
    LogCapture log;
    WipeQueue queue;
    FileUtil::RecursiveAddFiles(dir.path + "/missing", queue);
    EXPECT_EQ(queue.Count(), 0u);
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].level, wxLOG_Error);
    EXPECT_EQ(log.records[0].text, "Failed to open directory: " + dir.path + "/missing");
    EXPECT_EQ(log.records[0].file, "src/Main.cpp");
    EXPECT_EQ(log.records[0].function, "FileUtil::RecursiveAddFiles");
}

TEST(FolderWalk, SkipsAnUnreadableFolderAndKeepsWhatItFound)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    TempDir dir;
    chmod(dir.path.c_str(), 0755);
    dir.Folder("tree");
    dir.Folder("tree/closed");
    dir.Folder("tree/open");
    dir.File("tree/closed/secret");
    const std::string visible = dir.File("tree/open/visible");
    chmod((dir.path + "/tree/closed").c_str(), 0700);

    // Root reads every folder; the walk runs as nobody in a child process.
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        LogCapture log;
        WipeQueue queue;
        FileUtil::RecursiveAddFiles(dir.path + "/tree", queue);
        std::string report;
        for (const QueueEntry& entry : queue.Snapshot())
            report += "queued " + entry.path.ToStdString() + "\n";
        for (const Record& record : log.records)
            report += "logged " + record.text.ToStdString() + "\n";
        ssize_t written = write(result[1], report.data(), report.size());
        _exit(written == ssize_t(report.size()) ? 0 : 3);
    }
    close(result[1]);
    std::string report;
    char buffer[4096];
    ssize_t n;
    while ((n = read(result[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, size_t(n));
    close(result[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(report, "queued " + visible + "\nlogged Failed to open directory: " + dir.path + "/tree/closed\n");
}

// A proc or sysfs mount inside a tree holds the kernel's settings, not files:
// the walk never lists anything below it, and names the mount itself as one
// entry, which a run then refuses without opening it for writing.
TEST(FolderWalk, NeverEntersAMountOfTheKernelsOwn)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount proc and sysfs";
    TempDir dir;
    dir.Folder("tree");
    dir.Folder("tree/proc");
    dir.Folder("tree/sub");
    dir.Folder("tree/sub/sys");
    const std::string a = dir.File("tree/a"), b = dir.File("tree/sub/b");
    ScopedMount proc("proc", dir.Path("tree/proc"), "proc");
    ScopedMount sys("/sys", dir.Path("tree/sub/sys"), nullptr, MS_BIND);
    ASSERT_TRUE(proc.Mounted() && sys.Mounted());

    WipeQueue queue;
    FileUtil::RecursiveAddFiles(dir.Path("tree"), queue);
    EXPECT_EQ(Sorted(queue), (std::vector<wxString>{a, dir.Path("tree/proc"), b, dir.Path("tree/sub/sys")}));
    // Walked itself, it is that one entry too.
    WipeQueue inside;
    FileUtil::RecursiveAddFiles(dir.Path("tree/sub/sys"), inside);
    EXPECT_EQ(QueuedPaths(inside), (std::vector<wxString>{dir.Path("tree/sub/sys")}));
    for (const QueueEntry& entry : queue.Snapshot()) {
        const bool system = entry.path.EndsWith("proc") || entry.path.EndsWith("sys");
        EXPECT_EQ(FileOverwriter::Preview(entry).reason, system ? WipeFailure::SystemFile : WipeFailure::None)
            << entry.path;
    }
}

TEST(FolderWalk, TheCommandLineWalksFoldersOnlyAfterTheWalkOption)
{
    TempDir dir;
    dir.Folder("picked");
    dir.Folder("picked/sub");
    const std::string inside = dir.File("picked/sub/inside.txt"), loose = dir.File("loose.txt");
    dir.File("outside.txt");
    ASSERT_EQ(symlink(dir.Path().c_str(), dir.Path("picked/up").c_str()), 0);

    WipeQueue walked;
    EXPECT_TRUE(QueueAdder::AddCommandLine({"--walk", dir.Path("picked"), loose}, walked).empty());
    EXPECT_EQ(QueuedPaths(walked), (std::vector<wxString>{inside, loose}));

    // Without the option, and for a second one, every argument is one entry as before.
    WipeQueue plain;
    EXPECT_TRUE(QueueAdder::AddCommandLine({dir.Path("picked"), "--walk"}, plain).empty());
    ASSERT_EQ(QueuedPaths(plain).size(), 2u);
    EXPECT_EQ(QueuedPaths(plain)[0], dir.Path("picked"));
}

// Every door queues through one intake: a folder is walked, refused or kept
// as the door's rule says, and what it did not take is listed, links met
// inside a walk among it.
TEST(FolderWalk, TheIntakeFollowsTheDoorsRuleAndListsWhatItDidNotTake)
{
    TempDir dir;
    dir.Folder("tree");
    const std::string inside = dir.File("tree/inside.txt"), loose = dir.File("loose.txt");
    ASSERT_EQ(symlink(loose.c_str(), dir.Path("tree/link").c_str()), 0);

    WipeQueue walked;
    QueueIntake walk(walked);
    walk.Add({dir.Path("tree"), loose, dir.Path("tree/inside.txt/..")});
    EXPECT_EQ(QueuedPaths(walked), (std::vector<wxString>{inside, loose}));
    EXPECT_EQ(walk.Refused().links, (std::vector<wxString>{dir.Path("tree/link")}));
    EXPECT_EQ(walk.Refused().notOneFile, (std::vector<wxString>{dir.Path("tree/inside.txt/..")}));
    EXPECT_FALSE(walk.AllTaken());

    WipeQueue refusing;
    QueueIntake refuse(refusing, QueueIntake::Folders::Refuse);
    refuse.Add({dir.Path("tree"), loose});
    EXPECT_EQ(QueuedPaths(refusing), (std::vector<wxString>{loose}));
    EXPECT_EQ(refuse.Refused().folders, (std::vector<wxString>{dir.Path("tree")}));

    // A later start lists what it will hand over; the window takes a handed
    // path as it is, never walking it again.
    std::vector<wxString> handed;
    QueueIntake(handed).Add(dir.Path("tree"));
    EXPECT_EQ(handed, (std::vector<wxString>{inside}));
    WipeQueue window;
    QueueIntake(window).AddAsGiven(dir.Path("tree"));
    EXPECT_EQ(QueuedPaths(window), (std::vector<wxString>{dir.Path("tree")}));
}
