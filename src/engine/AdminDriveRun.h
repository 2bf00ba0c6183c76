// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/DriveLines.h"
#include "engine/DriveWiper.h"
#include "engine/WipeMethod.h"
#include "engine/WipeRun.h"
#include "platform/PrivilegedStep.h"

#include <wx/stopwatch.h>
#include <wx/string.h>

#include <atomic>
#include <thread>

// A whole-drive wipe with administrator rights: vorlix-privileged's
// wipe-drive job runs DriveWiper as root through polkit and tells how it
// goes in DriveLines, which a thread of this run reads. To the face it is a
// DriveRun: the same progress texts, the same box at its end.
class AdminDriveRun : public WipeRun {
public:
    AdminDriveRun(const wxString& path, WipeMethod method, DriveWiper::Verification verification);
    // Tells the job to stop and waits for it: the drive stays held until then.
    ~AdminDriveRun() override;
    AdminDriveRun(const AdminDriveRun&) = delete;
    AdminDriveRun& operator=(const AdminDriveRun&) = delete;

    bool Start() override;
    void Stop() override { step.Send("stop"); }
    void Abandon() override { step.Send("stop"); }
    bool IsFinished() const override { return finished.load(); }
    uint64_t BytesDone() const override { return done.load(); }
    uint64_t TotalBytes() const override { return total.load(); }
    wxString ProgressText(double percentage) const override;
    bool AsksBeforeClosing() const override { return true; }
    Outcome Finish() override;

    // Once finished: polkit refused (or the user dismissed) the
    // authentication, and nothing ran as root.
    bool NotAuthorized() const { return notAuthorized; }
    // What the job said it did; where it said nothing, the drive and the
    // method with why the run is not complete. Complete once Finish() has
    // returned.
    const DriveWiper::Result& Details() const { return details; }

private:
    void Read();

    const wxString path;
    const WipeMethod method;
    const DriveWiper::Verification verification;
    PrivilegedStep step;
    wxStopWatch clock;  // since Start, for the rate
    std::thread thread;
    std::atomic<bool> finished{false};
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};
    std::atomic<DriveWiper::Phase> phase{DriveWiper::Phase::Starting};
    // The reader thread's until finished, then the caller's.
    DriveLines lines;
    int status = -1;
    bool notAuthorized = false;
    DriveWiper::Result details;
};
