// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WipeCommand.h"

#include "cli/DriveCommand.h"
#include "cli/NameList.h"
#include "cli/ProgressLine.h"
#include "cli/StopSignals.h"
#include "engine/ConsoleText.h"
#include "engine/FileOverwriter.h"
#include "engine/FileRun.h"
#include "engine/FreeSpaceRun.h"
#include "engine/QueueIntake.h"
#include "engine/RunRecord.h"
#include "engine/RunReport.h"
#include "engine/ShellQuote.h"
#include "engine/TrashQueue.h"
#include "engine/VolumeRun.h"
#include "engine/Wiper.h"
#include "platform/FolderWalk.h"
#include "platform/OverwriteCaveat.h"

#include <wx/stopwatch.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ostream>

#include <unistd.h>

namespace {

// Often enough that the end of a run is seen at once, rarely enough to cost
// nothing; the line itself is redrawn less often.
const long pollMs = 10;
const long progressEveryMs = 500;

bool ErrIsTerminal()
{
    return isatty(fileno(stderr)) != 0;
}

}  // namespace

WipeCommand::WipeCommand(const WipeOptions& options, std::ostream& out, std::ostream& err)
    : options(options), out(out), err(err)
{
}

int WipeCommand::Run()
{
    if (options.listDrives || !options.drive.empty())
        return DriveCommand(options, out, err).Run();
    queue.SetMethod(options.method);
    wxString listError;
    if (!options.namesFrom.empty() && !NameList::Read(options.namesFrom, listedPaths, listError)) {
        Complain("vorlix-wipe: " + listError);
        return UsageError;
    }
    const bool queued = QueueAll();
    survey = std::make_shared<RunSurvey>(queue);
    WarnAboutFilesystems();
    if (options.dryRun) {
        int status = DryRun();
        if (!options.freeSpaceFolder.empty())
            status = std::max(status, DryRunFreeSpace());
        return queued ? status : SomeNotWiped;
    }
    wxString error;
    if (!options.reportFile.empty() && !RunRecord::CanSave(options.reportFile, error)) {
        Complain(wxString::Format(_("Nothing wiped: the report cannot be written (%s): %s"), error,
                                  ShellQuote::Of(options.reportFile)));
        return UsageError;
    }
    StopSignals::Install();
    int status = queued ? AllWiped : SomeNotWiped;
    if (!queue.IsEmpty())
        status = std::max(status, WipeFiles());
    // Trashed folders the run emptied go with it, and so do the emptied
    // folders of -r, as with rm -r.
    TrashQueue::RemoveEmptied(trashFolders);
    if (status != Stopped && !RemoveEmptiedFolders())
        status = std::max(status, static_cast<int>(SomeNotWiped));
    if (status != Stopped && !options.freeSpaceFolder.empty() && !StopSignals::Received())
        status = std::max(status, WipeFreeSpace());
    // One record of everything the run did, written once it has all ended.
    if (!WriteReport() && status != Stopped)
        status = SomeNotWiped;
    return status;
}

bool WipeCommand::QueueAll()
{
    bool all = true;
    if (options.trash) {
        const TrashQueue::Added added = TrashQueue::Add(queue);
        trashFolders = added.folders;
        for (const wxString& folder : added.unreadable) {
            Complain(_("Not wiped (a folder in the Trash that cannot be listed): ") + ShellQuote::Of(folder));
            all = false;
        }
    }
    // -r is the permission to take folders. A link met inside is queued too,
    // so that the run refuses it aloud and the record lists it, as for any
    // file left in place.
    QueueIntake intake(queue, options.recursive ? QueueIntake::Folders::Walk : QueueIntake::Folders::Refuse,
                       QueueIntake::Links::Queue);
    const QueueIntake::Refusals& refused = intake.Refused();
    size_t folders = 0, unreadable = 0, notOneFile = 0;  // said already: each is said as met
    std::vector<wxString> paths = options.paths;
    paths.insert(paths.end(), listedPaths.begin(), listedPaths.end());
    for (const wxString& path : paths) {
        intake.Add(path);
        for (; folders < refused.folders.size(); ++folders)
            Complain(_("Not wiped (a folder; -r wipes the files in it): ") + ShellQuote::Of(refused.folders[folders]));
        for (; unreadable < refused.unreadable.size(); ++unreadable)
            Complain(_("Not wiped (a folder that cannot be listed): ")
                     + ShellQuote::Of(refused.unreadable[unreadable]));
        for (; notOneFile < refused.notOneFile.size(); ++notOneFile)
            Complain(_("Not wiped (does not name one file exactly): ")
                     + ShellQuote::Of(refused.notOneFile[notOneFile]));
    }
    walkedFolders = intake.Walked();
    all = all && intake.AllTaken();
    return all;
}

bool WipeCommand::RemoveEmptiedFolders()
{
    bool all = true;
    for (const wxString& folder : walkedFolders)
        FolderWalk::RemoveEmptied(folder, [this, &all](const wxString& left, const wxString& detail) {
            Complain(wxString::Format(_("Folder not removed (%s): "), detail) + ShellQuote::Of(left));
            all = false;
        });
    return all;
}

void WipeCommand::WarnAboutFilesystems()
{
    for (const auto& kind : survey->Caveats())
        Complain(wxString::Format(wxPLURAL("Warning (%s): overwriting may not reach the old data of %zu file",
                                           "Warning (%s): overwriting may not reach the old data of %zu files",
                                           kind.second),
                                  OverwriteCaveat::Shown(kind.first), kind.second));
}

int WipeCommand::DryRun()
{
    const unsigned passes = (options.method == WipeMethod::DoD ? 3 : 1) + (options.zero ? 1 : 0);
    int status = AllWiped;
    for (const QueueEntry& entry : queue.Snapshot()) {
        const FileOutcome outcome = FileOverwriter::Preview(entry, options.force);
        if (outcome.reason == WipeFailure::None) {
            Say(wxString::Format(_("Would wipe (%llu bytes, %llu written): "),
                                 static_cast<unsigned long long>(outcome.size),
                                 static_cast<unsigned long long>(outcome.bytesOverwritten * passes))
                + ShellQuote::Of(entry.path));
        } else {
            Say(wxString::Format(_("Would refuse (%s): "), RunReport::ReasonText(outcome.reason))
                + ShellQuote::Of(entry.path));
            status = SomeNotWiped;
        }
    }
    return status;
}

int WipeCommand::DryRunFreeSpace()
{
    if (VolumeWiper::IsVolume(options.freeSpaceFolder)) {
        ExtVolume::Facts facts;
        wxString refusal;
        if (!VolumeWiper::Inspect(options.freeSpaceFolder, facts, refusal)) {
            Complain(_("Free space not wiped: ") + refusal);
            return SomeNotWiped;
        }
        Say(wxString::Format(_("Would wipe everything unused on the %s filesystem in %s, which is not mounted "
                               "(%llu bytes free, %llu bytes of journal; %llu bytes written)"),
                             facts.type, ShellQuote::Of(options.freeSpaceFolder),
                             static_cast<unsigned long long>(facts.freeBlocks * facts.blockSize),
                             static_cast<unsigned long long>(facts.journalBlocks * facts.blockSize),
                             static_cast<unsigned long long>(VolumeWiper::BytesToWrite(facts, options.method))));
        return AllWiped;
    }
    FreeSpaceWiper::Check check;
    if (!Inspect(check))
        return SomeNotWiped;
    const FreeSpace::Filesystem& filesystem = check.filesystem;
    Say(wxString::Format(_("Would wipe the free space of the %s filesystem on %s (%llu bytes free)"), filesystem.type,
                         ShellQuote::Of(filesystem.root), static_cast<unsigned long long>(filesystem.freeBytes)));
    return AllWiped;
}

bool WipeCommand::Inspect(FreeSpaceWiper::Check& check)
{
    wxString detail;
    if (!FreeSpaceWiper::Inspect(options.freeSpaceFolder, check, detail)) {
        Complain(wxString::Format(_("Free space not wiped (cannot examine the folder: %s): %s"), detail,
                                  ShellQuote::Of(options.freeSpaceFolder)));
        return false;
    }
    if (!check.refusal.empty()) {
        Complain(_("Free space not wiped: ") + check.refusal);
        return false;
    }
    if (!check.note.empty() && !check.journalCleared)
        Complain(_("Warning: ") + check.note);
    // The run still goes on: it wipes what this user may fill.
    if (check.adminOnlyBytes != 0)
        Complain(_("Warning: ") + FreeSpaceRun::AdminOnlyText(check.adminOnlyBytes));
    return true;
}

int WipeCommand::WipeFiles()
{
    const uint64_t files = queue.Count();
    // One line per file not wiped, and this program's own lines on stdout.
    RunOptions runOptions;
    runOptions.verify = options.verify;
    runOptions.zeroPass = options.zero;
    runOptions.clearReadOnly = options.force;
    if (options.verbose)
        runOptions.passStarting = [this](const wxString& path, unsigned pass, unsigned passes, PassPattern pattern) {
            NamePass(path, pass, passes, pattern);
        };
    runOptions.logSteps = false;
    runOptions.keepTraces = options.keepTraces;
    // The folders named with -r and those in the Trash go as a whole.
    runOptions.wholeFolders = walkedFolders;
    runOptions.wholeFolders.insert(runOptions.wholeFolders.end(), trashFolders.begin(), trashFolders.end());
    FileRun run(queue, options.method, runOptions, std::move(survey));
    if (!run.Start())
        return SomeNotWiped;
    const bool stopped = Follow(run, files);
    const WipeRun::Outcome outcome = run.Finish();
    if (!options.quiet) {
        Say(outcome.summary);
        if (!outcome.traces.empty())
            Say(outcome.traces);
        // What the window's box says about flash drives, said here too.
        if (!outcome.media.empty())
            Say(outcome.media);
    }
    // A trace left is said even with -q, as a file not wiped is, but
    // changes no exit status: the files themselves are wiped.
    if (!outcome.tracesLeft.empty())
        Complain(outcome.tracesLeft);
    if (!outcome.journal.empty())
        Complain(outcome.journal);
    if (stopped && !queue.IsEmpty())
        Complain(wxString::Format(wxPLURAL("Stopped: %zu file not reached, left as it was",
                                           "Stopped: %zu files not reached, left as they were", queue.Count()),
                                  queue.Count()));
    record = run.TakeRecord();
    recorded = true;
    if (stopped)
        return Stopped;
    return outcome.clean ? AllWiped : SomeNotWiped;
}

bool WipeCommand::WriteReport()
{
    if (options.reportFile.empty() || !recorded)
        return true;
    wxString error;
    if (record.Save(options.reportFile, error))
        return true;
    Complain(wxString::Format(_("Report not written (%s): %s"), error, options.reportFile));
    return false;
}

int WipeCommand::WipeFreeSpace()
{
    if (!recorded) {
        // The record of a free-space wipe alone: no files, the same heading.
        record.Begin({}, options.method, options.verify);
        recorded = true;
    }
    if (VolumeWiper::IsVolume(options.freeSpaceFolder))
        return WipeVolume();
    FreeSpaceWiper::Check check;
    if (!Inspect(check)) {
        FreeSpaceOutcome refused;
        refused.folder = options.freeSpaceFolder;
        refused.filesystem = check.filesystem.type;
        refused.mountPoint = check.filesystem.root;
        refused.medium = check.medium;
        refused.failure = check.refusal.empty() ? _("cannot examine the folder") : check.refusal;
        refused.started = refused.ended = wxDateTime::UNow();
        record.AddFreeSpace(refused);
        return SomeNotWiped;
    }
    FreeSpaceRun run(options.freeSpaceFolder, options.method);
    if (!run.Start())
        return SomeNotWiped;
    const bool stopped = Follow(run, 0);
    const WipeRun::Outcome outcome = run.Finish();
    record.AddFreeSpace(run.Details());
    if (stopped) {
        Complain(outcome.message);
        return Stopped;
    }
    if (!outcome.clean) {
        Complain(outcome.message);
        return SomeNotWiped;
    }
    if (!options.quiet)
        Say(outcome.message);
    return AllWiped;
}

int WipeCommand::WipeVolume()
{
    // The refusals come from the run itself: it opens the device once, exclusively.
    VolumeRun run(options.freeSpaceFolder, options.method);
    if (!run.Start())
        return SomeNotWiped;
    const bool stopped = Follow(run, 0);
    const WipeRun::Outcome outcome = run.Finish();
    record.AddFreeSpace(run.Details());
    if (stopped || !outcome.clean) {
        Complain(outcome.message);
        return stopped ? Stopped : SomeNotWiped;
    }
    if (!options.quiet)
        Say(outcome.message);
    return AllWiped;
}

bool WipeCommand::Follow(WipeRun& run, uint64_t files)
{
    const bool showProgress = !options.quiet && ErrIsTerminal();
    wxStopWatch clock;
    long lastShown = -progressEveryMs;
    bool stopped = false;
    while (!run.IsFinished()) {
        if (!stopped && StopSignals::Received()) {
            stopped = true;
            run.Stop();
        }
        if (showProgress && clock.Time() - lastShown >= progressEveryMs) {
            lastShown = clock.Time();
            const WipeRun::Step step = run.CurrentStep();
            const wxString line = !step.name.empty()
                                      ? ProgressLine::StepText(step.name, step.done, step.total)
                                      : ProgressLine::Text(files ? Wiper::FilesReached() : 0, files, run.BytesDone(),
                                                           run.TotalBytes(), clock.Time());
            // Back to the line's start, and cleared to its end.
            std::lock_guard<std::mutex> lock(errMutex);
            err << "\r" << ConsoleText::Of(line) << "\x1b[K" << std::flush;
            progressShown = true;
        }
        wxMilliSleep(pollMs);
    }
    std::lock_guard<std::mutex> lock(errMutex);
    if (progressShown) {
        err << "\r\x1b[K" << std::flush;
        progressShown = false;
    }
    return stopped || StopSignals::Received();
}

void WipeCommand::Say(const wxString& text)
{
    errno = 0;
    out << ConsoleText::Of(text) << std::endl;
    if (out.fail() && outputError == 0)
        outputError = errno;
}

void WipeCommand::NamePass(const wxString& path, unsigned pass, unsigned passes, PassPattern pattern)
{
    const wxString written = pattern == PassPattern::Zeros  ? _("zeros")
                             : pattern == PassPattern::Ones ? _("ones (0xFF)")
                                                            : _("random");
    const wxString line =
        "vorlix-wipe: " + wxString::Format(_("%s: pass %u/%u (%s)..."), ShellQuote::Of(path), pass, passes, written);
    std::lock_guard<std::mutex> lock(errMutex);
    // On its own line: the progress line is drawn again under it.
    if (progressShown) {
        err << "\r\x1b[K";
        progressShown = false;
    }
    err << ConsoleText::Of(line) << std::endl;
}

void WipeCommand::Complain(const wxString& text)
{
    err << ConsoleText::Of(text) << std::endl;
}
