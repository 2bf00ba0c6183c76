#include "engine/RunReport.h"

#include <wx/filename.h>

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
                     std::vector<FileOutcome> wiped)
    : failures(std::move(failures)), totals(totals), stopped(stopped), wiped(std::move(wiped))
{
}

wxString RunReport::Message() const
{
    wxString text = stopped ? "Wiping process stopped!" : "Wiping process completed!";
    text += "\n" + SummaryLine();
    const wxString medium = MediumText();
    if (!medium.empty())
        text += "\n\n" + medium;
    if (failures.empty())
        return text;

    std::map<WipeFailure, std::vector<const FailedEntry*>> groups;
    for (const FailedEntry& entry : failures)
        groups[entry.reason].push_back(&entry);
    const size_t perGroup = std::max(pathsPerGroupMinimum, listedPathsLimit / groups.size());

    text += wxString::Format("\n\n%zu file(s) could not be wiped:", failures.size());
    for (const auto& group : groups) {
        const std::vector<const FailedEntry*>& entries = group.second;
        text += wxString::Format("\n\n%s (%zu):", Capitalised(ReasonText(group.first)), entries.size());
        for (size_t i = 0; i < entries.size() && i < perGroup; ++i) {
            text += "\n" + NativePath::Display(entries[i]->path);
            if (ShowsDetail(entries[i]->reason) && !entries[i]->detail.empty())
                text += " (" + entries[i]->detail + ")";
        }
        if (entries.size() > perGroup)
            text += wxString::Format("\nand %zu more", entries.size() - perGroup);
    }
    return text;
}

wxString RunReport::Caption() const
{
    return stopped ? "Stopped!" : "Completed!";
}

wxString RunReport::StatusText() const
{
    return stopped ? "Stopped" : "Completed";
}

wxString RunReport::SummaryLine() const
{
    const wxString files = std::to_string(totals.filesWiped) + (totals.filesWiped == 1 ? " file" : " files");
    const wxString bytes = wxFileName::GetHumanReadableSize(wxULongLong(totals.bytesOverwritten), "0 B", 2,
                                                            wxSIZE_CONV_TRADITIONAL);
    return wxString::Format("%s wiped, %s overwritten, in %s.", files, bytes, DurationText(totals.elapsedMs));
}

wxString RunReport::MediumText() const
{
    using Kind = StorageMedium::Kind;
    const size_t listed = listedPathsLimit / 2;
    std::vector<const FileOutcome*> flash, unknown;
    std::map<Discard::Outcome, std::pair<size_t, uint64_t>> outcomes;  // files and bytes
    for (const FileOutcome& file : wiped) {
        if (file.medium == Kind::Flash) {
            flash.push_back(&file);
            // An empty file had nothing to discard.
            if (file.discard != Discard::Outcome::NotAsked) {
                outcomes[file.discard].first += 1;
                outcomes[file.discard].second += file.discardedBytes;
            }
        } else if (file.medium == Kind::Unknown) {
            unknown.push_back(&file);
        }
    }
    const auto list = [listed](const std::vector<const FileOutcome*>& files) {
        wxString text;
        for (size_t i = 0; i < files.size() && i < listed; ++i)
            text += "\n" + files[i]->path;
        if (files.size() > listed)
            text += wxString::Format("\nand %zu more", files.size() - listed);
        return text;
    };
    wxString text;
    if (!flash.empty()) {
        text += wxString::Format("On flash storage (%zu):", flash.size()) + list(flash)
                + "\nThe drive may keep old copies of these files in cells that overwriting cannot reach.";
        for (const auto& outcome : outcomes) {
            wxString sentence = DiscardText(outcome.first, outcome.second.second, totals.periodicTrim);
            if (outcomes.size() > 1) {
                if (!sentence.StartsWith("Vorlix"))
                    sentence = sentence.Left(1).Lower() + sentence.Mid(1);
                sentence = wxString::Format("%zu of them: ", outcome.second.first) + sentence;
            }
            text += "\n" + sentence;
        }
        text += "\nFull-disk encryption, or the drive's own secure erase, protects what a file wipe cannot reach.";
    }
    if (!unknown.empty()) {
        text += wxString(text.empty() ? "" : "\n\n")
                + wxString::Format("On a drive of unknown kind (%zu):", unknown.size()) + list(unknown)
                + "\nVorlix could not tell whether this drive is flash storage, which may keep old copies "
                  "that overwriting cannot reach.";
    }
    return text;
}

wxString RunReport::DiscardText(Discard::Outcome outcome, uint64_t bytes, bool periodicTrim)
{
    switch (outcome) {
    case Discard::Outcome::Discarded:
        return "Vorlix asked the drive to discard the wiped blocks ("
               + wxFileName::GetHumanReadableSize(wxULongLong(bytes), "0 B", 2, wxSIZE_CONV_TRADITIONAL) + ").";
    case Discard::Outcome::Deferred:
        return periodicTrim ? "The wiped blocks will be discarded at the system's next fstrim run "
                              "(fstrim.timer is enabled)."
                            : "The wiped blocks will be discarded at the system's next fstrim run, but "
                              "fstrim.timer is not enabled: run fstrim as root to discard them.";
    case Discard::Outcome::Automatic:
        return "The filesystem discarded the wiped blocks itself (it is mounted with discard).";
    case Discard::Outcome::Unsupported:
        return "The drive or its filesystem takes no discard requests: the old cells stay until the drive "
               "reuses them.";
    case Discard::Outcome::NotFree:
        return "None of the wiped blocks could be discarded: they were still in use (the file open in another "
               "program), or fewer than the drive discards at once.";
    case Discard::Outcome::NotAsked: return wxString();
    case Discard::Outcome::Failed: break;
    }
    return "Vorlix could not ask the drive to discard all of the wiped blocks.";
}

wxString RunReport::DurationText(long long ms)
{
    if (ms < 60000)
        return wxString::Format("%.1f s", static_cast<double>(ms) / 1000.0);
    const long long seconds = ms / 1000;
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    return std::to_string(seconds / 3600) + " h " + std::to_string(seconds / 60 % 60) + " min";
}

wxString RunReport::ReasonText(WipeFailure reason)
{
    switch (reason) {
    case WipeFailure::None: break;
    case WipeFailure::NotFound: return "not found";
    case WipeFailure::Link: return "a link, which is never followed";
    case WipeFailure::HardLinks: return "a hard link: the file has other names too";
    case WipeFailure::NotRegular: return "not a regular file but a folder, pipe, socket or device";
    case WipeFailure::AccessDenied: return "permission denied or read-only";
    case WipeFailure::InUse: return "in use by another program";
    case WipeFailure::Changed: return "changed or replaced after it was queued";
    case WipeFailure::Growing: return "kept growing while it was overwritten";
    case WipeFailure::OverwriteFailed: return "could not be overwritten, some old content may remain";
    case WipeFailure::DeleteFailed: return "overwritten, but could not be deleted";
    case WipeFailure::Stopped: return "stopped while being overwritten, left partly overwritten";
    case WipeFailure::Placeholder: return "a cloud placeholder: its content is kept by the provider";
    case WipeFailure::PathTooLong: return "the path is too long for the system";
    case WipeFailure::StreamFailed: return "a named stream of the file could not be overwritten";
    case WipeFailure::VerificationFailed: return "verification failed: the device did not return what was written";
    }
    return "not wiped";
}

wxString RunReport::LogLine(const FailedEntry& entry)
{
    return "Not wiped (" + ReasonWithDetail(entry) + "): " + NativePath::Display(entry.path);
}

wxString RunReport::ReasonWithDetail(const FailedEntry& entry)
{
    wxString text = ReasonText(entry.reason);
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
