// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"
#include "engine/RunReport.h"

#include "engine/RandomWiper.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <unistd.h>

namespace {

// The content a RandomWiper run seeded at some second in [from, to] gives the
// stretch [skip, skip + n) of the run's stream; empty if no second fits.
std::string MatchingRun(const std::string& content, time_t from, time_t to, size_t skip)
{
    for (time_t t = from; t <= to; ++t) {
        if (RandomBytes(static_cast<uint32_t>(t), skip, content.size()) == content)
            return content;
    }
    return "no seed between the start and the end of the run gives this content";
}

}  // namespace

TEST(RandomWiper, ReportsTheTotalAndTheEndAndDeletesEveryFile)
{
    TempDir dir;
    WriteFile(dir.Path("a"), Pattern(100));
    WriteFile(dir.Path("b"), Pattern(200));
    WriteFile(dir.Path("empty"), "");
    WipeQueue queue;
    queue.AddPath(dir.Path("a"));
    queue.AddPath(dir.Path("empty"));
    queue.AddPath(dir.Path("b"));

    RandomWiper wiper;
    const RunResult run = RunOnFreshThread(wiper, queue);

    EXPECT_EQ(run.out, "Total file size to be wiped: 300 bytes\n"
                       "[PseudoRandom] Secure file deletion completed.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.failed.empty());
    EXPECT_FALSE(Exists(dir.Path("a")));
    EXPECT_FALSE(Exists(dir.Path("b")));
    EXPECT_FALSE(Exists(dir.Path("empty")));
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), 300u);
    EXPECT_EQ(wiper.GetTotalBytes().GetValue(), 300u);
    EXPECT_TRUE(wiper.IsCompleted());
    EXPECT_TRUE(Wiper::IsRunFinished());
}

// One clock-seeded stream runs through the files in queue order, one value per
// byte; an empty file draws nothing. A large file's bytes are made ahead on
// another thread, and the small file after it still continues the stream.
TEST(RandomWiper, OverwritesInPlaceWithOneDrawPerByte)
{
    constexpr size_t largeSize = (3 << 20) + 4567;
    TempDir dir;
    WriteFile(dir.Path("first"), Pattern(1500));
    WriteFile(dir.Path("empty"), "");
    WriteFile(dir.Path("second"), Pattern(2048));
    WriteFile(dir.Path("large"), Pattern(largeSize));
    WriteFile(dir.Path("last"), Pattern(700));
    HeldFile first(dir.Path("first"));
    HeldFile second(dir.Path("second"));
    HeldFile large(dir.Path("large"));
    HeldFile last(dir.Path("last"));
    WipeQueue queue;
    for (const char* name : {"first", "empty", "second", "large", "last"})
        queue.AddPath(dir.Path(name));

    RandomWiper wiper;
    const time_t before = std::time(nullptr);
    RunOnFreshThread(wiper, queue);
    const time_t after = std::time(nullptr);

    const std::string firstContent = first.Read();
    const std::string secondContent = second.Read();
    ASSERT_EQ(firstContent.size(), 1500u);
    ASSERT_EQ(secondContent.size(), 2048u);
    EXPECT_EQ(MatchingRun(firstContent, before, after, 0), firstContent);
    EXPECT_EQ(MatchingRun(secondContent, before, after, 1500), secondContent);
    const std::string largeContent = large.Read();
    const std::string lastContent = last.Read();
    ASSERT_EQ(largeContent.size(), largeSize);
    EXPECT_EQ(MatchingRun(largeContent, before, after, 3548), largeContent);
    EXPECT_EQ(MatchingRun(lastContent, before, after, 3548 + largeSize), lastContent);
}

// A pass covers the larger of the queued and the present size, and the
// counters follow what is really written.
TEST(RandomWiper, GrownAndShrunkFilesAreOverwrittenCompletely)
{
    TempDir dir;
    WriteFile(dir.Path("grown"), Pattern(100));
    WriteFile(dir.Path("shrunk"), Pattern(5000));
    WipeQueue queue;
    queue.AddPath(dir.Path("grown"));
    queue.AddPath(dir.Path("shrunk"));
    WriteFile(dir.Path("grown"), Pattern(5000));
    ASSERT_EQ(::truncate(dir.Path("shrunk").c_str(), 100), 0);
    HeldFile grown(dir.Path("grown"));
    HeldFile shrunk(dir.Path("shrunk"));

    RandomWiper wiper;
    const RunResult run = RunOnFreshThread(wiper, queue);

    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "Total file size to be wiped: 5100 bytes");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(grown.Read().size(), 5000u);
    EXPECT_EQ(grown.Read().find("kkkk"), std::string::npos);
    EXPECT_EQ(shrunk.Read().size(), 5000u);
    EXPECT_EQ(shrunk.Read().find("kkkk"), std::string::npos);
    EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), 10000u);
    EXPECT_EQ(wiper.GetTotalBytes().GetValue(), 10000u);
    EXPECT_FALSE(Exists(dir.Path("grown")));
    EXPECT_FALSE(Exists(dir.Path("shrunk")));
}

TEST(RandomWiper, EntryQueuedBeforeItsFileExistedIsWipedAtItsPresentSize)
{
    TempDir dir;
    WipeQueue queue;
    queue.AddPath(dir.Path("late"));
    ASSERT_EQ(queue.Snapshot().at(0).size, QueueEntry::unknownSize);
    WriteFile(dir.Path("late"), Pattern(3000));

    RandomWiper wiper;
    const RunResult run = RunOnFreshThread(wiper, queue);

    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "Total file size to be wiped: 0 bytes");
    EXPECT_FALSE(Exists(dir.Path("late")));
    EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), 3000u);
    EXPECT_EQ(wiper.GetTotalBytes().GetValue(), 3000u);
}

// A file that has grown again after every round of its pass gets three more
// rounds, then is left in place and reported as growing; the run goes on.
TEST(RandomWiper, FileStillGrowingAfterThreeRoundsIsLeftAndReported)
{
    TempDir dir;
    WriteFile(dir.Path("growing"), Pattern(1500));
    WriteFile(dir.Path("next"), Pattern(100));
    WipeQueue queue;
    queue.AddPath(dir.Path("growing"));
    queue.AddPath(dir.Path("next"));

    int rounds = 0;
    RandomWiper wiper;
    RunResult run;
    {
        AfterPassHook hook([&](const wxString& path) {
            if (path != dir.Path("growing"))
                return;
            ++rounds;
            std::ofstream(dir.Path("growing"), std::ios::app) << Pattern(1000);
        });
        run = RunOnFreshThread(wiper, queue);
    }

    EXPECT_EQ(rounds, 4);
    EXPECT_EQ(run.err, "Failed to overwrite file: " + dir.Path("growing") + "\n"
                           + RunReport::LogLine(FailedEntry{dir.Path("growing"), WipeFailure::Growing, ""})
                           + "\n");
    const std::vector<FailedEntry> failures = Wiper::GetFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].reason, WipeFailure::Growing);
    EXPECT_TRUE(Exists(dir.Path("growing")));
    EXPECT_FALSE(Exists(dir.Path("next")));
    // The growth it gave up on was counted but never written.
    EXPECT_EQ(wiper.GetBytesProcessed().GetValue(), 1500u + 3 * 1000 + 100);
    EXPECT_EQ(wiper.GetTotalBytes().GetValue(), 1500u + 4 * 1000 + 100);
}
