// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/FreeSpaceWiper.h"
#include "engine/RunOutcome.h"
#include "engine/RunRecord.h"
#include "engine/WipeRun.h"

#include <wx/string.h>

#include <memory>
#include <thread>

// One free-space wipe: the engine on a thread of its own, and the texts shown
// before and after it.
class FreeSpaceRun : public WipeRun {
public:
    FreeSpaceRun(const wxString& folder, WipeMethod algorithm);
    // Stops the run and waits for it: nothing it made may outlive the window.
    ~FreeSpaceRun() override;
    FreeSpaceRun(const FreeSpaceRun&) = delete;
    FreeSpaceRun& operator=(const FreeSpaceRun&) = delete;

    bool Start() override;
    // The engine deletes what it made and then finishes.
    void Stop() override { wiper.RequestStop(); }
    void Abandon() override { wiper.RequestStop(); }
    bool IsFinished() const override { return wiper.IsFinished(); }
    uint64_t BytesDone() const override { return wiper.BytesWritten(); }
    uint64_t TotalBytes() const override { return wiper.TotalBytes(); }
    wxString ProgressText(double percentage) const override;
    Step CurrentStep() const override;
    // Waits for the thread (finished already, once IsFinished) and tells what it did.
    Outcome Finish() override;
    // What the run did, for the record; complete once Finish() has returned.
    const FreeSpaceOutcome& Details() const { return details; }
    // The same as the record a user saves from the box at the end.
    const RunRecord* Record() const override { return &record; }

    // The question before a run: the filesystem, its free space and what the
    // run does to it.
    static wxString Question(const wxString& folder, const FreeSpaceWiper::Check& check,
                             WipeMethod algorithm);
    // What a finished run did, for the box at its end.
    static wxString Summary(const FreeSpaceWiper::Result& result);
    // What the box at the end of a run with result says, and what the record
    // keeps of it (details' folder and start are the caller's).
    static Outcome Ended(const FreeSpaceWiper::Result& result, FreeSpaceOutcome& details);
    // The free space only an administrator's run reaches, and what staying
    // out of it means; said before a run that leaves it.
    static wxString AdminOnlyText(uint64_t bytes);
    // The folder as the record names it: in full.
    static wxString AbsoluteFolder(const wxString& folder);

private:
    FreeSpaceWiper wiper;
    const WipeMethod algorithm;
    std::thread thread;
    FreeSpaceOutcome details;
    RunRecord record;
};
