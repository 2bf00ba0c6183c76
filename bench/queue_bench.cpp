// SPDX-License-Identifier: GPL-3.0-or-later
// Times what a large queue costs the user: adding a folder of files and
// showing them, scrolling the list to its end, removing every row at once with
// the Remove button, and the peak memory of the process through all of it.
// Then the folder is queued again and emptied one entry at a time, as a wipe
// run does. Needs a display (run under xvfb-run -a).
// Usage: queue_bench [files [folder]]; a folder given is filled once and kept,
// so that later rounds skip making the files.
#include "StatusMiB.h"
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "MainFrame.h"
#include "QueueListCtrl.h"

namespace {

long ThreadCpuMs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

struct Scroll {
    long steps = 0;
    long longestGapMs = 0;
    long stepAtLongest = 0;  // scroll steps taken when it ended
    // The longest single step: the window's own share of a stall, where the
    // rest is the machine giving the process no time.
    long longestStepMs = 0;
    long longestStepCpuMs = 0;
    long totalMs = 0;
};

// Scrolls the list from its top to its last row in jumps, as dragging the
// scroll bar does, then page by page over the last rows, one step per 20 ms
// tick of the event loop. A second timer ticks every 10 ms: the longest gap
// between its ticks is the longest the window stood still.
Scroll ScrollToTheEnd(MainFrame* frame)
{
    QueueListCtrl* list = frame->queueList;
    const long rows = list->GetItemCount();
    const long jumps = 100, pages = 50;
    const long page = std::max(1, list->GetCountPerPage());
    Scroll result;
    wxGUIEventLoop loop;
    wxStopWatch sinceTick, total;
    wxTimer ticker(frame, wxID_HIGHEST + 1), stepper(frame, wxID_HIGHEST + 2);
    bool ticked = false;
    frame->Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (ticked && sinceTick.Time() > result.longestGapMs) {
            result.longestGapMs = sinceTick.Time();
            result.stepAtLongest = result.steps;
        }
        ticked = true;
        sinceTick.Start();
    }, ticker.GetId());
    frame->Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxStopWatch stepClock;
        const long cpuBefore = ThreadCpuMs();
        const long step = result.steps++;
        long row;
        if (step < jumps)
            row = rows * (step + 1) / jumps - 1;
        else
            row = rows - 1 - (jumps + pages - 1 - step) * page;
        list->EnsureVisible(std::max(0L, std::min(rows - 1, row)));
        list->Update();
        result.longestStepMs = std::max(result.longestStepMs, stepClock.Time());
        result.longestStepCpuMs = std::max(result.longestStepCpuMs, ThreadCpuMs() - cpuBefore);
        if (step + 1 >= jumps + pages)
            loop.Exit();
    }, stepper.GetId());
    ticker.Start(10);
    stepper.Start(20);
    loop.Run();
    ticker.Stop();
    stepper.Stop();
    result.totalMs = total.Time();
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 100000;
    char pattern[] = "/tmp/vorlix-queue-bench-XXXXXX";
    const bool kept = argc > 2;
    const std::string dir = kept ? argv[2] : mkdtemp(pattern);
    if (kept)
        mkdir(dir.c_str(), 0700);
    for (long i = 0; i < count; ++i) {
        const std::string file = dir + "/file-" + std::to_string(i);
        if (!kept || access(file.c_str(), F_OK) != 0)
            close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    }

    wxApp::SetInstance(new wxApp);
    int appArgc = 1;
    if (!wxEntryStart(appArgc, argv)) {
        std::fprintf(stderr, "queue_bench needs a display\n");
        return 1;
    }
    {
        auto* frame = new MainFrame("Vorlix");
        frame->Show();
        wxArrayString folder;
        folder.Add(dir);
        const long startMiB = StatusMiB("VmRSS");

        wxStopWatch clock;
        frame->AddPaths(folder);  // walk, AddPath per file, one rebuild of the list
        const long addMs = clock.Time();
        const long shownRows = frame->queueList->GetItemCount();
        const long addedMiB = StatusMiB("VmRSS");
        clock.Start();
        frame->queueList->Update();
        const long showMs = clock.Time();

        const Scroll scroll = ScrollToTheEnd(frame);

        clock.Start();
        frame->queueList->SetItemState(-1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        wxCommandEvent click(wxEVT_BUTTON, frame->removeButton->GetId());
        click.SetEventObject(frame->removeButton);
        frame->removeButton->GetEventHandler()->ProcessEvent(click);
        const long removeAllMs = clock.Time();
        const long leftAfterRemove = static_cast<long>(frame->wipeQueue.Count());
        const long peakMiB = StatusMiB("VmHWM");

        frame->AddPaths(folder);
        clock.Start();
        for (const QueueEntry& entry : frame->wipeQueue.Snapshot())
            frame->wipeQueue.RemovePath(entry.path);
        const long removeOneByOneMs = clock.Time();

        std::printf("%-46s %10s %10s\n", "operation", "measured", "goal");
        std::printf("%-46s %7ld ms %7s ms\n", "add folder of files + rebuild list", addMs, "10000");
        std::printf("%-46s %7ld ms %10s\n", "paint the list", showMs, "-");
        std::printf("%-46s %7ld ms %7s ms\n", "longest stall while scrolling to the end", scroll.longestGapMs,
                    "150");
        std::printf("%-46s %7ld ms %10s\n", "  longest single scroll step", scroll.longestStepMs, "-");
    std::printf("%-46s %7ld ms %10s\n", "  the same in processor time", scroll.longestStepCpuMs, "-");
    std::printf("%-46s %7ld ms %10s\n", "  all scroll steps, at one per 20 ms", scroll.totalMs, "-");
        std::printf("%-46s %7ld ms %10s\n", "select all + Remove button", removeAllMs, "-");
        std::printf("%-46s %6ld MiB %10s\n", "resident at start", startMiB, "-");
        std::printf("%-46s %6ld MiB %10s\n", "resident after adding", addedMiB, "-");
        std::printf("%-46s %6ld MiB %6s MiB\n", "peak (VmHWM) through remove all", peakMiB, "600");
        std::printf("%-46s %7ld ms %10s\n", "queue again, remove one by one as a run does", removeOneByOneMs,
                    "-");
        std::printf("%-46s %6ld MiB %10s\n", "peak (VmHWM) overall", StatusMiB("VmHWM"), "-");
        std::printf("entries: %ld, list rows shown: %ld, scroll steps: %ld (longest stall after %ld), left after "
                    "Remove: %ld\n",
                    count, shownRows, scroll.steps, scroll.stepAtLongest, leftAfterRemove);
        frame->Destroy();
    }
    wxEntryCleanup();
    if (!kept)
        std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
