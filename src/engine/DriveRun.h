// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/DriveWiper.h"
#include "engine/WipeRun.h"
#include "platform/DriveList.h"

#include <wx/stopwatch.h>
#include <wx/string.h>

#include <thread>

// One whole-drive wipe: DriveWiper on a thread of its own, and the texts
// shown before and after it. Stopping leaves the drive partly wiped.
class DriveRun : public WipeRun {
public:
    DriveRun(const wxString& path, WipeMethod method, DriveWiper::Verification verification);
    // Stops the run and waits for it: the drive stays held until then.
    ~DriveRun() override;
    DriveRun(const DriveRun&) = delete;
    DriveRun& operator=(const DriveRun&) = delete;

    bool Start() override;
    void Stop() override { wiper.RequestStop(); }
    void Abandon() override { wiper.RequestStop(); }
    bool IsFinished() const override { return wiper.IsFinished(); }
    uint64_t BytesDone() const override { return wiper.BytesDone(); }
    uint64_t TotalBytes() const override { return wiper.TotalBytes(); }
    // "Wiping the drive: 12.34%, 85.30 MB/s, 5 min left", "Verifying the
    // drive: ...", "Discarding...".
    wxString ProgressText(double percentage) const override;
    bool AsksBeforeClosing() const override { return true; }
    Outcome Finish() override;
    // What the run did; complete once Finish() has returned.
    const DriveWiper::Result& Details() const { return details; }

    // The question before a run: the drive, what the run does and that it
    // cannot be undone.
    static wxString Question(const DriveList::Drive& drive, WipeMethod method,
                             DriveWiper::Verification verification);
    // What a finished run did, for the box at its end and the command line.
    static wxString Summary(const DriveWiper::Result& result);
    // What the box at the end of a run with result says.
    static Outcome Ended(const DriveWiper::Result& result);
    // The status text of a run in phase, done of total bytes after
    // elapsedMs: the share, the rate and the time left.
    static wxString PhaseText(DriveWiper::Phase phase, double percentage, uint64_t done, uint64_t total,
                              long long elapsedMs);
    // The passes of a method, as the facts name them ("0x00, 0xFF, random block").
    static wxString PatternText(WipeMethod method);

private:
    DriveWiper wiper;
    wxStopWatch clock;  // since Start, for the rate
    std::thread thread;
    DriveWiper::Result details;
};
