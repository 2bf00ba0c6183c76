// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/FreeSpaceLines.h"
#include "engine/RunOutcome.h"
#include "engine/RunRecord.h"
#include "engine/WipeMethod.h"
#include "engine/WipeRun.h"
#include "platform/PrivilegedStep.h"

#include <wx/string.h>

#include <atomic>
#include <mutex>
#include <thread>

// A free-space wipe with administrator rights: vorlix-privileged runs the
// engine as root through polkit and tells how it goes in FreeSpaceLines,
// which a thread of this run reads. To the face it is a FreeSpaceRun: the
// same progress, the same box at its end.
class AdminFreeSpaceRun : public WipeRun {
public:
    AdminFreeSpaceRun(const wxString& folder, WipeMethod algorithm);
    // Tells the job to stop and waits for it: nothing it made may outlive the window.
    ~AdminFreeSpaceRun() override;
    AdminFreeSpaceRun(const AdminFreeSpaceRun&) = delete;
    AdminFreeSpaceRun& operator=(const AdminFreeSpaceRun&) = delete;

    bool Start() override;
    void Stop() override { step.Send("stop"); }
    void Abandon() override { step.Send("stop"); }
    bool IsFinished() const override { return finished.load(); }
    uint64_t BytesDone() const override { return done.load(); }
    uint64_t TotalBytes() const override { return total.load(); }
    wxString ProgressText(double percentage) const override;
    Outcome Finish() override;

    // Once finished: polkit refused (or the user dismissed) the
    // authentication, and nothing ran as root.
    bool NotAuthorized() const { return notAuthorized; }
    const wxString& Folder() const { return folder; }
    WipeMethod Method() const { return algorithm; }
    const FreeSpaceOutcome& Details() const { return details; }
    // None where polkit said no: nothing ran.
    const RunRecord* Record() const override { return notAuthorized ? nullptr : &record; }

private:
    void Read();

    const wxString folder;
    const WipeMethod algorithm;
    PrivilegedStep step;
    std::thread thread;
    std::atomic<bool> finished{false};
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};
    // The reader thread's until finished, then the caller's.
    FreeSpaceLines lines;
    int status = -1;
    bool notAuthorized = false;
    FreeSpaceOutcome details;
    RunRecord record;
};
