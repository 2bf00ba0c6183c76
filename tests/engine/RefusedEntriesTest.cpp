// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"

#include "engine/FileOverwriter.h"
#include "engine/RunReport.h"
#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "engine/SyncBatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

namespace {

// The step that failed, then why.
std::string Failure(const std::string& step, const std::string& path, WipeFailure reason,
                    const std::string& detail = "")
{
    return step + path + "\n" + RunReport::LogLine(FailedEntry{path, reason, detail}).ToStdString() + "\n";
}

std::string OpenFailure(const std::string& path, WipeFailure reason, const std::string& detail = "")
{
    return Failure("Failed to open file for writing: ", path, reason, detail);
}

}  // namespace

// Only a regular file with a single name is overwritten: anything else is
// reported as not opened, left exactly as it was, counted as failed, and the
// run goes on. A FIFO must not make the run wait for a reader.
TEST(RefusedEntries, AreReportedAndLeftUntouched)
{
    TempDir dir;
    WriteFile(dir.Path("target"), Pattern(700));
    ASSERT_EQ(::symlink(dir.Path("target").c_str(), dir.Path("link").c_str()), 0);
    WriteFile(dir.Path("linked"), Pattern(800));
    ASSERT_EQ(::link(dir.Path("linked").c_str(), dir.Path("other-name").c_str()), 0);
    ASSERT_EQ(::mkdir(dir.Path("folder").c_str(), 0755), 0);
    WriteFile(dir.Path("folder/inside"), Pattern(10));
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(dir.Path("fifo-with-reader").c_str(), 0644), 0);
    const int reader = ::open(dir.Path("fifo-with-reader").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    dir.Path("socket").copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A device node only root can make: the null device under another name.
    const bool haveDevice = ::mknod(dir.Path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

    std::vector<std::pair<std::string, WipeFailure>> refused = {
        {dir.Path("missing"), WipeFailure::NotFound},   {dir.Path("folder"), WipeFailure::NotRegular},
        {dir.Path("link"), WipeFailure::Link},          {dir.Path("linked"), WipeFailure::HardLinks},
        {dir.Path("fifo"), WipeFailure::NotRegular},    {dir.Path("fifo-with-reader"), WipeFailure::NotRegular},
        {dir.Path("socket"), WipeFailure::NotRegular}};
    if (haveDevice)
        refused.push_back({dir.Path("device"), WipeFailure::NotRegular});
    WipeQueue queue;
    for (bool dod : {false, true}) {
        SCOPED_TRACE(dod ? "DoDWiper" : "RandomWiper");
        WriteFile(dir.Path("plain"), Pattern(300));
        for (const auto& entry : refused)
            queue.AddPath(entry.first);
        queue.AddPath(dir.Path("plain"));
        RandomWiper random;
        DoDWiper threePass;
        Wiper& wiper = dod ? static_cast<Wiper&>(threePass) : random;

        const auto start = std::chrono::steady_clock::now();
        const RunResult run = RunOnFreshThread(wiper, queue);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

        std::string expectedErr;
        std::vector<wxString> expectedFailed;
        for (const auto& entry : refused) {
            expectedErr += OpenFailure(entry.first, entry.second);
            expectedFailed.push_back(entry.first);
        }
        EXPECT_EQ(run.err, expectedErr);
        EXPECT_EQ(run.failed, expectedFailed);
        EXPECT_TRUE(queue.IsEmpty());
        EXPECT_FALSE(Exists(dir.Path("plain")));
        EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), dod ? 900u : 300u);
        EXPECT_TRUE(Wiper::IsRunFinished());

        EXPECT_EQ(ReadFile(dir.Path("target")), Pattern(700));
        EXPECT_EQ(ReadFile(dir.Path("link")), Pattern(700));
        EXPECT_EQ(ReadFile(dir.Path("linked")), Pattern(800));
        EXPECT_EQ(ReadFile(dir.Path("other-name")), Pattern(800));
        EXPECT_EQ(ReadFile(dir.Path("folder/inside")), Pattern(10));
        for (const char* name : {"fifo", "fifo-with-reader", "socket"}) {
            EXPECT_TRUE(Exists(dir.Path(name))) << name;
        }
        if (haveDevice) {
            EXPECT_TRUE(Exists(dir.Path("device")));
        }
    }
    char nothing;
    EXPECT_LE(::read(reader, &nothing, 1), 0);  // nothing was written into the FIFO
    ::close(reader);
    ::close(sock);
}

// The kernel's permission checks, seen by a user who owns neither root's files
// nor, through root's rights, everything else.
TEST(RefusedEntries, ReadOnlyFileAndFileInReadOnlyFolderAsUnprivilegedUser)
{
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string writable = dir.Path("writable");
    const std::string locked = dir.Path("locked");
    ASSERT_EQ(::mkdir(writable.c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(locked.c_str(), 0777), 0);
    WriteFile(writable + "/read-only", Pattern(400));
    WriteFile(locked + "/file", Pattern(500));
    for (const std::string& path : {writable, locked, writable + "/read-only", locked + "/file"})
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), ::geteuid() == 0 ? 0 : -1);
    ASSERT_EQ(::chmod((writable + "/read-only").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((locked + "/file").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand the files to an unprivileged user";

    const int status = RunUnprivileged(
        [&] {
            WipeQueue queue;
            queue.AddPath(writable + "/read-only");
            queue.AddPath(locked + "/file");
            // The dry run finds both refusals without opening either for writing.
            const std::vector<QueueEntry> entries = queue.Snapshot();
            const FileOutcome readOnly = FileOverwriter::Preview(entries[0]);
            const FileOutcome inLocked = FileOverwriter::Preview(entries[1]);
            const bool previewed = readOnly.reason == WipeFailure::AccessDenied
                                   && readOnly.detail == "Permission denied"
                                   && inLocked.reason == WipeFailure::DeleteFailed
                                   && ReadFile(locked + "/file") == Pattern(500);
            Wiper::ResetRun();
            RandomWiper().Wipe(&queue);
            return static_cast<int>(Wiper::GetFailedPaths().size() * 10 + queue.Count()) + (previewed ? 100 : 0);
        },
        dir.Path("out"), dir.Path("err"));
    if (status == -1)
        GTEST_SKIP() << "could not drop privileges";

    EXPECT_EQ(status, 120);  // both previewed right, both failed, queue empty
    EXPECT_EQ(ReadFile(dir.Path("err")),
              OpenFailure(writable + "/read-only", WipeFailure::AccessDenied, "Permission denied")
                  + Failure("Failed to delete file: ", locked + "/file", WipeFailure::DeleteFailed,
                            "Permission denied"));
    EXPECT_EQ(ReadFile(writable + "/read-only"), Pattern(400));
    // Overwritten (the bytes are gone) but still there under its name.
    const std::string kept = ReadFile(locked + "/file");
    EXPECT_EQ(kept.size(), 500u);
    EXPECT_EQ(kept.find("kkkk"), std::string::npos);
}

// A file on a filesystem of the kernel's is a setting, not stored data: the
// dry run and the run refuse it before anything is opened for writing, and
// it keeps its value. Only the loopback's MTU is ever given to a real run.
TEST(RefusedEntries, SystemFilesAreNeverOpenedForWriting)
{
    const std::string mtu = "/sys/class/net/lo/mtu";
    if (!Exists(mtu))
        GTEST_SKIP() << "no loopback device in sysfs";
    const std::string before = ReadFile(mtu);
    WipeQueue queue;
    for (const char* path : {"/sys/class/net/lo/mtu", "/proc/sys/kernel/hostname", "/proc/self/status"})
        queue.AddPath(path);
    for (const QueueEntry& entry : queue.Snapshot())
        EXPECT_EQ(FileOverwriter::Preview(entry).reason, WipeFailure::SystemFile) << entry.path;

    WipeQueue one;
    one.AddPath(mtu);
    RandomWiper wiper;
    const RunResult run = RunOnFreshThread(wiper, one);
    EXPECT_EQ(run.err, OpenFailure(mtu, WipeFailure::SystemFile));
    EXPECT_EQ(run.failed, std::vector<wxString>{mtu});
    EXPECT_EQ(ReadFile(mtu), before);
}

// A write that fails leaves the file in place and the run going. The file is a
// sparse one beyond 4 GiB with data at both ends, which the counters must hold
// (its hole is not written); a file size limit makes the write past its first
// MiB fail.
TEST(RefusedEntries, FailedWriteKeepsAFileBeyondFourGiB)
{
    TempDir dir;
    const uint64_t size = (uint64_t(1) << 32) + 1500;
    const uint64_t data = (2 << 20) + 1500;
    const std::string big = dir.Path("big");
    {
        const std::string head = Pattern(2 << 20), tail = Pattern(1500);
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), off_t(1) << 32), ssize_t(tail.size()));
        ::close(fd);
    }
    WriteFile(dir.Path("after"), Pattern(100));
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(big.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.Path("after").c_str(), 0666), 0);

    const uint64_t limit = 1 << 20;
    // Processed bytes and total in the exit status as: processed in MiB * 4
    // + (total correct) * 2 + (after deleted).
    const int status = RunUnprivileged(
        [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit fileSize{limit, limit};
            if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
                return 99;
            WipeQueue queue;
            queue.AddPath(wxString::FromUTF8(big));
            queue.AddPath(wxString::FromUTF8(dir.Path("after")));
            RandomWiper wiper;
            Wiper::ResetRun();
            wiper.Wipe(&queue);
            const bool totalRight = wiper.GetTotalBytes().GetValue() == data + 100;
            const bool afterGone = !Exists(dir.Path("after"));
            const uint64_t processed = wiper.GetBytesProcessed().GetValue();
            if (processed != limit + 100 || Wiper::GetFailedPaths().size() != 1)
                return 98;
            return int(totalRight) * 2 + int(afterGone);
        },
        dir.Path("out"), dir.Path("err"));
    if (status == -1)
        GTEST_SKIP() << "could not drop privileges";

    EXPECT_EQ(status, 3);
    EXPECT_EQ(ReadFile(dir.Path("out")), "Total file size to be wiped: 4294968896 bytes\n"
                                         "[PseudoRandom] Secure file deletion completed.\n");
    EXPECT_EQ(ReadFile(dir.Path("err")),
              Failure("Failed to overwrite file: ", big, WipeFailure::OverwriteFailed, "File too large"));
    struct stat st;
    ASSERT_EQ(::stat(big.c_str(), &st), 0);
    EXPECT_EQ(uint64_t(st.st_size), size);
}

// The wipe reaches the folder where a queued file was when it was queued, never
// through a link put in place of that folder since: before the run, between two
// files, or between the passes over one file.
TEST(RefusedEntries, AFolderSwappedForALinkLeadsToNoOtherFile)
{
    TempDir dir;
    dir.Folder("q");
    dir.Folder("other");
    const auto swapForLink = [&dir] {
        ASSERT_EQ(::rename(dir.Path("q/sub").c_str(), dir.Path("q/old").c_str()), 0);
        ASSERT_EQ(::symlink("../other", dir.Path("q/sub").c_str()), 0);
    };
    const auto reset = [&dir] {
        std::system(("rm -rf '" + dir.Path("q") + "'/* '" + dir.Path("other") + "'/*").c_str());
        dir.Folder("q/sub");
        for (const char* name : {"secret.txt", "second.txt"}) {
            WriteFile(dir.Path(std::string("q/sub/") + name), Pattern(3000));
            WriteFile(dir.Path(std::string("other/") + name), "someone else's " + std::string(name));
        }
    };
    const auto queueBoth = [&dir](WipeQueue& queue) {
        queue.AddPath(dir.Path("q/sub/secret.txt"));
        queue.AddPath(dir.Path("q/sub/second.txt"));
    };
    const auto othersUntouched = [&dir] {
        EXPECT_EQ(ReadFile(dir.Path("other/secret.txt")), "someone else's secret.txt");
        EXPECT_EQ(ReadFile(dir.Path("other/second.txt")), "someone else's second.txt");
    };

    {
        SCOPED_TRACE("swapped before the run");
        reset();
        WipeQueue queue;
        queueBoth(queue);
        swapForLink();
        RandomWiper wiper;
        RunOnFreshThread(wiper, queue);
        othersUntouched();
        const std::vector<FailedEntry> failures = Wiper::GetFailures();
        ASSERT_EQ(failures.size(), 2u);
        EXPECT_EQ(failures[0].reason, WipeFailure::Changed);
        EXPECT_EQ(ReadFile(dir.Path("q/old/secret.txt")), Pattern(3000));
    }
    {
        SCOPED_TRACE("swapped between passes over one file, and before the next file");
        reset();
        WipeQueue queue;
        queueBoth(queue);
        bool swapped = false;
        AfterPassHook hook([&](const wxString&) {
            if (!swapped) {
                swapped = true;
                swapForLink();
            }
        });
        DoDWiper wiper;
        RunOnFreshThread(wiper, queue);
        othersUntouched();
        // The file already open was wiped and deleted where it really was.
        EXPECT_FALSE(Exists(dir.Path("q/old/secret.txt")));
        EXPECT_EQ(ReadFile(dir.Path("q/old/second.txt")), Pattern(3000));
        const std::vector<FailedEntry> failures = Wiper::GetFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].path, dir.Path("q/sub/second.txt"));
        EXPECT_EQ(failures[0].reason, WipeFailure::Changed);
    }
}

// A local attacker keeps exchanging the queued name with a link to a victim
// and with a second name of the victim while files are wiped there. Whatever
// the timing, the victim is never opened, written or deleted.
TEST(RefusedEntries, ANameSwappedUnderTheWipeNeverReachesAnotherFile)
{
    TempDir dir;
    dir.Folder("q");
    const std::string victim = dir.File("victim", "the victim's own bytes");
    const std::string name = dir.Path("q/f"), link = dir.Path("q/link"), hard = dir.Path("q/hard");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, victim.c_str(), IN_OPEN | IN_MODIFY | IN_DELETE_SELF), 0);

    std::atomic<bool> swapping{false}, done{false};
    std::thread attacker([&] {
        unsigned turn = 0;
        while (!done) {
            if (!swapping) {
                std::this_thread::yield();
                continue;
            }
            ::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, (++turn % 2 ? link : hard).c_str(), RENAME_EXCHANGE);
        }
    });
    int rounds = 0, wiped = 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
         std::chrono::steady_clock::now() < end; ++rounds) {
        for (const std::string& path : {name, link, hard})
            ::unlink(path.c_str());
        WriteFile(name, Pattern(4096));
        ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
        ASSERT_EQ(::link(victim.c_str(), hard.c_str()), 0);
        WipeQueue queue;
        queue.AddPath(name);
        swapping = true;
        Wiper::ResetRun();
        RandomWiper().Wipe(&queue);
        swapping = false;
        wiped += Wiper::GetFailures().empty();
        // Whatever the names hold now, the victim kept both its names (the
        // setup's own link and unlink are the only changes to its count).
        struct stat st;
        ASSERT_EQ(::stat(victim.c_str(), &st), 0);
        ASSERT_EQ(st.st_nlink, 2u) << "round " << rounds;
    }
    done = true;
    attacker.join();
    inotify_event events[16];
    EXPECT_LE(::read(watch, events, sizeof events), 0) << "the victim was opened or changed";
    ::close(watch);
    EXPECT_EQ(ReadFile(victim), "the victim's own bytes");
    EXPECT_GT(rounds, 10);
    EXPECT_GT(wiped, 0);  // the swaps did not simply stop every wipe
}

// One folder is held open for the files in it that follow each other, and
// used again only while its path still leads to it: a file in it swapped for a
// link is refused alone, and a folder moved away with a new one put in its
// place is not reached through what was held.
TEST(RefusedEntries, AFolderHeldForSeveralFilesIsCheckedForEach)
{
    TempDir dir;
    dir.Folder("other");
    const std::vector<std::string> names = {"a", "b", "c"};
    const auto reset = [&] {
        std::system(("rm -rf '" + dir.Path("q") + "' '" + dir.Path("moved") + "' '" + dir.Path("other") + "'/*").c_str());
        dir.Folder("q");
        for (const std::string& name : names) {
            WriteFile(dir.Path("q/" + name), Pattern(2000));
            WriteFile(dir.Path("other/" + name), "someone else's " + name);
        }
    };
    const auto run = [&](const std::function<void()>& afterFirst) {
        WipeQueue queue;
        for (const std::string& name : names)
            queue.AddPath(dir.Path("q/" + name));
        bool first = true;
        AfterPassHook hook([&](const wxString&) {
            if (std::exchange(first, false))
                afterFirst();
        });
        RandomWiper wiper;
        RunOnFreshThread(wiper, queue);
        for (const std::string& name : names) {
            EXPECT_EQ(ReadFile(dir.Path("other/" + name)), "someone else's " + name);
        }
        return Wiper::GetFailures();
    };

    {
        SCOPED_TRACE("the second file swapped for a link");
        reset();
        const std::vector<FailedEntry> failures = run([&] {
            ASSERT_EQ(::unlink(dir.Path("q/b").c_str()), 0);
            ASSERT_EQ(::symlink("../other/b", dir.Path("q/b").c_str()), 0);
        });
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].path, dir.Path("q/b"));
        EXPECT_EQ(failures[0].reason, WipeFailure::Link);
        EXPECT_FALSE(Exists(dir.Path("q/a")));
        EXPECT_FALSE(Exists(dir.Path("q/c")));
    }
    {
        SCOPED_TRACE("the folder moved away and another put in its place");
        reset();
        const std::vector<FailedEntry> failures = run([&] {
            ASSERT_EQ(::rename(dir.Path("q").c_str(), dir.Path("moved").c_str()), 0);
            dir.Folder("q");
            WriteFile(dir.Path("q/b"), Pattern(2000));
        });
        // The path names the new folder now: its b is wiped, its missing c is
        // not found, and the moved files are left as they are.
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].path, dir.Path("q/c"));
        EXPECT_EQ(failures[0].reason, WipeFailure::NotFound);
        EXPECT_FALSE(Exists(dir.Path("q/b")));
        EXPECT_FALSE(Exists(dir.Path("moved/a")));
        EXPECT_EQ(ReadFile(dir.Path("moved/b")), Pattern(2000));
        EXPECT_EQ(ReadFile(dir.Path("moved/c")), Pattern(2000));
    }
}

// A run over files in many folders, in any order, keeps no more than one
// folder open at a time, besides those of the small files waiting for their
// sync: a bounded few, however many folders there are.
TEST(RefusedEntries, FilesInManyFoldersKeepOneFolderOpen)
{
    const auto openCount = [] {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            (void)entry;
            ++count;
        }
        return count;
    };
    TempDir dir;
    WipeQueue queue;
    constexpr int folders = 300;
    for (int i = 0; i < folders; ++i)
        dir.Folder("d" + std::to_string(i));
    // Folder after folder, twice: the run never meets the same folder twice in a row.
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < folders; ++i)
            queue.AddPath(dir.File("d" + std::to_string(i) + "/f" + std::to_string(round), Pattern(100)));

    const size_t before = openCount();
    size_t first = 0, most = 0;
    AfterPassHook hook([&](const wxString&) {
        const size_t count = openCount();
        first = first ? first : count;
        most = std::max(most, count);
    });
    RandomWiper wiper;
    RunOnFreshThread(wiper, queue);
    EXPECT_TRUE(Wiper::GetFailures().empty());
    EXPECT_EQ(Wiper::GetTotals().filesWiped, 2u * folders);
    // Besides the waiting files and their folders, only the crash record's
    // state file, opened at the first deletion, is added to what the first
    // file's pass had open; it alone stays.
    EXPECT_LE(most, first + 2 * SyncBatch::most + 1);
    EXPECT_LE(openCount(), before + 1);
}
