// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"
#include "engine/FreeSpaceRun.h"
#include "engine/FreeSpaceWiper.h"
#include "engine/Wiper.h"
#include "support/LoopFilesystem.h"
#include "support/ScopedMount.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A free-space wipe on a real ext4 filesystem, read back from its raw image:
// what was deleted before it is gone outside the journal, and nothing else is
// touched.

namespace {

std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) != 0;)
            text.append(chunk, n);
        ::pclose(pipe);
    }
    return text;
}

// The byte ranges of the journal's blocks (inode 8) in an unmounted ext4 image.
std::vector<std::pair<size_t, size_t>> JournalRanges(const std::string& image)
{
    std::istringstream header(Output("dumpe2fs -h '" + image + "'"));
    size_t blockSize = 0;
    for (std::string line; std::getline(header, line);)
        if (line.rfind("Block size:", 0) == 0)
            blockSize = std::stoul(line.substr(11));
    std::vector<std::pair<size_t, size_t>> ranges;
    std::istringstream blocks(Output("debugfs -R 'blocks <8>' '" + image + "'"));
    for (size_t block; blocks >> block;)
        ranges.emplace_back(block * blockSize, (block + 1) * blockSize);
    return ranges;
}

// Where needle occurs in haystack: {outside the journal, inside it}.
std::pair<size_t, size_t> Occurrences(const std::string& haystack, const std::string& needle,
                                      const std::vector<std::pair<size_t, size_t>>& journal)
{
    std::pair<size_t, size_t> count{0, 0};
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) {
        bool inJournal = false;
        for (const auto& range : journal)
            inJournal = inJournal || (at >= range.first && at < range.second);
        ++(inJournal ? count.second : count.first);
    }
    return count;
}

std::string Unique(const std::string& name)
{
    std::random_device entropy;
    std::ostringstream text;
    text << "<vorlix-marker " << name << ' ' << std::hex << entropy() << entropy() << '>';
    return text.str();
}

std::string Repeat(const std::string& unit, size_t size)
{
    std::string content;
    while (content.size() < size)
        content += unit;
    return content;
}

struct Space {
    uint64_t blocks, inodes, blockSize;
    bool operator==(const Space& other) const { return blocks == other.blocks && inodes == other.inodes; }
};

Space FreeOn(const std::string& path)
{
    ::sync();
    struct statvfs vfs {};
    ::statvfs(path.c_str(), &vfs);
    return {vfs.f_bfree, vfs.f_ffree, vfs.f_frsize};
}

FreeSpaceWiper::Result RunOnThread(FreeSpaceWiper& wiper)
{
    Wiper::ResetRun();  // a stop left by another test would end it at once
    std::thread([&] { wiper.Run(); }).join();
    EXPECT_TRUE(wiper.IsFinished());
    return wiper.GetResult();
}

void ExpectNothingOfItsOwn(const LoopFilesystem& fs)
{
    EXPECT_FALSE(Exists(fs.Path(FreeSpaceWiper::workFolderName)));
    EXPECT_FALSE(Exists(fs.Path("docs/") + FreeSpaceWiper::workFolderName));
    EXPECT_EQ(Output("ls -A '" + fs.Path("") + "'"), "docs\nlost+found\n");
}

}  // namespace

class FreeSpaceWipeWith : public testing::TestWithParam<WipeMethod> {};

INSTANTIATE_TEST_SUITE_P(FreeSpaceWipe, FreeSpaceWipeWith,
                         testing::Values(WipeMethod::Random, WipeMethod::DoD));

TEST_P(FreeSpaceWipeWith, NoDeletedMarkerLeftOutsideTheJournalAndEveryOtherFileKept)
{
    LoopFilesystem fs;
    if (!fs.Usable())
        GTEST_SKIP() << "needs root, loop devices and the ext4 tools";
    ASSERT_EQ(::mkdir(fs.Path("docs").c_str(), 0755), 0);

    // Large and small files, deleted with a plain unlink before the wipe.
    struct File {
        std::string path, unit, content;
    };
    std::vector<File> deleted, kept;
    for (int i = 0; i < 8; ++i) {
        const std::string name = (i % 2 ? "docs/deleted-" : "deleted-") + std::to_string(i);
        const std::string unit = Unique(name);
        deleted.push_back({fs.Path(name), unit, Repeat(unit, i < 4 ? 100000 : 2000)});
    }
    for (int i = 0; i < 4; ++i) {
        const std::string name = "docs/kept-" + std::to_string(i);
        const std::string unit = Unique(name);
        kept.push_back({fs.Path(name), unit, Repeat(unit, i < 2 ? 100000 : 2000)});
    }
    for (const File& file : deleted)
        WriteSynced(file.path, file.content);
    for (const File& file : kept)
        WriteSynced(file.path, file.content);
    for (const File& file : deleted)
        ASSERT_EQ(::unlink(file.path.c_str()), 0);
    const Space before = FreeOn(fs.Path(""));

    FreeSpaceWiper::Check check;
    wxString detail;
    ASSERT_TRUE(FreeSpaceWiper::Inspect(fs.Path("docs"), check, detail)) << detail;
    EXPECT_EQ(check.filesystem.type, "ext4");
    EXPECT_EQ(check.filesystem.root + "/", fs.Path(""));
    EXPECT_TRUE(check.refusal.empty());
    EXPECT_FALSE(check.note.empty());

    // ext4's own reserve is never lowered, even by root: root's run writes
    // the blocks it keeps back with the filesystem held still.
    std::string device = Output("basename \"$(findmnt -no SOURCE '" + fs.Path("") + "')\"");
    device.erase(device.find_last_not_of('\n') + 1);
    const std::string reserveFile = "/sys/fs/ext4/" + device + "/reserved_clusters";
    const std::string reserve = Output("cat '" + reserveFile + "'");
    ASSERT_NE(reserve, "");
    std::atomic<bool> reserveChanged{false}, running{true};
    std::thread watch([&] {
        while (running) {
            if (Output("cat '" + reserveFile + "'") != reserve)
                reserveChanged = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    FreeSpaceWiper wiper(fs.Path("docs"), GetParam());
    const FreeSpaceWiper::Result result = RunOnThread(wiper);
    running = false;
    watch.join();
    EXPECT_FALSE(reserveChanged);
    EXPECT_EQ(result.failure, "");
    EXPECT_FALSE(result.stopped);
    const unsigned passes = GetParam() == WipeMethod::DoD ? 3 : 1;
    EXPECT_GE(result.bytesWritten, before.blocks * before.blockSize * 9 / 10 * passes);
    EXPECT_GT(result.keptBackWritten, 0u);
    EXPECT_EQ(result.unreachedBytes, 0u);
    EXPECT_EQ(FreeOn(fs.Path("")), before);
    ExpectNothingOfItsOwn(fs);

    ASSERT_TRUE(fs.Unmount());
    const std::string raw = ReadFile(fs.Image());
    const auto journal = JournalRanges(fs.Image());
    ASSERT_FALSE(journal.empty());
    size_t markersInJournal = 0, namesInJournal = 0;
    uint64_t bytesLeft = 0;
    for (const File& file : deleted) {
        const auto found = Occurrences(raw, file.unit, journal);
        // Only the free space the filesystem kept back can still hold them.
        bytesLeft += found.first * file.unit.size();
        markersInJournal += found.second;
        const std::string name = file.path.substr(file.path.rfind('/') + 1);
        namesInJournal += Occurrences(raw, name, journal).second;
    }
    for (const File& file : kept)
        EXPECT_GT(Occurrences(raw, file.unit, journal).first, 0u) << file.path;
    const std::string listed = Output("debugfs -R 'ls -d /' '" + fs.Image() + "'")
                               + Output("debugfs -R 'ls -d /docs' '" + fs.Image() + "'");
    size_t namesListed = 0;
    for (const File& file : deleted)
        namesListed += listed.find("<" + file.path.substr(file.path.rfind('/') + 1) + ">") != std::string::npos;
    EXPECT_LE(bytesLeft, result.unreachedBytes);
    // The run clears the journal: no older copy of a folder block with their
    // names, nor of their data, is left in it.
    EXPECT_EQ(namesInJournal, 0u);
    EXPECT_EQ(markersInJournal, 0u);
    std::cout << "left outside the journal: " << bytesLeft << " bytes of deleted markers, "
              << result.unreachedBytes << " bytes unreached; left in the journal: " << markersInJournal
              << " marker copies, " << namesInJournal
              << " deleted names; deleted names still in their folders: " << namesListed << " of "
              << deleted.size() << std::endl;

    ASSERT_TRUE(fs.Mount());
    for (const File& file : kept)
        EXPECT_EQ(ReadFile(file.path), file.content) << file.path;
}

TEST(FreeSpaceWipe, AStoppedRunLeavesNothingOfItsOwnAndAnEarlierRunsLeftoversGo)
{
    LoopFilesystem fs;
    if (!fs.Usable())
        GTEST_SKIP() << "needs root, loop devices and the ext4 tools";
    ASSERT_EQ(::mkdir(fs.Path("docs").c_str(), 0755), 0);
    WriteSynced(fs.Path("docs/kept"), "kept");
    const Space before = FreeOn(fs.Path(""));
    // What a run killed half-way leaves.
    const std::string leftover = fs.Path(FreeSpaceWiper::workFolderName);
    ASSERT_EQ(::mkdir(leftover.c_str(), 0700), 0);
    WriteSynced(leftover + "/fill-000000", std::string(8 << 20, 'x'));

    FreeSpaceWiper wiper(fs.Path("docs"), WipeMethod::DoD);
    Wiper::ResetRun();
    std::thread run([&] { wiper.Run(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (wiper.BytesWritten() < (16u << 20) && !wiper.IsFinished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    wiper.RequestStop();
    run.join();

    const FreeSpaceWiper::Result result = wiper.GetResult();
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.failure, "");
    EXPECT_EQ(result.leftoversRemoved, 1u);
    EXPECT_LT(result.bytesWritten, wiper.TotalBytes());
    ExpectNothingOfItsOwn(fs);
    EXPECT_EQ(FreeOn(fs.Path("")), before);
    EXPECT_EQ(ReadFile(fs.Path("docs/kept")), "kept");
}

TEST(FreeSpaceWipe, RefusesACopyOnWriteFilesystemAndWritesNothing)
{
    LoopFilesystem btrfs("btrfs", "128M");
    if (!btrfs.Usable())
        GTEST_SKIP() << "needs root, loop devices and mkfs.btrfs";
    FreeSpaceWiper::Check check;
    wxString detail;
    ASSERT_TRUE(FreeSpaceWiper::Inspect(btrfs.Path(""), check, detail));
    EXPECT_TRUE(check.refusal.Contains("btrfs")) << check.refusal;

    FreeSpaceWiper wiper(btrfs.Path(""), WipeMethod::Random);
    const FreeSpaceWiper::Result result = RunOnThread(wiper);
    EXPECT_EQ(result.failure, check.refusal);
    EXPECT_EQ(result.bytesWritten, 0u);
    EXPECT_FALSE(Exists(btrfs.Path(FreeSpaceWiper::workFolderName)));
}

// A filesystem kept in memory holds nothing after a restart, and filling it
// would fill the memory; one of the kernel's holds no files at all. Both are
// refused before anything is written (the tmpfs is a small one of the test's
// own, so that a fill would stop at it).
TEST(FreeSpaceWipe, RefusesMemoryAndTheKernelsOwnFilesystems)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a tmpfs";
    TempDir dir;
    const std::string memory = dir.Folder("memory");
    ScopedMount tmpfs("tmpfs", memory, "tmpfs");
    ASSERT_TRUE(tmpfs.Mounted());
    FreeSpaceWiper::Check check;
    wxString detail;
    ASSERT_TRUE(FreeSpaceWiper::Inspect(memory, check, detail)) << detail;
    EXPECT_TRUE(check.refusal.Contains("tmpfs filesystem kept in memory")) << check.refusal;
    FreeSpaceWiper wiper(memory, WipeMethod::Random);
    const FreeSpaceWiper::Result result = RunOnThread(wiper);
    EXPECT_EQ(result.failure, check.refusal);
    EXPECT_EQ(result.bytesWritten, 0u);
    EXPECT_FALSE(Exists(memory + "/" + FreeSpaceWiper::workFolderName));

    ASSERT_TRUE(FreeSpaceWiper::Inspect("/proc/sys", check, detail)) << detail;
    EXPECT_TRUE(check.refusal.Contains("shows its own settings")) << check.refusal;
}

// On flash the space the fill files took is discarded once they are deleted:
// of the image, every block of it taken on tmpfs before, little more than the
// filesystem's own part keeps its blocks.
TEST(FreeSpaceWipe, OnFlashTheFillFilesSpaceIsDiscarded)
{
    LoopFilesystem fs("ext4", "64M", "-b 4096 -E nodiscard,lazy_itable_init=0,lazy_journal_init=1", "/dev/shm",
                      true);
    if (!fs.Usable())
        GTEST_SKIP() << "needs root, loop devices and /dev/shm";
    ASSERT_TRUE(fs.SetRotational(false));
    if (!fs.TakesDiscards())
        GTEST_SKIP() << "this kernel's loop devices take no discards";
    ASSERT_EQ(::mkdir(fs.Path("docs").c_str(), 0755), 0);
    const Space free = FreeOn(fs.Path(""));
    const uint64_t before = fs.ImageAllocated();
    FreeSpaceWiper::Check check;
    wxString detail;
    ASSERT_TRUE(FreeSpaceWiper::Inspect(fs.Path("docs"), check, detail)) << detail;
    const wxString question = FreeSpaceRun::Question(fs.Path("docs"), check, WipeMethod::Random);
    EXPECT_TRUE(question.Contains("This is flash storage")) << question;

    FreeSpaceWiper wiper(fs.Path("docs"), WipeMethod::Random);
    const FreeSpaceWiper::Result result = RunOnThread(wiper);
    EXPECT_EQ(result.failure, "");
    EXPECT_EQ(result.medium, StorageMedium::Kind::Flash);
    EXPECT_EQ(result.discard, Discard::Outcome::Discarded);
    const wxString summary = FreeSpaceRun::Summary(result);
    EXPECT_TRUE(summary.Contains("Vorlix asked the drive to discard the wiped blocks (")) << summary;
    const uint64_t after = fs.ImageAllocated();
    std::cout << "image allocated " << before << " -> " << after << " bytes, " << result.discardedBytes
              << " of " << free.blocks * free.blockSize << " free discarded" << std::endl;
    EXPECT_GE(result.discardedBytes, free.blocks * free.blockSize * 9 / 10);
    // What still takes room is the used part, the folders that pushed the
    // journal round among it, and less than a tenth of the free space.
    EXPECT_LE(after, (uint64_t(64) << 20) - free.blocks * free.blockSize * 9 / 10);
    EXPECT_EQ(FreeOn(fs.Path("")), free);
}
