// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunOptions.h"
#include "engine/RunRecord.h"
#include "engine/RunSurvey.h"
#include "engine/WipeMethod.h"
#include "engine/WipeQueue.h"
#include "engine/WipeRun.h"
#include "engine/Wiper.h"

#include <memory>
#include <thread>

// A run over the queue: the method's Wiper, stored in the queue's wiper field
// while the run goes on, on a thread of its own, joined before the Wiper
// goes. Its end is told by a RunReport.
class FileRun : public WipeRun {
public:
    // survey: the queue's places, looked at for the run's questions; made
    // here when none is given.
    FileRun(WipeQueue& queue, WipeMethod method, const RunOptions& options = RunOptions(),
            std::shared_ptr<RunSurvey> survey = nullptr);
    // Waits for the thread, then deletes the Wiper.
    ~FileRun() override;
    FileRun(const FileRun&) = delete;
    FileRun& operator=(const FileRun&) = delete;

    // Writes "Failed to create wipe thread!" to standard error when the
    // thread cannot start.
    bool Start() override;
    void Stop() override;
    // The queue no longer names the Wiper; the file being overwritten is
    // finished first.
    void Abandon() override;
    bool IsFinished() const override { return Wiper::IsRunFinished(); }
    uint64_t BytesDone() const override { return wiper->GetBytesProcessed().GetValue(); }
    uint64_t TotalBytes() const override { return wiper->GetTotalBytes().GetValue(); }
    wxString ProgressText(double percentage) const override;
    wxString NoTotalText() const override { return "Ready"; }
    // The journals cleared after the files, while that takes its time.
    Step CurrentStep() const override;
    void LogProgress() const override;
    bool AsksBeforeClosing() const override { return true; }
    Outcome Finish() override;
    const RunRecord* Record() const override { return &record; }
    // The record moved out, once Finish() has returned.
    RunRecord TakeRecord() { return std::move(record); }

private:
    WipeQueue& queue;
    const WipeMethod method;
    std::unique_ptr<Wiper> wiper;
    // Joined, not detached: a process that ended as soon as the run said it
    // was finished could tear the toolkit down under a thread still leaving.
    std::thread thread;
    bool stopped = false;
    RunRecord record;
};
