// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"

#include "engine/DoDWiper.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// The first 1024 values of the generator of a thread that never seeded it.
std::string UnseededBlock(size_t index = 0)
{
    return RandomBytes(1, index * 1024, 1024);
}

}  // namespace

TEST(DoDWiper, ReportsThreeTimesTheTotalAndTheEnd)
{
    TempDir dir;
    WriteFile(dir.Path("a"), Pattern(100));
    WriteFile(dir.Path("b"), Pattern(200));
    WipeQueue queue;
    queue.AddPath(dir.Path("a"));
    queue.AddPath(dir.Path("b"));

    DoDWiper wiper;
    const RunResult run = RunOnFreshThread(wiper, queue);

    EXPECT_EQ(run.out, "Total file size to be wiped: 900 bytes\n"
                       "[US DoD]Secure file deletion completed.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(Exists(dir.Path("a")));
    EXPECT_FALSE(Exists(dir.Path("b")));
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), 900u);
    EXPECT_TRUE(wiper.IsCompleted());
}

// Each pass reaches the file before the next starts, from the first byte, never
// past the file's size; the last repeats one random block, so a 1500-byte file
// ends as the block and the block's first 476 bytes.
TEST(DoDWiper, PassesZerosThenOnesThenOneRandomBlockRepeated)
{
    TempDir dir;
    WriteFile(dir.Path("file"), Pattern(1500));
    HeldFile held(dir.Path("file"));
    WipeQueue queue;
    queue.AddPath(dir.Path("file"));

    std::vector<std::string> afterPass;
    std::vector<uint64_t> processedAfterPass;
    DoDWiper wiper;
    {
        AfterPassHook hook([&](const wxString&) {
            afterPass.push_back(held.Read());
            processedAfterPass.push_back(wiper.GetBytesProcessed().GetValue());
        });
        RunOnFreshThread(wiper, queue);
    }

    const std::string block = UnseededBlock();
    ASSERT_EQ(afterPass.size(), 3u);
    EXPECT_EQ(afterPass[0], Bytes(1500, '\x00'));
    EXPECT_EQ(afterPass[1], Bytes(1500, '\xFF'));
    EXPECT_EQ(afterPass[2], block + block.substr(0, 476));
    EXPECT_EQ(processedAfterPass, (std::vector<uint64_t>{1500, 3000, 4500}));
    EXPECT_FALSE(Exists(dir.Path("file")));
}

// The random block is drawn for every opened file, also an empty one, and not
// for a file that could not be opened.
TEST(DoDWiper, RandomBlocksFollowTheOpenedFiles)
{
    TempDir dir;
    WriteFile(dir.Path("empty"), "");
    WriteFile(dir.Path("file"), Pattern(1024));
    HeldFile held(dir.Path("file"));
    WipeQueue queue;
    queue.AddPath(dir.Path("missing"));
    queue.AddPath(dir.Path("empty"));
    queue.AddPath(dir.Path("file"));

    DoDWiper wiper;
    const RunResult run = RunOnFreshThread(wiper, queue);

    EXPECT_EQ(held.Read(), UnseededBlock(1));
    EXPECT_FALSE(Exists(dir.Path("empty")));
    EXPECT_EQ(run.err, "Failed to open file for writing: " + dir.Path("missing") + "\n"
                       "Not wiped (not found): " + dir.Path("missing") + "\n");
}

// The generator is never seeded, so every run on a new wipe thread writes the
// same third pass.
TEST(DoDWiper, EveryRunWritesTheSameRandomBlock)
{
    std::string contents[2];
    for (std::string& content : contents) {
        TempDir dir;
        WriteFile(dir.Path("file"), Pattern(1024));
        HeldFile held(dir.Path("file"));
        WipeQueue queue;
        queue.AddPath(dir.Path("file"));
        DoDWiper wiper;
        const RunResult run = RunOnWipeThread(wiper, queue);
        ASSERT_TRUE(Wiper::IsRunFinished());
        EXPECT_EQ(run.err, "");
        content = held.Read();
    }
    EXPECT_EQ(contents[0], UnseededBlock());
    EXPECT_EQ(contents[1], contents[0]);
}

// Bytes appended while a pass runs get that pass before the next one starts,
// and the later passes too; the random block still repeats by file offset
// where a pass resumes in the middle of it. The total grows by each round
// before it is written, so the counters still meet.
TEST(DoDWiper, BytesAppendedDuringAPassGetThatPassAndTheLaterOnes)
{
    TempDir dir;
    WriteFile(dir.Path("file"), Pattern(1500));
    HeldFile held(dir.Path("file"));
    WipeQueue queue;
    queue.AddPath(dir.Path("file"));

    std::vector<std::string> seen;
    DoDWiper wiper;
    {
        AfterPassHook hook([&](const wxString&) {
            seen.push_back(held.Read());
            if (seen.size() == 1)
                std::ofstream(dir.Path("file"), std::ios::app) << Pattern(1000);
            if (seen.size() == 4)
                std::ofstream(dir.Path("file"), std::ios::app) << Pattern(600);
        });
        RunOnFreshThread(wiper, queue);
    }

    std::string repeated;
    while (repeated.size() < 3100)
        repeated += UnseededBlock();
    repeated.resize(3100);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], Bytes(1500, '\x00'));
    EXPECT_EQ(seen[1], Bytes(2500, '\x00'));
    EXPECT_EQ(seen[2], Bytes(2500, '\xFF'));
    EXPECT_EQ(seen[3], repeated.substr(0, 2500));
    EXPECT_EQ(seen[4], repeated);
    EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), 1500u + 1000 + 2500 + 2500 + 600);
    EXPECT_TRUE(wiper.IsCompleted());
    EXPECT_FALSE(Exists(dir.Path("file")));
}

// A stop at once takes effect before the next write call: the file keeps what
// the passes so far left, stays in place and is reported as stopped.
TEST(DoDWiper, StopAtOnceLeavesTheFileAsThePassesSoFarLeftIt)
{
    TempDir dir;
    WriteFile(dir.Path("file"), Pattern(200000));
    WipeQueue queue;
    queue.AddPath(dir.Path("file"));

    DoDWiper wiper;
    {
        AfterPassHook hook([](const wxString&) { Wiper::RequestStopNow(); });
        const RunResult run = RunOnFreshThread(wiper, queue);
        EXPECT_EQ(run.out, "Total file size to be wiped: 600000 bytes\n"
                           "[US DoD]Secure file deletion stopped.\n");
    }

    const std::vector<FailedEntry> failures = Wiper::GetFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].reason, WipeFailure::Stopped);
    EXPECT_EQ(ReadFile(dir.Path("file")), Bytes(200000, '\x00'));
    EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), 200000u);
}
