// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <map>
#include <utility>
#include <vector>

#include "platform/WipeFailure.h"
#include "engine/RunOutcome.h"

// What a finished run did and why each file it did not wipe is still there, in
// the words of the end-of-run box and of the log. Needs no window.
class RunReport {
public:
    // failures in the order the run met them; stopped when the user stopped it;
    // wiped the files it wiped, with their drives.
    RunReport(std::vector<FailedEntry> failures, const RunTotals& totals, bool stopped,
              const std::vector<FileOutcome>& wiped = {});
    // The same from every outcome of a run, wiped or not, read once, and
    // what the run met of the desktop's traces of them.
    static RunReport Of(const std::vector<FileOutcome>& outcomes, const RunTotals& totals, bool stopped,
                        const std::vector<TraceOutcome>& traces = {});

    // The box's text: its first line, the summary line under it, then the files
    // not wiped, grouped by reason with a count and the first paths of each.
    wxString Message() const;
    wxString Caption() const;
    // Status bar text once the run has ended.
    wxString StatusText() const;
    bool AllWiped() const { return failures.empty(); }

    // "3 files wiped, 1.50 MB overwritten, in 2.4 s."
    // translated false gives the English text of the saved records.
    wxString SummaryLine(bool translated = true) const;
    // "Also removed: 2 thumbnails, 1 recent-files entry, 3 shortcuts", the
    // kinds that were removed; empty when nothing was.
    wxString TracesLine(bool translated = true) const;
    // Where the system keeps pictures in a cache that cannot be cleared file
    // by file, and the run wiped files: how to clear it. Empty elsewhere.
    wxString PicturesLine() const;
    // Where the run could not clear a journal after the files (stopped, or
    // nowhere to work in): that it may still hold them. Empty elsewhere.
    wxString JournalLine(bool translated = true) const;
    // One line for each trace that could not be removed, with why.
    wxString TracesNotRemoved() const;
    // "Not removed (thumbnail: permission denied or read-only): PATH".
    static wxString TraceLine(const TraceOutcome& trace, bool translated = true);
    // The stable name of a kind of trace in the record ("thumbnail").
    static const char* TraceKindCode(DesktopTraces::Kind kind);

    // What a file wipe cannot reach on the drives of the wiped files (flash, or
    // a drive that could not be told), and what was discarded there; empty
    // when every one was on a spinning disk or in memory.
    wxString MediumText() const;

    // What was done about the wiped blocks on a flash drive, as one sentence.
    static wxString DiscardText(Discard::Outcome outcome, uint64_t bytes, bool periodicTrim);

    // The reason in a few words, lower case, as it reads after a file's name.
    static wxString ReasonText(WipeFailure reason, bool translated = true);
    // One line of standard error for a file not wiped: its reason and its path.
    static wxString LogLine(const FailedEntry& entry, bool translated = true);
    // The same with the path shown as the caller shows names.
    static wxString LogLine(const FailedEntry& entry, const wxString& shownPath);
    static wxString DurationText(long long ms, bool translated = true);

private:
    // The reason and, where it tells more, the system's own text.
    static wxString ReasonWithDetail(const FailedEntry& entry, bool translated);
    static bool ShowsDetail(WipeFailure reason);

    // Takes a wiped file into the drives' part of the message.
    void CountDrive(const FileOutcome& file);

    // The wiped files on one kind of drive: how many, and the first to name.
    struct Drive {
        size_t files = 0;
        std::vector<wxString> named;
    };

    std::vector<FailedEntry> failures;
    std::vector<TraceOutcome> tracesLeft;  // the traces not removed
    RunTotals totals;
    bool stopped;
    Drive flash, unknown;
    std::map<Discard::Outcome, std::pair<size_t, uint64_t>> discards;  // flash files and bytes of each
};
