// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Wiper.h"

#include "engine/ConsoleText.h"
#include "engine/RunReport.h"
#include "engine/FileOverwriter.h"
#include "engine/JournalPush.h"
#include "engine/ShellQuote.h"
#include "engine/SyncBatch.h"
#include "engine/TraceSweep.h"
#include "platform/CrashRecord.h"
#include "platform/PathBinding.h"

#include <chrono>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>

std::atomic<uint64_t> Wiper::bytesProcessed{0};
std::atomic<uint64_t> Wiper::totalBytes{UINT64_MAX};

namespace {

std::atomic<bool> runFinished{false};
std::atomic<bool> stopRequested{false};
std::atomic<bool> stopNowRequested{false};

std::atomic<uint64_t> filesReached{0};
JournalPush::Progress journalProgress;

std::mutex failedMutex;  // guards failures, outcomes, traces, totals and runStart
std::vector<FailedEntry> failures;
std::vector<FileOutcome> outcomes;
std::vector<TraceOutcome> traces;
RunTotals totals;
std::chrono::steady_clock::time_point runStart;

// The line written before it, if any, says which step failed; this one says
// why, in the words of the end-of-run box. Where the steps are not logged
// (the command line), the name is quoted as a shell reads it.
void RecordFailure(FileOutcome outcome, bool logSteps)
{
    const FailedEntry entry{outcome.Path(), outcome.reason, outcome.detail};
    const wxString line =
        logSteps ? RunReport::LogLine(entry) : RunReport::LogLine(entry, ShellQuote::Of(entry.path));
    std::cerr << ConsoleText::Of(line) << std::endl;
    std::lock_guard<std::mutex> lock(failedMutex);
    failures.push_back(entry);
    totals.bytesOverwritten += outcome.bytesOverwritten;
    outcomes.push_back(std::move(outcome));
    ++filesReached;
}

// Returns the outcome's index in the run.
size_t RecordWiped(FileOutcome outcome)
{
    std::lock_guard<std::mutex> lock(failedMutex);
    ++totals.filesWiped;
    totals.bytesOverwritten += outcome.bytesOverwritten;
    outcomes.push_back(std::move(outcome));
    ++filesReached;
    return outcomes.size() - 1;
}

// What the drive was asked for a wiped file's blocks, known only once its
// filesystem's gathering is discarded: after the file was recorded.
void RecordDiscard(size_t index, Discard::Outcome discard, uint64_t bytes)
{
    const bool periodicTrim = discard == Discard::Outcome::Deferred && Discard::PeriodicTrimEnabled();
    std::lock_guard<std::mutex> lock(failedMutex);
    outcomes[index].discard = discard;
    outcomes[index].discardedBytes = bytes;
    if (discard == Discard::Outcome::Deferred)
        totals.periodicTrim = periodicTrim;
}

FileOutcome OutcomeOf(const QueuedFile& queued, const QueueEntry& entry, const FileOverwriter& file)
{
    FileOutcome outcome{queued, file.PassSize(), file.BytesWritten(), file.Failure(), file.FailureDetail()};
    // Never opened: the size it had when queued, if it was a file then.
    if (outcome.size == 0 && entry.size != QueueEntry::unknownSize)
        outcome.size = entry.size.GetValue();
    return outcome;
}

// Clears what the last run left: its failures and totals.
void ClearRunRecord()
{
    std::lock_guard<std::mutex> lock(failedMutex);
    failures.clear();
    outcomes.clear();
    traces.clear();
    filesReached = 0;
    journalProgress.blocks = 0;
    totals = RunTotals();
    runStart = std::chrono::steady_clock::now();
}

}  // namespace

wxULongLong Wiper::GetBytesProcessed()
{
    return bytesProcessed.load();
}

wxULongLong Wiper::GetTotalBytes()
{
    return totalBytes.load();
}

bool Wiper::IsCompleted()
{
    return bytesProcessed.load() == totalBytes.load();
}

void Wiper::ResetRun()
{
    bytesProcessed = 0;
    totalBytes = UINT64_MAX;
    ClearRunRecord();
    stopRequested = false;
    stopNowRequested = false;
    runFinished = false;
}

bool Wiper::IsRunFinished()
{
    return runFinished.load();
}

std::vector<wxString> Wiper::GetFailedPaths()
{
    std::vector<wxString> paths;
    for (const FailedEntry& failure : GetFailures())
        paths.push_back(failure.path);
    return paths;
}

std::vector<FailedEntry> Wiper::GetFailures()
{
    std::lock_guard<std::mutex> lock(failedMutex);
    return failures;
}

std::vector<FileOutcome> Wiper::GetOutcomes()
{
    std::lock_guard<std::mutex> lock(failedMutex);
    return outcomes;
}

std::vector<FileOutcome> Wiper::TakeOutcomes()
{
    std::lock_guard<std::mutex> lock(failedMutex);
    return std::move(outcomes);
}

std::vector<TraceOutcome> Wiper::TakeTraces()
{
    std::lock_guard<std::mutex> lock(failedMutex);
    return std::move(traces);
}

bool Wiper::JournalStep(uint64_t& logged, uint64_t& blocks)
{
    blocks = journalProgress.blocks.load();
    logged = journalProgress.logged.load();
    return blocks != 0;
}

uint64_t Wiper::FilesReached()
{
    return filesReached.load();
}

RunTotals Wiper::GetTotals()
{
    std::lock_guard<std::mutex> lock(failedMutex);
    return totals;
}

std::vector<FileOutcome> Wiper::GetWiped()
{
    std::lock_guard<std::mutex> lock(failedMutex);
    std::vector<FileOutcome> wiped;
    for (const FileOutcome& outcome : outcomes) {
        if (outcome.reason == WipeFailure::None)
            wiped.push_back(outcome);
    }
    return wiped;
}

void Wiper::RequestStop()
{
    stopRequested = true;
}

void Wiper::RequestStopNow()
{
    stopNowRequested = true;
    stopRequested = true;
}

bool Wiper::IsStopNowRequested()
{
    return stopNowRequested.load(std::memory_order_relaxed);
}

std::vector<QueuedFile> Wiper::BeginRun(WipeQueue* queue, unsigned passesPerFile)
{
    // Also when nobody called ResetRun, the run is not over before it began.
    // The stop request is left alone: it may have come before this thread ran.
    runFinished = false;
    ClearRunRecord();

    bytesProcessed = 0;
    // Without a face's survey the run looks at the drives alone.
    if (!survey)
        survey = std::make_shared<RunSurvey>(*queue, true);
    std::vector<QueuedFile> batch = survey->TakeBatch();
    passesPerFile = WithZeroPass(passesPerFile);
    uint64_t total = 0;
    for (const QueuedFile& file : batch) {
        // A path that did not exist when queued adds its present size when opened.
        if (file.Size() != QueueEntry::unknownSize)
            total += file.Size().GetValue() * passesPerFile;
    }
    totalBytes = total;
    if (options.logSteps)
        std::cout << "Total file size to be wiped: " << total << " bytes" << std::endl;
    return batch;
}

void Wiper::RunBatches(WipeQueue* queue, std::vector<QueuedFile> batch, unsigned methodPasses,
                       const PassesFunction& methodPassesOf)
{
    const unsigned passesPerFile = WithZeroPass(methodPasses);
    const PassesFunction zeroPassAfter = [&methodPassesOf](FileOverwriter& file) {
        const auto zeros = [](uint64_t, size_t n, unsigned char* into) { std::memset(into, 0, n); };
        return methodPassesOf(file) && file.Pass(PassPattern::Zeros, zeros);
    };
    const PassesFunction& passes = options.zeroPass ? zeroPassAfter : methodPassesOf;
    // Entries of the first batch are in totalBytes with their queued size,
    // later ones are not in it at all; nor are they in the survey yet.
    bool firstBatch = true;
    FileOverwriter::Control control{&stopNowRequested, options.verify, options.logSteps, options.clearReadOnly};
    // The traces are the run's own business: their passes are named to no one.
    const FileOverwriter::Control traceControl = control;
    control.batchLastSync = true;
    if (options.passStarting)
        control.passStarting = &options.passStarting;
    // Open from one file to the next in it, so that none walks down from the root.
    HeldFolder folder;
    std::vector<wxString> wipedFolders;
    std::vector<size_t> wipedOutcomes;  // their indexes, for their desktop traces
    std::vector<uint64_t> reached;
    // The blocks of the wiped files on flash, per filesystem, and the
    // outcome each ticket belongs to.
    DiscardGathering discards;
    std::map<size_t, size_t> discarded;
    const DiscardGathering::Each record = [&discarded](size_t ticket, Discard::Outcome discard, uint64_t bytes) {
        const auto index = discarded.find(ticket);
        if (index == discarded.end())
            return;
        RecordDiscard(index->second, discard, bytes);
        discarded.erase(index);
    };
    // A file whose passes all succeeded, deleted once they are on the device.
    const SyncBatch::Finish finish = [&](SyncBatch::Item& item) {
        FileOverwriter& file = item.file;
        const bool flash = item.medium == StorageMedium::Kind::Flash;
        const bool wiped = file.Failure() == WipeFailure::None && file.CloseAndDelete(flash ? &discards : nullptr);
        FileOutcome outcome = OutcomeOf(item.queued, item.entry, file);
        outcome.medium = item.medium;
        if (!wiped) {
            RecordFailure(std::move(outcome), options.logSteps);
            return;
        }
        wipedOutcomes.push_back(RecordWiped(std::move(outcome)));
        if (flash) {
            discarded[file.DiscardTicket()] = wipedOutcomes.back();
            discards.Full(record);
        }
        if (wipedFolders.empty() || wipedFolders.back() != item.entry.folder)
            wipedFolders.push_back(item.entry.folder);
    };
    SyncBatch waiting(finish);
    while (!batch.empty()) {
        reached.clear();
        for (const QueuedFile& queued : batch) {
            if (stopRequested)
                break;
            reached.push_back(queued.Serial());
            auto item = std::make_unique<SyncBatch::Item>(queued, bytesProcessed, &folder, control);
            const QueueEntry& entry = item->entry;
            FileOverwriter& file = item->file;
            if (!firstBatch)
                survey->Add(entry, true);
            if (!file.Open()) {
                // Recorded in the order met: the files before it first.
                waiting.Settle();
                RecordFailure(OutcomeOf(queued, entry, file), options.logSteps);
                continue;
            }
            // Count what the passes will really write, so that a run whose
            // files all succeed still ends with both counters equal.
            const bool counted = firstBatch && entry.size != QueueEntry::unknownSize;
            file.CountIn(totalBytes, passesPerFile, counted ? entry.size.GetValue() : 0);

            // On flash the drive is asked to discard the blocks the file
            // leaves; a spinning disk has nothing to discard.
            const RunSurvey::Filesystem* filesystem = survey->Of(entry.folder);
            item->medium = filesystem ? filesystem->medium : StorageMedium::Kind::Unknown;
            if (!passes(file)) {
                waiting.Settle();
                FileOutcome outcome = OutcomeOf(queued, entry, file);
                outcome.medium = item->medium;
                RecordFailure(std::move(outcome), options.logSteps);
                continue;
            }
            if (file.OwesSync()) {
                waiting.Add(std::move(item));
                continue;
            }
            waiting.Settle();
            finish(*item);
        }
        // Every file reached is wiped or said not to be before it leaves the queue.
        waiting.Settle();
        // A file stopped halfway leaves the queue like every file reached: it
        // is reported as stopped. Unreached entries stay queued, untouched.
        queue->Remove(reached);
        if (stopRequested)
            break;
        batch = queue->Files();
        firstBatch = false;
    }
    // Also after a stop: what was wiped is discarded, or said not to be.
    discards.All(record);
    folder.Release();
    if (!options.keepTraces && !IsStopNowRequested())
        RemoveTraces(wipedOutcomes, traceControl, passesPerFile, passes, wipedFolders);
    // The journal may still hold the wiped files' names, and their data where
    // it logs data: no copy may outlive the run.
    const JournalPush::State journal =
        JournalPush::AfterFiles(wipedFolders, *survey, [] { return IsStopNowRequested(); }, &journalProgress);
    std::lock_guard<std::mutex> lock(failedMutex);
    totals.journal = journal;
}

void Wiper::RemoveTraces(const std::vector<size_t>& wiped, const FileOverwriter::Control& control, unsigned passesPerFile,
                         const PassesFunction& passes, std::vector<wxString>& wipedFolders)
{
    // A trace is wiped as the files are, but counts in no total: the
    // progress the faces show is the queued files'.
    const auto wipe = [&control, passesPerFile, &passes](const wxString& path, WipeFailure& reason, wxString& detail) {
        QueueEntry entry;
        entry.path = path;
        uint64_t size = 0;
        if (!PathBinding::Locate(path, entry.folder, entry.name, size)) {
            reason = WipeFailure::NotFound;
            return false;
        }
        entry.size = size;
        std::atomic<uint64_t> processed{0};
        std::atomic<uint64_t> total{0};
        FileOverwriter file(entry, processed, nullptr, control);
        if (file.Open()) {
            file.CountIn(total, passesPerFile, 0);
            if (passes(file) && file.CloseAndDelete())
                return true;
        }
        reason = file.Failure();
        detail = file.FailureDetail();
        return false;
    };
    TraceSweep sweep(options.wholeFolders, wipe);
    sweep.Run(wiped, [](size_t index) {
        std::lock_guard<std::mutex> lock(failedMutex);
        return outcomes[index].file;
    });
    for (const wxString& place : sweep.Folders())
        wipedFolders.push_back(place);
    std::lock_guard<std::mutex> lock(failedMutex);
    traces = sweep.Traces();
    totals.thumbnailsRemoved = sweep.Thumbnails();
    totals.recentRemoved = sweep.Recent();
    totals.shortcutsRemoved = sweep.Shortcuts();
    totals.tracesNotRemoved = sweep.NotRemoved();
}

void Wiper::EndRun(const char* methodTag)
{
    // The line must agree with the box, which says stopped for any stop asked for.
    if (options.logSteps)
        std::cout << methodTag << "Secure file deletion " << (stopRequested ? "stopped." : "completed.") << std::endl;
    {
        std::lock_guard<std::mutex> lock(failedMutex);
        totals.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - runStart)
                               .count();
    }
    // A survey is one run's: the next Wipe looks again.
    survey.reset();
    CrashRecord::Settle();
    runFinished = true;
}

void Wiper::FinishRun()
{
    CrashRecord::Settle();
    runFinished = true;
}
