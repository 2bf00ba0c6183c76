// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RunReport.h"

#include "engine/ByteSize.h"

#include <wx/translation.h>

#include "platform/NativePath.h"

#include <algorithm>
#include <map>
#include <string>

namespace {

// About this many paths fit in a message box; every group names at least a few.
const size_t listedPathsLimit = 20;
const size_t pathsPerGroupMinimum = 3;

wxString Capitalised(const wxString& text)
{
    return text.empty() ? text : text.Left(1).Upper() + text.Mid(1);
}

}  // namespace

RunReport::RunReport(std::vector<FailedEntry> failures, const RunTotals& totals, bool stopped,
                     const std::vector<FileOutcome>& wiped)
    : failures(std::move(failures)), totals(totals), stopped(stopped)
{
    for (const FileOutcome& file : wiped)
        CountDrive(file);
}

RunReport RunReport::Of(const std::vector<FileOutcome>& outcomes, const RunTotals& totals, bool stopped,
                        const std::vector<TraceOutcome>& traces)
{
    RunReport report({}, totals, stopped);
    for (const TraceOutcome& trace : traces) {
        if (!trace.removed)
            report.tracesLeft.push_back(trace);
    }
    for (const FileOutcome& file : outcomes) {
        if (file.reason == WipeFailure::None)
            report.CountDrive(file);
        else
            report.failures.push_back(FailedEntry{file.Path(), file.reason, file.detail});
    }
    return report;
}

void RunReport::CountDrive(const FileOutcome& file)
{
    using Kind = StorageMedium::Kind;
    if (file.medium != Kind::Flash && file.medium != Kind::Unknown)
        return;
    Drive& drive = file.medium == Kind::Flash ? flash : unknown;
    if (drive.named.size() < listedPathsLimit / 2)
        drive.named.push_back(file.Path());
    ++drive.files;
    // An empty file had nothing to discard.
    if (file.medium == Kind::Flash && file.discard != Discard::Outcome::NotAsked) {
        discards[file.discard].first += 1;
        discards[file.discard].second += file.discardedBytes;
    }
}

wxString RunReport::Message() const
{
    wxString text = stopped ? _("Wiping process stopped!") : _("Wiping process completed!");
    text += "\n" + SummaryLine();
    for (const wxString& line : {TracesLine(), TracesNotRemoved(), JournalLine(), PicturesLine()})
        if (!line.empty())
            text += "\n" + line;
    const wxString medium = MediumText();
    if (!medium.empty())
        text += "\n\n" + medium;
    if (failures.empty())
        return text;

    std::map<WipeFailure, std::vector<const FailedEntry*>> groups;
    for (const FailedEntry& entry : failures)
        groups[entry.reason].push_back(&entry);
    const size_t perGroup = std::max(pathsPerGroupMinimum, listedPathsLimit / groups.size());

    text += "\n\n" + wxString::Format(wxPLURAL("%zu file(s) could not be wiped:", "%zu file(s) could not be wiped:",
                                                failures.size()),
                                       failures.size());
    for (const auto& group : groups) {
        const std::vector<const FailedEntry*>& entries = group.second;
        text += wxString::Format("\n\n%s (%zu):", Capitalised(ReasonText(group.first)), entries.size());
        for (size_t i = 0; i < entries.size() && i < perGroup; ++i) {
            text += "\n" + NativePath::Display(entries[i]->path);
            if (ShowsDetail(entries[i]->reason) && !entries[i]->detail.empty())
                text += " (" + entries[i]->detail + ")";
        }
        if (entries.size() > perGroup)
            text += "\n" + wxString::Format(_("and %zu more"), entries.size() - perGroup);
    }
    return text;
}

wxString RunReport::Caption() const
{
    return stopped ? _("Stopped!") : _("Completed!");
}

wxString RunReport::StatusText() const
{
    return stopped ? _("Stopped") : _("Completed");
}

wxString RunReport::SummaryLine(bool translated) const
{
    const unsigned long long count = totals.filesWiped;
    const wxString format = translated ? wxPLURAL("%s file wiped, %s overwritten, in %s.",
                                                  "%s files wiped, %s overwritten, in %s.", count)
                                       : wxString(count == 1 ? "%s file wiped, %s overwritten, in %s."
                                                             : "%s files wiped, %s overwritten, in %s.");
    return wxString::Format(format, wxString(std::to_string(count)), ByteSize::Text(totals.bytesOverwritten, translated),
                            DurationText(totals.elapsedMs, translated));
}

wxString RunReport::TracesLine(bool translated) const
{
    const unsigned long long thumbnails = totals.thumbnailsRemoved, recent = totals.recentRemoved;
    wxString kinds;
    if (thumbnails != 0)
        kinds = wxString::Format(translated ? wxPLURAL("%llu thumbnail", "%llu thumbnails", thumbnails)
                                            : wxString(thumbnails == 1 ? "%llu thumbnail" : "%llu thumbnails"),
                                 thumbnails);
    if (recent != 0)
        kinds += (kinds.empty() ? "" : ", ")
                 + wxString::Format(translated ? wxPLURAL("%llu recent-files entry", "%llu recent-files entries", recent)
                                               : wxString(recent == 1 ? "%llu recent-files entry"
                                                                      : "%llu recent-files entries"),
                                    recent);
    const unsigned long long shortcuts = totals.shortcutsRemoved;
    if (shortcuts != 0)
        kinds += (kinds.empty() ? "" : ", ")
                 + wxString::Format(translated ? wxPLURAL("%llu shortcut", "%llu shortcuts", shortcuts)
                                               : wxString(shortcuts == 1 ? "%llu shortcut" : "%llu shortcuts"),
                                    shortcuts);
    if (kinds.empty())
        return kinds;
    return wxString::Format(translated ? _("Also removed: %s") : wxString("Also removed: %s"), kinds);
}

wxString RunReport::PicturesLine() const
{
    if (totals.filesWiped == 0 || !DesktopTraces::KeepsPictures())
        return wxString();
    return _("Explorer may still keep small pictures of wiped pictures in its thumbnail cache: to clear it, run "
             "Disk Cleanup and select \"Thumbnails\".");
}

wxString RunReport::JournalLine(bool translated) const
{
    if (totals.journal != JournalPush::State::NotCleared)
        return wxString();
    const char* const text = wxTRANSLATE("The filesystem's journal was not cleared: it may still hold the names of "
                                         "the wiped files, and their data where it keeps data.");
    return translated ? wxGetTranslation(text) : wxString(text);
}

wxString RunReport::TracesNotRemoved() const
{
    wxString text;
    for (size_t i = 0; i < tracesLeft.size() && i < listedPathsLimit; ++i)
        text += wxString(i ? "\n" : "") + TraceLine(tracesLeft[i]);
    if (tracesLeft.size() > listedPathsLimit)
        text += "\n" + wxString::Format(_("and %zu more"), tracesLeft.size() - listedPathsLimit);
    return text;
}

wxString RunReport::TraceLine(const TraceOutcome& trace, bool translated)
{
    const char* kind = trace.kind == DesktopTraces::Kind::Thumbnail ? wxTRANSLATE("thumbnail")
                       : trace.kind == DesktopTraces::Kind::Recent  ? wxTRANSLATE("recent-files entry")
                                                                    : wxTRANSLATE("shortcut");
    wxString why = trace.reason != WipeFailure::None ? ReasonText(trace.reason, translated) : wxString();
    if (!trace.detail.empty())
        why += (why.empty() ? "" : ": ") + trace.detail;
    const wxString format = translated ? _("Not removed (%s: %s): %s") : wxString("Not removed (%s: %s): %s");
    return wxString::Format(format, translated ? wxGetTranslation(kind) : wxString(kind), why,
                            NativePath::Display(trace.path));
}

const char* RunReport::TraceKindCode(DesktopTraces::Kind kind)
{
    switch (kind) {
    case DesktopTraces::Kind::Thumbnail: return "thumbnail";
    case DesktopTraces::Kind::Recent: return "recent";
    case DesktopTraces::Kind::Shortcut: break;
    }
    return "shortcut";
}

wxString RunReport::MediumText() const
{
    const auto list = [](const Drive& drive) {
        wxString text;
        for (const wxString& path : drive.named)
            text += "\n" + path;
        if (drive.files > drive.named.size())
            text += "\n" + wxString::Format(_("and %zu more"), drive.files - drive.named.size());
        return text;
    };
    wxString text;
    if (flash.files != 0) {
        text += wxString::Format(_("On flash storage (%zu):"), flash.files) + list(flash) + "\n"
                + _("The drive may keep old copies of these files in cells that overwriting cannot reach.");
        for (const auto& outcome : discards) {
            wxString sentence = DiscardText(outcome.first, outcome.second.second, totals.periodicTrim);
            if (discards.size() > 1) {
                if (!sentence.StartsWith("Vorlix"))
                    sentence = sentence.Left(1).Lower() + sentence.Mid(1);
                sentence = wxString::Format(_("%zu of them: "), outcome.second.first) + sentence;
            }
            text += "\n" + sentence;
        }
        text += "\n" + _("Full-disk encryption, or the drive's own secure erase, protects what a file wipe cannot reach.");
    }
    if (unknown.files != 0) {
        text += wxString(text.empty() ? "" : "\n\n")
                + wxString::Format(_("On a drive of unknown kind (%zu):"), unknown.files) + list(unknown) + "\n"
                + _("Vorlix could not tell whether this drive is flash storage, which may keep old copies "
                    "that overwriting cannot reach.");
    }
    return text;
}

wxString RunReport::DiscardText(Discard::Outcome outcome, uint64_t bytes, bool periodicTrim)
{
    switch (outcome) {
    case Discard::Outcome::Discarded:
        return wxString::Format(
            _("Vorlix asked the drive to discard the wiped blocks (%s)."), ByteSize::Text(bytes));
    case Discard::Outcome::Deferred:
        return periodicTrim ? _("The wiped blocks will be discarded at the system's next fstrim run "
                                "(fstrim.timer is enabled).")
                            : _("The wiped blocks will be discarded at the system's next fstrim run, but "
                                "fstrim.timer is not enabled: run fstrim as root to discard them.");
    case Discard::Outcome::Automatic:
        return _("The filesystem discarded the wiped blocks itself (it is mounted with discard).");
    case Discard::Outcome::Unsupported:
        return _("The drive or its filesystem takes no discard requests: the old cells stay until the drive "
                 "reuses them.");
    case Discard::Outcome::NotFree:
        return _("None of the wiped blocks could be discarded: they were still in use (the file open in another "
                 "program), or fewer than the drive discards at once.");
    case Discard::Outcome::NotAsked: return wxString();
    case Discard::Outcome::Failed: break;
    }
    return _("Vorlix could not ask the drive to discard all of the wiped blocks.");
}

wxString RunReport::DurationText(long long ms, bool translated)
{
    // A tenth of a second is the least the line shows: a quicker run is
    // not said to have taken no time at all.
    if (ms < 50)
        return translated ? _("under 0.1 s") : wxString("under 0.1 s");
    if (ms < 60000) {
        const double seconds = static_cast<double>(ms) / 1000.0;
        return (translated ? wxString::Format("%.1f", seconds) : wxString::FromCDouble(seconds, 1)) + " s";
    }
    const long long seconds = ms / 1000;
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    return std::to_string(seconds / 3600) + " h " + std::to_string(seconds / 60 % 60) + " min";
}

wxString RunReport::ReasonText(WipeFailure reason, bool translated)
{
    const char* text = wxTRANSLATE("not wiped");
    switch (reason) {
    case WipeFailure::None: break;
    case WipeFailure::NotFound: text = wxTRANSLATE("not found"); break;
    case WipeFailure::Link: text = wxTRANSLATE("a link, which is never followed"); break;
    case WipeFailure::HardLinks: text = wxTRANSLATE("a hard link: the file has other names too"); break;
    case WipeFailure::NotRegular: text = wxTRANSLATE("not a regular file but a folder, pipe, socket or device"); break;
    case WipeFailure::SystemFile: text = wxTRANSLATE("a system file, not a stored file"); break;
    case WipeFailure::AccessDenied: text = wxTRANSLATE("permission denied or read-only"); break;
    case WipeFailure::InUse: text = wxTRANSLATE("in use by another program"); break;
    case WipeFailure::Changed: text = wxTRANSLATE("changed or replaced after it was queued"); break;
    case WipeFailure::Growing: text = wxTRANSLATE("kept growing while it was overwritten"); break;
    case WipeFailure::OverwriteFailed: text = wxTRANSLATE("could not be overwritten, some old content may remain"); break;
    case WipeFailure::DeleteFailed: text = wxTRANSLATE("overwritten, but could not be deleted"); break;
    case WipeFailure::Stopped: text = wxTRANSLATE("stopped while being overwritten, left partly overwritten"); break;
    case WipeFailure::Placeholder: text = wxTRANSLATE("a cloud placeholder: its content is kept by the provider"); break;
    case WipeFailure::PathTooLong: text = wxTRANSLATE("the path is too long for the system"); break;
    case WipeFailure::StreamFailed: text = wxTRANSLATE("a named stream of the file could not be overwritten"); break;
    case WipeFailure::VerificationFailed:
        text = wxTRANSLATE("verification failed: the device did not return what was written");
        break;
    }
    return translated ? wxGetTranslation(text) : wxString(text);
}

wxString RunReport::LogLine(const FailedEntry& entry, bool translated)
{
    const wxString line = translated ? _("Not wiped (%s): %s") : wxString("Not wiped (%s): %s");
    return wxString::Format(line, ReasonWithDetail(entry, translated), NativePath::Display(entry.path));
}

wxString RunReport::LogLine(const FailedEntry& entry, const wxString& shownPath)
{
    return wxString::Format(_("Not wiped (%s): %s"), ReasonWithDetail(entry, true), shownPath);
}

wxString RunReport::ReasonWithDetail(const FailedEntry& entry, bool translated)
{
    wxString text = ReasonText(entry.reason, translated);
    if (ShowsDetail(entry.reason) && !entry.detail.empty())
        text += ": " + entry.detail;
    return text;
}

bool RunReport::ShowsDetail(WipeFailure reason)
{
    // For the others the reason says it all; the system's text would repeat it.
    return reason == WipeFailure::AccessDenied || reason == WipeFailure::InUse
           || reason == WipeFailure::OverwriteFailed || reason == WipeFailure::DeleteFailed
           || reason == WipeFailure::Placeholder || reason == WipeFailure::StreamFailed
           || reason == WipeFailure::VerificationFailed;
}
