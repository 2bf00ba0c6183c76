// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/FileOverwriter.h"
#include "engine/RunOptions.h"
#include "engine/RunOutcome.h"
#include "engine/RunSurvey.h"
#include "engine/WipeQueue.h"

#include <wx/longlong.h>
#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Block size of every pass: the unit in which its bytes are made.
constexpr size_t WIPE_BLOCK_SIZE = 1024;

// One overwrite algorithm. The progress state is class-wide: one run at a time
// per process, and the window polls it from its timer without a lock.
class Wiper {
public:
    virtual ~Wiper() = default;

    // Runs on the wipe thread: overwrites, deletes and dequeues every queued file,
    // batch by batch, until the queue is empty (or a stop was requested).
    virtual void Wipe(WipeQueue* queue) = 0;

    // How the next Wipe goes; set before its thread starts.
    void SetOptions(const RunOptions& runOptions) { options = runOptions; }
    const RunOptions& Options() const { return options; }
    // The places of the queued files, looked at before the run, and its
    // first batch; without one, Wipe looks at the queue itself. Files queued
    // later are added to it as the run meets them.
    void SetSurvey(std::shared_ptr<RunSurvey> runSurvey) { survey = std::move(runSurvey); }
    const std::shared_ptr<RunSurvey>& Survey() const { return survey; }

    virtual wxULongLong GetBytesProcessed();
    virtual wxULongLong GetTotalBytes();
    // True exactly when both counters are equal.
    virtual bool IsCompleted();

    // Called on the GUI thread before a run's thread starts, so that a poller never
    // takes the previous run's equal counters for this run's end.
    static void ResetRun();
    // True once the current run's Wipe has written its final line.
    static bool IsRunFinished();
    // Paths that were not wiped in the last run (open, overwrite or delete failed,
    // or refused). Meaningful once IsRunFinished() is true.
    static std::vector<wxString> GetFailedPaths();
    // The same entries with the reason each was not wiped, in the order met.
    static std::vector<FailedEntry> GetFailures();
    // Meaningful once IsRunFinished() is true.
    static RunTotals GetTotals();
    // Every file the last run reached, in the order met.
    static std::vector<FileOutcome> GetOutcomes();
    // The same, moved out once the run is finished: they are as many as its files.
    static std::vector<FileOutcome> TakeOutcomes();
    // What the desktop kept of the wiped files, by outcome index, moved out
    // once the run is finished.
    static std::vector<TraceOutcome> TakeTraces();
    // How many files the current run has finished with, wiped or not.
    static uint64_t FilesReached();
    // The files the last run wiped, in the order met, with their drives.
    static std::vector<FileOutcome> GetWiped();
    // While the journals are cleared after the files: the blocks logged and
    // the journal's blocks; false outside that step.
    static bool JournalStep(uint64_t& logged, uint64_t& blocks);
    // Marks the run as ended without a Wipe, when its thread could not start.
    static void FinishRun();
    // Asks the running Wipe to stop after the file it is working on.
    static void RequestStop();
    // Asks the running Wipe to stop at once: the file being overwritten is left
    // as it is, not deleted, and reported as stopped.
    static void RequestStopNow();
    static bool IsStopNowRequested();

protected:
    // Runs every pass of one algorithm over one opened file; false once a pass
    // has failed (the failure is already reported).
    using PassesFunction = std::function<bool(FileOverwriter& file)>;

    // The start of every run: resets the counters, sums the queued sizes times
    // passesPerFile (the method's; the zero pass is added here) into totalBytes, writes the total line and returns the first
    // batch, the survey's, as it was summed.
    std::vector<QueuedFile> BeginRun(WipeQueue* queue, unsigned passesPerFile);
    // The batch loop, starting with firstBatch: wipes and dequeues batch after
    // batch until the queue is empty or a stop was requested. passesPerFile
    // and passes are the method's; the options' zero pass follows them.
    void RunBatches(WipeQueue* queue, std::vector<QueuedFile> firstBatch, unsigned passesPerFile,
                    const PassesFunction& passes);
    // Writes the algorithm's final line (methodTag followed by "Secure file
    // deletion completed." or, when a stop was asked for, "... stopped.") and
    // marks the run finished.
    void EndRun(const char* methodTag);

    RunOptions options;
    std::shared_ptr<RunSurvey> survey;

    static std::atomic<uint64_t> bytesProcessed;
    static std::atomic<uint64_t> totalBytes;

private:
    unsigned WithZeroPass(unsigned methodPasses) const { return methodPasses + (options.zeroPass ? 1 : 0); }
    // Once the files are wiped: their thumbnails and recent-files entries,
    // wiped with passes; the folders touched are added to wipedFolders.
    void RemoveTraces(const std::vector<size_t>& wiped, const FileOverwriter::Control& control, unsigned passesPerFile,
                      const PassesFunction& passes, std::vector<wxString>& wipedFolders);
};
