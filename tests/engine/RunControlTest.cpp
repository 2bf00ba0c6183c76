// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"

#include "engine/DoDWiper.h"
#include "engine/FileRun.h"
#include "engine/RandomWiper.h"
#include "engine/WipeThread.h"
#include "support/LoopFilesystem.h"

#include <wx/utils.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

// What a poller sees of the class-wide run state at one moment.
struct Progress {
    uint64_t processed;
    uint64_t total;
    bool completed;
    bool finished;
    bool operator==(const Progress& other) const
    {
        return processed == other.processed && total == other.total && completed == other.completed
               && finished == other.finished;
    }
};

std::ostream& operator<<(std::ostream& out, const Progress& p)
{
    return out << "{" << p.processed << "/" << p.total << (p.completed ? " completed" : "")
               << (p.finished ? " finished" : "") << "}";
}

Progress Poll(Wiper& wiper)
{
    return {wiper.GetBytesProcessed().GetValue(), wiper.GetTotalBytes().GetValue(), wiper.IsCompleted(),
            Wiper::IsRunFinished()};
}

class ExposedWipeThread : public WipeThread {
public:
    using WipeThread::WipeThread;
    using WipeThread::Entry;
};

}  // namespace

// The window's view of a run on the wipe thread: nothing is completed before
// the run, the counters climb pass by pass while it runs, and both the counters
// and the finished flag say so at its end.
TEST(RunControl, CountersAndFlagsBeforeDuringAndAfterARun)
{
    TempDir dir;
    WriteFile(dir.Path("a"), Pattern(3000));
    WriteFile(dir.Path("b"), Pattern(1000));
    WipeQueue queue;
    queue.AddPath(dir.Path("a"));
    queue.AddPath(dir.Path("b"));
    DoDWiper wiper;

    Wiper::ResetRun();
    EXPECT_EQ(Poll(wiper), (Progress{0, UINT64_MAX, false, false}));

    std::vector<Progress> during;
    {
        AfterPassHook hook([&](const wxString&) { during.push_back(Poll(wiper)); });
        const RunResult run = RunOnWipeThread(wiper, queue);
        EXPECT_EQ(run.out, "Total file size to be wiped: 12000 bytes\n"
                           "[US DoD]Secure file deletion completed.\n");
    }

    const std::vector<Progress> expected = {
        {3000, 12000, false, false}, {6000, 12000, false, false},  {9000, 12000, false, false},
        {10000, 12000, false, false}, {11000, 12000, false, false}, {12000, 12000, true, false}};
    EXPECT_EQ(during, expected);
    EXPECT_EQ(Poll(wiper), (Progress{12000, 12000, true, true}));
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_FALSE(Exists(dir.Path("a")));
    EXPECT_FALSE(Exists(dir.Path("b")));

    // Until the next run starts, the last one's end stays visible; ResetRun
    // clears it so that a poller cannot take it for the next run's end.
    EXPECT_TRUE(wiper.IsCompleted());
    Wiper::ResetRun();
    EXPECT_EQ(Poll(wiper), (Progress{0, UINT64_MAX, false, false}));
}

// A path handed over while a run goes on is wiped in a later batch of the same
// run, after the first batch has left the queue; the total grows by it when it
// is opened, so the run still ends with equal counters.
TEST(RunControl, EntryAddedDuringARunIsWipedInALaterBatch)
{
    TempDir dir;
    WriteFile(dir.Path("first"), Pattern(2000));
    WriteFile(dir.Path("second"), Pattern(100));
    WriteFile(dir.Path("late"), Pattern(500));
    WipeQueue queue;
    queue.AddPath(dir.Path("first"));
    queue.AddPath(dir.Path("second"));
    RandomWiper wiper;

    std::vector<std::string> order;
    bool firstBatchGoneBeforeLate = false;
    {
        AfterPassHook hook([&](const wxString& path) {
            order.push_back(path.ToStdString());
            if (path == dir.Path("first"))
                queue.AddPath(dir.Path("late"));
            if (path == dir.Path("late"))
                firstBatchGoneBeforeLate = queue.Count() == 1 && !queue.Contains(dir.Path("first"));
        });
        const RunResult run = RunOnWipeThread(wiper, queue);
        EXPECT_EQ(run.out, "Total file size to be wiped: 2100 bytes\n"
                           "[PseudoRandom] Secure file deletion completed.\n");
    }

    EXPECT_EQ(order, (std::vector<std::string>{dir.Path("first"), dir.Path("second"), dir.Path("late")}));
    EXPECT_TRUE(firstBatchGoneBeforeLate);
    EXPECT_FALSE(Exists(dir.Path("late")));
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(Poll(wiper), (Progress{2600, 2600, true, true}));
}

// A stop ends the run after the file being wiped, never in the middle of it:
// the rest stays queued and untouched, and the run still ends properly.
TEST(RunControl, StopRequestEndsTheRunAfterTheCurrentFile)
{
    TempDir dir;
    for (const char* name : {"a", "b", "c"})
        WriteFile(dir.Path(name), Pattern(1500));
    WipeQueue queue;
    for (const char* name : {"a", "b", "c"})
        queue.AddPath(dir.Path(name));
    DoDWiper wiper;

    int passes = 0;
    {
        AfterPassHook hook([&](const wxString&) {
            if (++passes == 1)
                Wiper::RequestStop();
        });
        const RunResult run = RunOnWipeThread(wiper, queue);
        // The line agrees with the box: the run was stopped.
        EXPECT_EQ(run.out, "Total file size to be wiped: 13500 bytes\n"
                           "[US DoD]Secure file deletion stopped.\n");
        EXPECT_TRUE(run.failed.empty());
    }

    EXPECT_EQ(passes, 3);
    EXPECT_FALSE(Exists(dir.Path("a")));
    EXPECT_EQ(ReadFile(dir.Path("b")), Pattern(1500));
    EXPECT_EQ(ReadFile(dir.Path("c")), Pattern(1500));
    EXPECT_EQ(queue.Count(), 2u);
    EXPECT_TRUE(queue.Contains(dir.Path("b")) && queue.Contains(dir.Path("c")));
    EXPECT_EQ(Poll(wiper), (Progress{4500, 13500, false, true}));

    // The next run starts without the old request and wipes the rest.
    RunOnWipeThread(wiper, queue);
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_FALSE(Exists(dir.Path("b")));
    EXPECT_FALSE(Exists(dir.Path("c")));
}

// Stopped at once while a file's last pass is being synced: the pass has
// reached the device, so the file is wiped (deleted and counted), though the
// run is stopped; one stopped before its last pass is kept, partly
// overwritten. The line, the record and the man page say the same.
TEST(RunControl, StopNowDuringTheLastSyncStillWipesTheFileAndKeepsTheRest)
{
    TempDir dir;
    for (const char* name : {"a", "b", "c"})
        WriteFile(dir.Path(name), Pattern(1500));
    WipeQueue queue;
    for (const char* name : {"a", "b", "c"})
        queue.AddPath(dir.Path(name));
    DoDWiper wiper;
    int passes = 0;
    {
        // The hook runs once a pass's sync has returned: as late in it as a
        // stop can come.
        AfterPassHook hook([&](const wxString&) {
            if (++passes == 3)
                Wiper::RequestStopNow();
        });
        RunOnWipeThread(wiper, queue);
    }
    EXPECT_FALSE(Exists(dir.Path("a")));
    EXPECT_EQ(ReadFile(dir.Path("b")), Pattern(1500));
    EXPECT_EQ(Wiper::GetTotals().filesWiped, 1u);
    ASSERT_EQ(Wiper::GetOutcomes().size(), 1u);
    EXPECT_EQ(Wiper::GetOutcomes()[0].reason, WipeFailure::None);

    // Stopped after the first of three passes: kept, and said to be.
    passes = 0;
    {
        AfterPassHook hook([&](const wxString&) {
            if (++passes == 1)
                Wiper::RequestStopNow();
        });
        RunOnWipeThread(wiper, queue);
    }
    EXPECT_EQ(ReadFile(dir.Path("b")), std::string(1500, '\0'));
    ASSERT_EQ(Wiper::GetOutcomes().size(), 1u);
    EXPECT_EQ(Wiper::GetOutcomes()[0].reason, WipeFailure::Stopped);
    EXPECT_EQ(Wiper::GetTotals().bytesOverwritten, 1500u);
    EXPECT_EQ(ReadFile(dir.Path("c")), Pattern(1500));
}

// Stop while another user's run pushes the journal round: the push ends
// before it is through, the file stays wiped, the step's own progress was
// there to see, and the box and the record say the journal was not cleared.
TEST(RunControl, StopDuringTheJournalPushEndsItAndTheRecordSaysNotCleared)
{
    // 16,384 journal blocks: a push of several seconds.
    LoopFilesystem fs("ext4", "256M", "-b 4096 -J size=64");
    if (!fs.Usable())
        GTEST_SKIP() << "skipped: mounting a loop device needs root";
    const std::string docs = fs.Path("docs"), file = docs + "/wiped";
    ASSERT_EQ(::mkdir(docs.c_str(), 0777), 0);
    ASSERT_EQ(::chmod((fs.Path("") + "..").c_str(), 0755), 0);
    WriteSynced(file, Pattern(4096));
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(docs.c_str(), 65534, 65534), 0);
    TempDir out;
    const int status = RunUnprivileged(
        [&] {
            WipeQueue queue;
            queue.AddPath(file);
            FileRun run(queue, WipeMethod::Random);
            if (!run.Start())
                return 10;
            WipeRun::Step step;
            while (!run.IsFinished() && (step = run.CurrentStep()).name.empty())
                wxMilliSleep(1);
            if (step.name != "Clearing the journal..." || step.total < 16384 || step.done >= step.total)
                return 11;
            run.Stop();
            while (!run.IsFinished())
                wxMilliSleep(1);
            std::cout << run.Finish().message << "\n" << run.Record()->Json() << std::endl;
            return 0;
        },
        out.Path("out"), out.Path("err"));
    if (status == -1)
        GTEST_SKIP() << "could not drop privileges";
    const std::string said = ReadFile(out.Path("out"));
    ASSERT_EQ(status, 0) << said << ReadFile(out.Path("err"));
    EXPECT_FALSE(Exists(file));
    EXPECT_NE(said.find("\"outcome\": \"wiped\""), std::string::npos) << said;
    EXPECT_NE(said.find("\"journal_cleared\": false"), std::string::npos) << said;
    EXPECT_NE(said.find("The filesystem's journal was not cleared"), std::string::npos) << said;
    // Nothing of the push is left behind.
    EXPECT_EQ(::rmdir(docs.c_str()), 0);
}

// Stopped at once in the middle of a large file, while its next bytes are
// being made ahead: the run ends promptly with the file kept and said to be
// stopped, and the file after it untouched.
TEST(RunControl, StopNowWhileTheRandomBytesAreMadeAheadKeepsTheFile)
{
    TempDir dir;
    WriteFile(dir.Path("large"), Pattern(4 << 20));
    WriteFile(dir.Path("next"), Pattern(1500));
    WipeQueue queue;
    queue.AddPath(dir.Path("large"));
    queue.AddPath(dir.Path("next"));
    RandomWiper wiper;
    {
        // Grown after its first round, so that the pass goes on past the
        // stop; the first round has already had windows made ahead.
        AfterPassHook hook([&](const wxString& path) {
            if (path != dir.Path("large") || Wiper::IsStopNowRequested())
                return;
            std::ofstream(dir.Path("large"), std::ios::app) << Pattern(4 << 20);
            Wiper::RequestStopNow();
        });
        RunOnWipeThread(wiper, queue);
    }
    EXPECT_TRUE(Wiper::IsRunFinished());
    EXPECT_TRUE(Exists(dir.Path("large")));
    EXPECT_EQ(ReadFile(dir.Path("next")), Pattern(1500));
    ASSERT_EQ(Wiper::GetOutcomes().size(), 1u);
    EXPECT_EQ(Wiper::GetOutcomes()[0].reason, WipeFailure::Stopped);
    EXPECT_EQ(Wiper::GetTotals().bytesOverwritten, uint64_t{4 << 20});
}

TEST(RunControl, ThreadWithoutAWiperReturnsAtOnce)
{
    TempDir dir;
    WriteFile(dir.Path("a"), Pattern(100));
    WipeQueue queue;
    queue.AddPath(dir.Path("a"));
    ExposedWipeThread thread(&queue);
    wxThread::ExitCode code = reinterpret_cast<wxThread::ExitCode>(1);
    const RunResult run = Capture([&] { code = thread.Entry(); });
    EXPECT_EQ(code, nullptr);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(ReadFile(dir.Path("a")), Pattern(100));
    EXPECT_EQ(queue.Count(), 1u);
}
