// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunOutcome.h"
#include "engine/RunRecord.h"
#include "engine/VolumeWiper.h"
#include "engine/WipeRun.h"

#include <wx/string.h>

#include <thread>

// One wipe of a filesystem that is not mounted: VolumeWiper on a thread of
// its own, and the texts shown before and after it.
class VolumeRun : public WipeRun {
public:
    VolumeRun(const wxString& path, WipeMethod method);
    // Stops the run and waits for it: the device stays open until then.
    ~VolumeRun() override;
    VolumeRun(const VolumeRun&) = delete;
    VolumeRun& operator=(const VolumeRun&) = delete;

    bool Start() override;
    // Every write leaves the filesystem consistent: stopping loses nothing.
    void Stop() override { wiper.RequestStop(); }
    void Abandon() override { wiper.RequestStop(); }
    bool IsFinished() const override { return wiper.IsFinished(); }
    uint64_t BytesDone() const override { return wiper.BytesWritten(); }
    uint64_t TotalBytes() const override { return wiper.TotalBytes(); }
    wxString ProgressText(double percentage) const override;
    Outcome Finish() override;
    // What the run did, for the record; complete once Finish() has returned.
    const FreeSpaceOutcome& Details() const { return details; }
    // The same as the record a user saves from the box at the end.
    const RunRecord* Record() const override { return &record; }

    // The question before a run, and what a dry run says.
    static wxString Question(const wxString& path, const ExtVolume::Facts& facts, WipeMethod method);
    // What a finished run did, for the box at its end.
    static wxString Summary(const FreeSpaceWiper::Result& result);

private:
    VolumeWiper wiper;
    const WipeMethod method;
    std::thread thread;
    FreeSpaceOutcome details;
    RunRecord record;
};
