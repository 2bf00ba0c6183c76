#pragma once

#include "engine/WipeQueue.h"
#include "platform/Discard.h"
#include "platform/StorageMedium.h"
#include "platform/WipeFailure.h"

#include <wx/longlong.h>
#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class FileOverwriter;

// What one run did, for its summary line.
struct RunTotals {
    uint64_t filesWiped = 0;        // overwritten and deleted
    uint64_t bytesOverwritten = 0;  // their sizes, each once however many passes
    long long elapsedMs = 0;        // from the run's start to its end
    bool periodicTrim = false;      // the system discards free space on a schedule
};

// One file a run reached, wiped or not, for the run's record, and what was
// done for the drive it was on.
struct FileOutcome {
    wxString path;
    uint64_t size = 0;              // what each pass covers; 0 for a file never opened
    uint64_t bytesOverwritten = 0;  // written to it over all passes (holes skipped)
    WipeFailure reason = WipeFailure::None;
    wxString detail;
    StorageMedium::Kind medium = StorageMedium::Kind::Unknown;  // Unknown also when never looked at
    Discard::Outcome discard = Discard::Outcome::NotAsked;
    uint64_t discardedBytes = 0;
};

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
    // How many files the current run has finished with, wiped or not.
    static uint64_t FilesReached();
    // The files the last run wiped, in the order met, with their drives.
    static std::vector<FileOutcome> GetWiped();
    // Marks the run as ended without a Wipe, when its thread could not start.
    static void FinishRun();
    // Asks the running Wipe to stop after the file it is working on.
    static void RequestStop();
    // Asks the running Wipe to stop at once: the file being overwritten is left
    // as it is, not deleted, and reported as stopped.
    static void RequestStopNow();
    static bool IsStopNowRequested();

    // The window's log lines: the total and final lines on standard output and
    // the failed step before each "Not wiped" line. The command line turns
    // them off, to keep to one line per file not wiped, and its lines show
    // names quoted as a shell reads them (ShellQuote).
    static std::atomic<bool> logSteps;
    // Whether each file's last pass is read back from the device and compared
    // before the file is deleted. Set only while no run goes on.
    static std::atomic<bool> verifyLastPass;

protected:
    // Runs every pass of one algorithm over one opened file; false once a pass
    // has failed (the failure is already reported).
    using PassesFunction = std::function<bool(FileOverwriter& file)>;

    // The start of every run: resets the counters, sums the queued sizes times
    // passesPerFile into totalBytes, writes the total line and returns the first
    // batch, the queue as it was summed.
    static std::vector<QueueEntry> BeginRun(WipeQueue* queue, unsigned passesPerFile);
    // The batch loop, starting with firstBatch: wipes and dequeues batch after
    // batch until the queue is empty or a stop was requested.
    static void RunBatches(WipeQueue* queue, std::vector<QueueEntry> firstBatch,
                           unsigned passesPerFile, const PassesFunction& passes);
    // Writes the algorithm's final line (methodTag followed by "Secure file
    // deletion completed." or, when a stop was asked for, "... stopped.") and
    // marks the run finished.
    static void EndRun(const char* methodTag);

    static std::atomic<uint64_t> bytesProcessed;
    static std::atomic<uint64_t> totalBytes;
};
