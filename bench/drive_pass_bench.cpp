// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a whole-drive wipe, timed inside one run: from its start
// until every pass is on the drive (written and flushed), the read-back of
// all of it, and the discard. drive_bench.sh runs it on its own loop device
// beside dd, whose runs do none of the checks before nor the steps after.
// Usage: drive_pass_bench <loop device> [random|dod]
#include "engine/DriveWiper.h"

#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: drive_pass_bench <loop device> [random|dod]\n");
        return 2;
    }
    wxInitializer toolkit;
    const WipeMethod method = argc > 2 && std::strcmp(argv[2], "dod") == 0 ? WipeMethod::DoD : WipeMethod::Random;
    DriveWiper wiper(argv[1], method, DriveWiper::Verification::All);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::thread run([&wiper] { wiper.Run(); });
    // When each step began, seen by polling the run as a face does, but often.
    Clock::time_point began[5] = {start, start, start, start, start};
    for (DriveWiper::Phase seen = DriveWiper::Phase::Starting; seen != DriveWiper::Phase::Done;) {
        const DriveWiper::Phase now = wiper.CurrentPhase();
        for (int step = static_cast<int>(seen) + 1; step <= static_cast<int>(now); ++step)
            began[step] = Clock::now();
        seen = now;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    run.join();
    const DriveWiper::Result result = wiper.GetResult();
    if (!result.facts.complete) {
        std::fprintf(stderr, "drive_pass_bench: %s\n", result.facts.stopReason.utf8_str().data());
        for (const wxString& refusal : result.refusals)
            std::fprintf(stderr, "  %s\n", refusal.utf8_str().data());
        return 1;
    }
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    using P = DriveWiper::Phase;
    const auto at = [&began](P phase) { return began[static_cast<int>(phase)]; };
    // A step skipped began with the next one: a drive that takes no discard
    // spends no time in it.
    const Clock::time_point readEnd = at(P::Discarding);
    // Seconds: the passes with their flush (and the checks before), the read-back, the discard.
    std::printf("%.3f %.3f %.3f\n", seconds(start, at(P::Verifying)), seconds(at(P::Verifying), readEnd),
                seconds(readEnd, at(P::Done)));
    return 0;
}
