// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"
#include "engine/WipeQueue.h"
#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "engine/RunReport.h"
#include "engine/Wiper.h"
#include "platform/InPlaceFile.h"
#include "platform/StorageMedium.h"
#include "support/LoopFilesystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

// What is left on the device after a wipe, read from the raw image of a real
// ext4 filesystem: nothing of the wiped files, everything of the others.

namespace {

size_t CountOccurrences(const std::string& haystack, const std::string& needle)
{
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

// 100 KB of one short text, unique to this run, that occurs nowhere else.
std::string Marker(const std::string& name, std::string& unit)
{
    std::random_device entropy;
    std::ostringstream text;
    text << "<vorlix-marker " << name << ' ' << std::hex << entropy() << entropy() << '>';
    unit = text.str();
    std::string content;
    while (content.size() < 100 * 1000)
        content += unit;
    return content;
}

std::string WipeOnFreshThread(Wiper& wiper, WipeQueue& queue)
{
    Wiper::ResetRun();
    std::thread([&] { wiper.Wipe(&queue); }).join();
    std::string failed;
    for (const wxString& path : Wiper::GetFailedPaths())
        failed += path.ToStdString() + "\n";
    return failed;
}

// Appends content and pushes it to the device, so that only an overwrite can
// take it off the disk.
void AppendSynced(const std::string& path, const std::string& content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}

// The RandomWiper stream from `skip` on, if a seed between from and to gives
// content; a message otherwise.
std::string MatchingRun(const std::string& content, time_t from, time_t to, size_t skip = 0)
{
    for (time_t t = from; t <= to; ++t) {
        if (RandomBytes(static_cast<uint32_t>(t), skip, content.size()) == content)
            return content;
    }
    return "no seed of the run gives this content";
}

// The index-th random block of an unseeded run, repeated by file offset.
std::string RepeatedBlock(size_t index, size_t n)
{
    const std::string block = RandomBytes(1, index * 1024, 1024);
    std::string content;
    while (content.size() < n)
        content += block;
    content.resize(n);
    return content;
}

// The stretches of the open file fd that hold data, as the filesystem tells.
std::vector<std::pair<off_t, off_t>> DataRanges(int fd)
{
    std::vector<std::pair<off_t, off_t>> ranges;
    for (off_t at = 0;;) {
        const off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0)
            break;
        at = ::lseek(fd, data, SEEK_HOLE);
        ranges.emplace_back(data, at);
    }
    return ranges;
}

}  // namespace

TEST(Forensic, WipedFilesLeaveNoTraceAndOthersKeepTheirBytes)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "skipped: mounting a loop device needs root";
    LoopFilesystem fs;
    if (!fs.Usable())
        GTEST_SKIP() << "skipped: no loop device or ext4 tools here";

    struct File {
        std::string name;
        std::string unit;
        std::string content;
    };
    std::vector<File> wiped;
    for (const char* name : {"random-1", "random-2", "dod-1", "dod-2"}) {
        File file{name, "", ""};
        file.content = Marker(name, file.unit);
        wiped.push_back(file);
    }
    std::vector<File> kept;
    for (const char* name : {"beside", "link-target", "linked"}) {
        File file{name, "", ""};
        file.content = Marker(name, file.unit);
        kept.push_back(file);
    }
    for (const File& file : wiped)
        WriteSynced(fs.Path(file.name), file.content);
    for (const File& file : kept)
        WriteSynced(fs.Path(file.name), file.content);
    ASSERT_EQ(::symlink(fs.Path("link-target").c_str(), fs.Path("link").c_str()), 0);
    ASSERT_EQ(::link(fs.Path("linked").c_str(), fs.Path("other-name").c_str()), 0);
    ::sync();

    // What the passes left, read through descriptors opened before: files of
    // about 100,000 bytes take one full write call and a shorter one.
    std::vector<std::string> left;
    {
        std::vector<std::unique_ptr<HeldFile>> held;
        for (const File& file : wiped)
            held.push_back(std::make_unique<HeldFile>(fs.Path(file.name)));

        RandomWiper random;
        WipeQueue randomQueue;
        for (const char* name : {"random-1", "link", "random-2", "other-name"})
            randomQueue.AddPath(fs.Path(name));
        const time_t before = std::time(nullptr);
        EXPECT_EQ(WipeOnFreshThread(random, randomQueue), fs.Path("link") + "\n" + fs.Path("other-name") + "\n");
        const time_t after = std::time(nullptr);

        DoDWiper dod;
        WipeQueue dodQueue;
        for (const char* name : {"dod-1", "dod-2"})
            dodQueue.AddPath(fs.Path(name));
        EXPECT_EQ(WipeOnFreshThread(dod, dodQueue), "");

        for (const auto& file : held)
            left.push_back(file->Read());
        EXPECT_EQ(MatchingRun(left[0], before, after), left[0]);
        EXPECT_EQ(MatchingRun(left[1], before, after, left[0].size()), left[1]);
    }
    EXPECT_EQ(left[0].size(), wiped[0].content.size());
    EXPECT_EQ(left[2], RepeatedBlock(0, wiped[2].content.size()));
    EXPECT_EQ(left[3], RepeatedBlock(1, wiped[3].content.size()));

    ASSERT_TRUE(fs.Unmount());
    const std::string raw = ReadFile(fs.Image());
    ASSERT_EQ(raw.size(), size_t(64) << 20);
    for (const File& file : wiped)
        EXPECT_EQ(CountOccurrences(raw, file.unit), 0u) << file.name << " left traces on the device";
    // The search itself finds what is there.
    for (const File& file : kept)
        EXPECT_GT(CountOccurrences(raw, file.unit), 0u) << file.name;

    ASSERT_TRUE(fs.Mount());
    for (const File& file : wiped)
        EXPECT_NE(::access(fs.Path(file.name).c_str(), F_OK), 0) << file.name;
    EXPECT_EQ(ReadFile(fs.Path("beside")), kept[0].content);
    EXPECT_EQ(ReadFile(fs.Path("link")), kept[1].content);
    EXPECT_EQ(ReadFile(fs.Path("link-target")), kept[1].content);
    EXPECT_EQ(ReadFile(fs.Path("linked")), kept[2].content);
    EXPECT_EQ(ReadFile(fs.Path("other-name")), kept[2].content);
}

// Small files reach their devices together, one sync per filesystem, yet
// each file's last pass is on its device before its name goes; over two
// filesystems and many folders alike.
TEST(Forensic, SmallFilesAreOnTheirDevicesBeforeTheirNamesGo)
{
    LoopFilesystem first, second;
    if (::geteuid() != 0 || !first.Usable() || !second.Usable())
        GTEST_SKIP() << "skipped: needs root, loop devices and ext4 tools";
    struct File {
        const LoopFilesystem* fs;
        std::string path, unit;
    };
    std::vector<File> files;
    WipeQueue queue;
    for (int i = 0; i < 10; ++i) {
        const LoopFilesystem& fs = i % 2 ? second : first;
        ASSERT_EQ(::mkdir(fs.Path("d" + std::to_string(i)).c_str(), 0700), 0);
        File file{&fs, fs.Path("d" + std::to_string(i) + "/f"), ""};
        const std::string content = Marker(file.path, file.unit).substr(0, 4096 << (i % 4));
        WriteSynced(file.path, content);
        files.push_back(file);
        queue.AddPath(file.path);
    }
    ::sync();
    // The images hold what their loop devices were given, not what the
    // filesystems above them still keep in memory. The first name to go on
    // each filesystem is looked at: all ten wait for one sync.
    size_t renamed = 0;
    InPlaceFile::afterRename = [&] {
        if (++renamed > 2)
            return;
        for (const LoopFilesystem* fs : {&first, &second}) {
            const std::string raw = ReadFile(fs->Image());
            for (size_t i = 0; i < renamed; ++i) {
                if (files[i].fs == fs) {
                    EXPECT_EQ(CountOccurrences(raw, files[i].unit), 0u) << files[i].path << " at rename " << renamed;
                }
            }
        }
    };
    RandomWiper wiper;
    const std::string failed = WipeOnFreshThread(wiper, queue);
    InPlaceFile::afterRename = nullptr;
    EXPECT_EQ(failed, "");
    EXPECT_EQ(renamed, files.size());
    for (const File& file : files)
        EXPECT_NE(::access(file.path.c_str(), F_OK), 0) << file.path;
}

// Only what holds data is overwritten: a sparse file larger than the whole
// filesystem, with data at both ends and a hole between, is wiped without a
// block being added, the random stream running on from one end to the other.
// Bytes appended between passes, also after the last one, get the pass too.
TEST(Forensic, SparseAndAppendedDataLeaveNoTrace)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "skipped: mounting a loop device needs root";
    LoopFilesystem fs;
    if (!fs.Usable())
        GTEST_SKIP() << "skipped: no loop device or ext4 tools here";

    std::string headUnit, tailUnit, grownUnit, firstAppendUnit, lastAppendUnit;
    const std::string head = Marker("sparse-head", headUnit);
    const std::string tail = Marker("sparse-tail", tailUnit);
    const off_t sparseSize = (off_t(1) << 30) + 1500;
    {
        const int fd = ::open(fs.Path("sparse").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), sparseSize - off_t(tail.size())), ssize_t(tail.size()));
        ASSERT_EQ(::fsync(fd), 0);
        // Zeroed blocks stay allocated, unwritten, with the old bytes in them:
        // they read as zeros and SEEK_DATA calls them a hole.
        ASSERT_EQ(::fallocate(fd, FALLOC_FL_ZERO_RANGE, 0, 16 << 10), 0);
        ASSERT_EQ(::fsync(fd), 0);
        ::close(fd);
    }
    WriteSynced(fs.Path("grown"), Marker("grown", grownUnit));
    const std::string firstAppend = Marker("first-append", firstAppendUnit);
    const std::string lastAppend = Marker("last-append", lastAppendUnit);
    ::sync();

    const int sparse = ::open(fs.Path("sparse").c_str(), O_RDONLY);
    ASSERT_GE(sparse, 0);
    struct stat before;
    ASSERT_EQ(::fstat(sparse, &before), 0);
    RandomWiper random;
    WipeQueue randomQueue;
    randomQueue.AddPath(fs.Path("sparse"));
    const time_t start = std::time(nullptr);
    EXPECT_EQ(WipeOnFreshThread(random, randomQueue), "");
    const time_t end = std::time(nullptr);

    struct stat after;
    ASSERT_EQ(::fstat(sparse, &after), 0);
    EXPECT_EQ(after.st_blocks, before.st_blocks);
    const std::vector<std::pair<off_t, off_t>> ranges = DataRanges(sparse);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges.back().second, sparseSize);
    std::string written;
    for (const auto& range : ranges) {
        std::string part(size_t(range.second - range.first), '\0');
        ASSERT_EQ(::pread(sparse, &part[0], part.size(), range.first), ssize_t(part.size()));
        written += part;
    }
    ::close(sparse);
    EXPECT_EQ(MatchingRun(written, start, end), written);
    EXPECT_EQ(random.GetBytesProcessed().GetValue(), written.size());
    EXPECT_TRUE(random.IsCompleted());

    // Appended after the first pass and after the last one, each time on the
    // device before the wipe goes on.
    DoDWiper dod;
    WipeQueue dodQueue;
    dodQueue.AddPath(fs.Path("grown"));
    int rounds = 0;
    {
        AfterPassHook hook([&](const wxString&) {
            ++rounds;
            if (rounds == 1)
                AppendSynced(fs.Path("grown"), firstAppend);
            if (rounds == 4)
                AppendSynced(fs.Path("grown"), lastAppend);
        });
        EXPECT_EQ(WipeOnFreshThread(dod, dodQueue), "");
    }
    EXPECT_EQ(rounds, 5);
    EXPECT_TRUE(dod.IsCompleted());

    ASSERT_TRUE(fs.Unmount());
    const std::string raw = ReadFile(fs.Image());
    for (const std::string& unit : {headUnit, tailUnit, grownUnit, firstAppendUnit, lastAppendUnit})
        EXPECT_EQ(CountOccurrences(raw, unit), 0u) << unit << " left on the device";
}

// The disk filling up in the middle of a gathered write (a file shrunk since
// it was queued is written up to its queued size): what the short call wrote
// is counted and is the start of the stream, the next call's failure is
// reported with the system's text, and the file is left in place.
TEST(Forensic, DiskFullInTheMiddleOfAWriteIsCountedAndReported)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "skipped: mounting a loop device needs root";
    LoopFilesystem fs;
    if (!fs.Usable())
        GTEST_SKIP() << "skipped: no loop device or ext4 tools here";

    const std::string path = fs.Path("shrunk");
    WriteSynced(path, std::string(300000, 's'));
    WipeQueue queue;
    queue.AddPath(path);
    ASSERT_EQ(::truncate(path.c_str(), 100000), 0);
    {
        const int fd = ::open(fs.Path("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const std::string chunk(1 << 20, 'f');
        for (size_t n = chunk.size(); n >= 512;) {
            if (::write(fd, chunk.data(), n) <= 0)
                n /= 2;
        }
        ::fsync(fd);
        ::close(fd);
    }
    ::sync();

    HeldFile held(path);
    RandomWiper wiper;
    const time_t start = std::time(nullptr);
    WipeOnFreshThread(wiper, queue);
    const time_t end = std::time(nullptr);

    const std::vector<FailedEntry> failures = Wiper::GetFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].reason, WipeFailure::OverwriteFailed);
    EXPECT_EQ(failures[0].detail, wxString(std::strerror(ENOSPC)));
    // The second call, for bytes 65536 to 131071, came back short.
    const uint64_t processed = wiper.GetBytesProcessed().GetValue();
    EXPECT_GT(processed, 65536u);
    EXPECT_LT(processed, 131072u);
    const std::string content = held.Read();
    ASSERT_GE(content.size(), processed);
    const std::string written = content.substr(0, processed);
    EXPECT_EQ(MatchingRun(written, start, end), written);
    EXPECT_EQ(content.substr(processed), std::string(content.size() - processed, 's'));
    EXPECT_TRUE(Exists(path));
}

namespace {

// The ext4 block numbers of a file, as debugfs reads them from the image.
std::vector<uint64_t> BlocksOf(const std::string& image, const std::string& name)
{
    std::vector<uint64_t> blocks;
    const std::string command = "debugfs -R 'blocks /" + name + "' '" + image + "' 2>/dev/null";
    if (FILE* out = ::popen(command.c_str(), "r")) {
        unsigned long long block = 0;
        while (std::fscanf(out, "%llu", &block) == 1)
            blocks.push_back(block);
        ::pclose(out);
    }
    return blocks;
}

// How many of those 4 KiB blocks hold data in the image file: a discard that
// reached the tmpfs under the loop device left a hole.
size_t BlocksWithData(const std::string& image, const std::vector<uint64_t>& blocks)
{
    const int fd = ::open(image.c_str(), O_RDONLY);
    size_t count = 0;
    for (const uint64_t block : blocks) {
        const off_t at = off_t(block) * 4096;
        if (::lseek(fd, at, SEEK_DATA) == at)
            ++count;
    }
    ::close(fd);
    return count;
}

}  // namespace

// Flash drives, played by loop devices whose queue says they do not rotate.
// Their images live on tmpfs, where each discard the loop device passes on
// becomes a hole: the image's allocated size shows what reached the "drive".

TEST(Forensic, FlashIsToldFromSpinningDownToTheDriveUnderStackedLoopDevices)
{
    using Kind = StorageMedium::Kind;
    LoopFilesystem bottom("ext4", "96M", "", "/dev/shm");
    if (!bottom.Usable())
        GTEST_SKIP() << "skipped: needs root, loop devices and /dev/shm";
    ASSERT_TRUE(bottom.SetRotational(false));
    EXPECT_EQ(StorageMedium().Of(bottom.Path("")), Kind::Flash);
    ASSERT_TRUE(bottom.SetRotational(true));
    EXPECT_EQ(StorageMedium().Of(bottom.Path("")), Kind::Spinning);
    EXPECT_EQ(StorageMedium().Of("/dev/shm"), Kind::Memory);

    // An image on that filesystem: its own loop device claims to spin, the
    // drive at the bottom decides.
    LoopFilesystem top("ext4", "32M", "", bottom.Path(""));
    ASSERT_TRUE(top.Usable());
    ASSERT_TRUE(top.SetRotational(true));
    ASSERT_TRUE(bottom.SetRotational(false));
    StorageMedium run;
    EXPECT_EQ(run.Of(top.Path("")), Kind::Flash);
    ASSERT_TRUE(bottom.SetRotational(true));
    EXPECT_EQ(StorageMedium().Of(top.Path("")), Kind::Spinning);
    // Looked at once per filesystem in a run.
    EXPECT_EQ(run.Of(top.Path("")), Kind::Flash);
}

TEST(Forensic, OnFlashTheWipedBlocksAreDiscardedAndOnASpinningDiskNothingIs)
{
    for (const bool rotational : {true, false}) {
        SCOPED_TRACE(rotational ? "spinning" : "flash");
        // Every block of the image is taken before the run and the inode tables
        // are written now, not later by the kernel (which would punch holes).
        LoopFilesystem fs("ext4", "128M", "-b 4096 -E nodiscard,lazy_itable_init=0,lazy_journal_init=1", "/dev/shm", true);
        if (!fs.Usable())
            GTEST_SKIP() << "skipped: needs root, loop devices and /dev/shm";
        ASSERT_TRUE(fs.SetRotational(rotational));
        if (!rotational && !fs.TakesDiscards())
            GTEST_SKIP() << "skipped: this kernel's loop devices take no discards";
        std::string unit;
        const std::string marker = Marker("flash", unit);
        std::string content;
        while (content.size() < (32u << 20))
            content += marker;
        content.resize(32u << 20);
        WriteSynced(fs.Path("secret"), content);
        ::sync();
        const uint64_t before = fs.ImageAllocated();
        const std::vector<uint64_t> blocks = BlocksOf(fs.Image(), "secret");
        ASSERT_EQ(blocks.size(), 8192u);
        ASSERT_EQ(BlocksWithData(fs.Image(), blocks), blocks.size());

        RandomWiper wiper;
        WipeQueue queue;
        queue.AddPath(fs.Path("secret"));
        EXPECT_EQ(WipeOnFreshThread(wiper, queue), "");
        const uint64_t after = fs.ImageAllocated();
        const std::vector<FileOutcome> wiped = Wiper::GetWiped();
        ASSERT_EQ(wiped.size(), 1u);
        const wxString report = RunReport({}, Wiper::GetTotals(), false, wiped).Message();
        if (rotational) {
            EXPECT_EQ(wiped[0].medium, StorageMedium::Kind::Spinning);
            EXPECT_EQ(wiped[0].discard, Discard::Outcome::NotAsked);
            // The run zeroes the journal (16 MiB here) at its end, which the
            // tmpfs under the loop device also turns into holes; nothing else
            // may go, and none of the file's blocks.
            EXPECT_GE(after + (16u << 20), before);
            EXPECT_EQ(BlocksWithData(fs.Image(), blocks), blocks.size());
            EXPECT_FALSE(report.Contains("flash")) << report;
        } else {
            EXPECT_EQ(wiped[0].medium, StorageMedium::Kind::Flash);
            EXPECT_EQ(wiped[0].discard, Discard::Outcome::Discarded);
            EXPECT_GE(wiped[0].discardedBytes, 32u << 20);
            // Exactly the file's blocks were discarded; the image shrank by
            // them less the few metadata blocks the run wrote into holes
            // mkfs had left.
            EXPECT_EQ(BlocksWithData(fs.Image(), blocks), 0u);
            EXPECT_GE(before - std::min(before, after), (32u << 20) - (256u << 10)) << before << " -> " << after;
            EXPECT_TRUE(report.Contains("On flash storage (1):\n" + fs.Path("secret"))) << report;
            EXPECT_TRUE(report.Contains("asked the drive to discard the wiped blocks (")) << report;

            // A file another program still holds keeps its blocks: none is
            // free to discard, and the report does not claim otherwise.
            WriteSynced(fs.Path("held"), Pattern(1 << 20));
            HeldFile held(fs.Path("held"));
            queue.AddPath(fs.Path("held"));
            EXPECT_EQ(WipeOnFreshThread(wiper, queue), "");
            ASSERT_EQ(Wiper::GetWiped().size(), 1u);
            EXPECT_EQ(Wiper::GetWiped()[0].discard, Discard::Outcome::NotFree);
        }
        std::cout << (rotational ? "spinning" : "flash") << ": image allocated " << before << " -> " << after
                  << " bytes, " << wiped[0].discardedBytes << " discarded" << std::endl;
        ASSERT_TRUE(fs.Unmount());
        EXPECT_EQ(CountOccurrences(ReadFile(fs.Image()), unit), 0u);
    }
}

// The discards of a run are gathered per filesystem and asked for together:
// files of two flash filesystems, queued in turns, each still get exactly
// their own blocks discarded, and a file held open among them, whose blocks
// lie between theirs, is still told apart as having none free.
TEST(Forensic, DiscardsGatheredOverTwoFlashFilesystemsReachEachFilesOwnBlocks)
{
    const std::string options = "-b 4096 -E nodiscard,lazy_itable_init=0,lazy_journal_init=1";
    LoopFilesystem first("ext4", "64M", options, "/dev/shm", true), second("ext4", "64M", options, "/dev/shm", true);
    if (!first.Usable() || !second.Usable())
        GTEST_SKIP() << "skipped: needs root, loop devices and /dev/shm";
    ASSERT_TRUE(first.SetRotational(false) && second.SetRotational(false));
    if (!first.TakesDiscards())
    GTEST_SKIP() << "skipped: this kernel's loop devices take no discards";
    const size_t files = 12, size = 256 << 10;
    for (size_t i = 0; i < files; ++i) {
        WriteSynced(first.Path("a" + std::to_string(i)), Pattern(size));
        WriteSynced(second.Path("b" + std::to_string(i)), Pattern(size));
        if (i == files / 2)
            WriteSynced(first.Path("held"), Pattern(size));
    }
    ::sync();
    const uint64_t before[] = {first.ImageAllocated(), second.ImageAllocated()};
    std::vector<uint64_t> blocks[2];
    WipeQueue queue;
    for (size_t i = 0; i < files; ++i) {
        for (const LoopFilesystem* fs : {&first, &second}) {
            const std::string name = (fs == &first ? "a" : "b") + std::to_string(i);
            const std::vector<uint64_t> own = BlocksOf(fs->Image(), name);
            ASSERT_EQ(own.size(), size / 4096);
            blocks[fs == &first ? 0 : 1].insert(blocks[fs == &first ? 0 : 1].end(), own.begin(), own.end());
            queue.AddPath(fs->Path(name));
        }
        if (i == files / 2)
            queue.AddPath(first.Path("held"));
    }
    const std::vector<uint64_t> heldBlocks = BlocksOf(first.Image(), "held");
    HeldFile held(first.Path("held"));

    RandomWiper wiper;
    EXPECT_EQ(WipeOnFreshThread(wiper, queue), "");
    const std::vector<FileOutcome> wiped = Wiper::GetWiped();
    ASSERT_EQ(wiped.size(), 2 * files + 1);
    for (const FileOutcome& file : wiped) {
        SCOPED_TRACE(file.Path().ToStdString());
        if (file.Path() == wxString(first.Path("held"))) {
            EXPECT_EQ(file.discard, Discard::Outcome::NotFree);
            continue;
        }
        EXPECT_EQ(file.discard, Discard::Outcome::Discarded);
        EXPECT_EQ(file.discardedBytes, size);
    }
    EXPECT_EQ(BlocksWithData(first.Image(), blocks[0]), 0u);
    EXPECT_EQ(BlocksWithData(second.Image(), blocks[1]), 0u);
    EXPECT_EQ(BlocksWithData(first.Image(), heldBlocks), heldBlocks.size());
    // Each image shrank by its own wiped files, less the few metadata blocks
    // the run wrote into holes mkfs had left.
    const uint64_t after[] = {first.ImageAllocated(), second.ImageAllocated()};
    for (int i = 0; i < 2; ++i)
        EXPECT_GE(before[i] - std::min(before[i], after[i]), files * size - (256u << 10)) << before[i] << " -> " << after[i];

    // A run stopped midway still discards what it gathered before the stop,
    // and leaves the files it never reached as they were.
    std::vector<uint64_t> reached[2];
    for (size_t i = 0; i < 3; ++i) {
        for (const LoopFilesystem* fs : {&first, &second}) {
            WriteSynced(fs->Path("c" + std::to_string(i)), Pattern(size));
            queue.AddPath(fs->Path("c" + std::to_string(i)));
        }
    }
    ::sync();
    for (const LoopFilesystem* fs : {&first, &second}) {
        for (const std::string name : {"c0", "c1"}) {
            const std::vector<uint64_t> own = BlocksOf(fs->Image(), name);
            reached[fs == &first ? 0 : 1].insert(reached[fs == &first ? 0 : 1].end(), own.begin(), own.end());
        }
    }
    size_t passes = 0;
    {
        AfterPassHook hook([&passes](const wxString&) {
            if (++passes == 4)
                Wiper::RequestStop();
        });
        EXPECT_EQ(WipeOnFreshThread(wiper, queue), "");
    }
    ASSERT_EQ(Wiper::GetWiped().size(), 4u);
    for (const FileOutcome& file : Wiper::GetWiped()) {
        EXPECT_EQ(file.discard, Discard::Outcome::Discarded) << file.Path();
        EXPECT_EQ(file.discardedBytes, size) << file.Path();
    }
    ASSERT_EQ(reached[0].size() + reached[1].size(), 4 * size / 4096);
    EXPECT_EQ(BlocksWithData(first.Image(), reached[0]) + BlocksWithData(second.Image(), reached[1]), 0u);
    EXPECT_TRUE(Exists(first.Path("c2")) && Exists(second.Path("c2")));
}

// Without root the drive cannot be asked at once: the report says when it
// will be, and a later fstrim run does discard the blocks.
TEST(Forensic, OnFlashAnUnprivilegedWipeLeavesTheBlocksToTheNextFstrimRun)
{
    LoopFilesystem fs("ext4", "64M", "", "/dev/shm");
    if (!fs.Usable())
        GTEST_SKIP() << "skipped: needs root, loop devices and /dev/shm";
    ASSERT_TRUE(fs.SetRotational(false));
    if (!fs.TakesDiscards())
    GTEST_SKIP() << "skipped: this kernel's loop devices take no discards";
    const std::string folder = fs.Image().substr(0, fs.Image().rfind('/'));
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(::chown(fs.Path("").c_str(), 65534, 65534), 0);
    const std::string path = fs.Path("secret");
    WriteSynced(path, Pattern(8u << 20));
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ::sync();
    const uint64_t before = fs.ImageAllocated();

    TempDir dir;
    const auto wipeUnprivileged = [&](Discard::Outcome expected) {
        return RunUnprivileged(
            [&] {
                WipeQueue queue;
                queue.AddPath(path);
                Wiper::ResetRun();
                RandomWiper().Wipe(&queue);
                const std::vector<FileOutcome> wiped = Wiper::GetWiped();
                std::cout << RunReport({}, Wiper::GetTotals(), false, wiped).Message() << std::endl;
                return wiped.size() == 1 && wiped[0].discard == expected ? 0 : 1;
            },
            dir.Path("out"), dir.Path("err"));
    };
    const int status = wipeUnprivileged(Discard::Outcome::Deferred);
    if (status == -1)
        GTEST_SKIP() << "could not drop privileges";
    EXPECT_EQ(status, 0) << ReadFile(dir.Path("err"));
    EXPECT_FALSE(Exists(path));
    const std::string report = ReadFile(dir.Path("out"));
    EXPECT_NE(report.find("The wiped blocks will be discarded at the system's next fstrim run"), std::string::npos)
        << report;
    EXPECT_NE(report.find(Discard::PeriodicTrimEnabled() ? "(fstrim.timer is enabled)" : "is not enabled"),
              std::string::npos)
        << report;
    const uint64_t wiped = fs.ImageAllocated();
    EXPECT_GE(wiped + (1u << 20), before);
    ASSERT_EQ(std::system(("fstrim '" + fs.Path("") + "'").c_str()), 0);
    EXPECT_GE(wiped - std::min(wiped, fs.ImageAllocated()), 8u << 20);

    // Mounted with discard, the filesystem discards freed blocks itself.
    ASSERT_TRUE(fs.Unmount() && fs.Mount("discard"));
    WriteSynced(path, Pattern(8u << 20));
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ::sync();
    const uint64_t written = fs.ImageAllocated();
    EXPECT_EQ(wipeUnprivileged(Discard::Outcome::Automatic), 0) << ReadFile(dir.Path("err"));
    EXPECT_NE(ReadFile(dir.Path("out")).find("The filesystem discarded the wiped blocks itself"), std::string::npos)
        << ReadFile(dir.Path("out"));
    ::sync();
    // Less the few metadata blocks written into holes mkfs left.
    EXPECT_GE(written - std::min(written, fs.ImageAllocated()), (8u << 20) - (256u << 10));
}

// Small files whose shared sync fails are kept, not deleted with their old
// bytes still on the disk: the loop device's image lies on a full tmpfs and
// the files' own blocks were taken out of it, so that only their writes fail.
TEST(Forensic, SmallFilesWhoseSharedSyncFailsAreKept)
{
    TempDir dir;
    struct SmallTmpfs {
        std::string at;
        bool mounted;
        explicit SmallTmpfs(const std::string& at)
            : at(at), mounted(::geteuid() == 0 && std::system(("mount -t tmpfs -o size=48M tmpfs '" + at + "'").c_str()) == 0)
        {
        }
        ~SmallTmpfs()
        {
            if (mounted)
                std::system(("umount '" + at + "'").c_str());
        }
    } tmpfs(dir.Path(""));
    if (!tmpfs.mounted)
        GTEST_SKIP() << "skipped: mounting needs root";
    // Journal and inode tables written out, so that only the files' blocks are holes.
    LoopFilesystem fs("ext4", "32M", "-b 4096 -E lazy_itable_init=0,lazy_journal_init=0", tmpfs.at);
    if (!fs.Usable())
        GTEST_SKIP() << "skipped: no loop device or ext4 tools here";
    const std::vector<std::string> names = {"a", "b", "c"};
    for (const std::string& name : names)
        WriteSynced(fs.Path(name), Pattern(16384));
    ::sync();
    const int image = ::open(fs.Image().c_str(), O_RDWR);
    ASSERT_GE(image, 0);
    for (const std::string& name : names) {
        const std::vector<uint64_t> blocks = BlocksOf(fs.Image(), name);
        ASSERT_EQ(blocks.size(), 4u) << name;
        for (const uint64_t block : blocks)
            ASSERT_EQ(::fallocate(image, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(block) * 4096, 4096), 0);
    }
    ::close(image);
    {
        std::ofstream filler(tmpfs.at + "/filler", std::ios::binary);
        const std::string chunk(1 << 20, 'f');
        while (filler.write(chunk.data(), chunk.size()))
            ;
    }
    WipeQueue queue;
    for (const std::string& name : names)
        queue.AddPath(fs.Path(name));
    RandomWiper wiper;
    const std::string failed = WipeOnFreshThread(wiper, queue);
    EXPECT_EQ(failed, fs.Path("a") + "\n" + fs.Path("b") + "\n" + fs.Path("c") + "\n");
    for (const FailedEntry& entry : Wiper::GetFailures())
        EXPECT_EQ(entry.reason, WipeFailure::OverwriteFailed) << entry.path;
    for (const std::string& name : names)
        EXPECT_EQ(::access(fs.Path(name).c_str(), F_OK), 0) << name << " was deleted";
    std::remove((tmpfs.at + "/filler").c_str());
}

// After a file run, the journal holds no copy of a wiped file's name or data:
// on data=ordered (names), data=journal (every block) and with inline data
// (small files). Root has the system zero the journal; another user pushes
// it round with folders of its own.
TEST(Forensic, AFileRunLeavesNoCopyOfNamesOrDataInTheJournal)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "skipped: mounting a loop device needs root";
    struct Setup {
        const char* what;
        const char* mkfs;
        const char* mount;
        bool unprivileged;
    };
    for (const Setup& setup : {Setup{"data=ordered", "", "", false}, Setup{"data=journal", "", "data=journal", false},
                               Setup{"inline_data", "-O inline_data", "", false},
                               Setup{"data=journal, another user", "", "data=journal", true}}) {
        SCOPED_TRACE(setup.what);
        LoopFilesystem fs("ext4", "64M", setup.mkfs);
        if (!fs.Usable()) {
            GTEST_SKIP() << "skipped: no loop device or ext4 tools here";
        }
        if (*setup.mount) {
            ASSERT_TRUE(fs.Unmount() && fs.Mount(setup.mount));
        }
        const std::string docs = fs.Path("docs");
        ASSERT_EQ(::mkdir(docs.c_str(), 0777), 0);
        // The other user reaches the folder through the image's own.
        ASSERT_EQ(::chmod((fs.Path("") + "..").c_str(), 0755), 0);

        std::vector<std::string> names, units;
        for (size_t size : {size_t(100000), size_t(50)}) {
            std::string unit;
            std::string content = Marker("journal", unit);
            content.resize(std::max(size, unit.size()));
            const std::string name = "wiped-name-" + unit.substr(unit.size() - 17, 16);
            WriteSynced(docs + "/" + name, content);
            ASSERT_EQ(::chown((docs + "/" + name).c_str(), 65534, 65534), 0);
            names.push_back(name);
            units.push_back(unit);
        }
        ASSERT_EQ(::chown(docs.c_str(), 65534, 65534), 0);
        ::sync();

        const auto wipe = [&] {
            WipeQueue queue;
            for (const std::string& name : names)
                queue.AddPath(docs + "/" + name);
            Wiper::ResetRun();
            std::thread([&] { RandomWiper().Wipe(&queue); }).join();
            return static_cast<int>(Wiper::GetFailedPaths().size());
        };
        if (setup.unprivileged) {
            TempDir out;
            const int status = RunUnprivileged(wipe, out.Path("out"), out.Path("err"));
            if (status == -1) {
                GTEST_SKIP() << "could not drop privileges";
            }
            EXPECT_EQ(status, 0) << ReadFile(out.Path("err"));
        } else {
            EXPECT_EQ(wipe(), 0);
        }
        // Nothing of the push is left behind.
        EXPECT_EQ(::rmdir(docs.c_str()), 0);

        ASSERT_TRUE(fs.Unmount());
        const std::string raw = ReadFile(fs.Image());
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(CountOccurrences(raw, names[i]), 0u) << names[i];
            EXPECT_EQ(CountOccurrences(raw, units[i]), 0u) << units[i];
        }
    }
}
