// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FreeSpaceRun.h"

#include "engine/ByteSize.h"
#include "engine/RunReport.h"
#include "engine/Wiper.h"
#include "platform/NativePath.h"

#include <wx/filename.h>
#include <wx/translation.h>

#include <system_error>

FreeSpaceRun::FreeSpaceRun(const wxString& folder, WipeMethod algorithm)
    : wiper(folder, algorithm), algorithm(algorithm)
{
    details.folder = AbsoluteFolder(folder);
}

wxString FreeSpaceRun::AbsoluteFolder(const wxString& folder)
{
    // The record names the folder as the files' paths are named: in full.
    wxFileName absolute = wxFileName::DirName(folder);
    absolute.MakeAbsolute();
    return absolute.GetPath();
}

FreeSpaceRun::~FreeSpaceRun()
{
    if (thread.joinable()) {
        wiper.RequestStop();
        thread.join();
    }
}

bool FreeSpaceRun::Start()
{
    // A stop asked of an earlier file run must not end this one at once.
    Wiper::ResetRun();
    record.Begin({}, algorithm, false);
    details.started = wxDateTime::UNow();
    try {
        thread = std::thread([this] { wiper.Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

wxString FreeSpaceRun::ProgressText(double percentage) const
{
    return wxString::Format(_("Wiping free space: %.2f%%"), percentage);
}

WipeRun::Step FreeSpaceRun::CurrentStep() const
{
    Step step;
    step.total = wiper.JournalStep().blocks.load();
    step.done = wiper.JournalStep().logged.load();
    if (step.total != 0)
        step.name = _("Clearing the journal...");
    return step;
}

WipeRun::Outcome FreeSpaceRun::Finish()
{
    if (thread.joinable())
        thread.join();
    const Outcome outcome = Ended(wiper.GetResult(), details);
    record.AddFreeSpace(details);
    return outcome;
}

WipeRun::Outcome FreeSpaceRun::Ended(const FreeSpaceWiper::Result& result, FreeSpaceOutcome& details)
{
    details.ended = wxDateTime::UNow();
    details.filesystem = result.filesystem.type;
    details.mountPoint = result.filesystem.root;
    details.medium = result.medium;
    details.bytesOverwritten = result.bytesWritten;
    details.unreachedBytes = result.unreachedBytes;
    details.journal = result.journal;
    details.stopped = result.stopped;
    details.failure = result.failure;
    details.removedAll = result.removedAll;
    details.discard = result.discard;
    details.discardedBytes = result.discardedBytes;
    return Outcome{Summary(result), _("Wipe free space"), _("Completed"), result.failure.empty() && !result.stopped,
                   wxString(), wxString(), wxString(), wxString(), wxString()};
}

wxString FreeSpaceRun::Question(const wxString& folder, const FreeSpaceWiper::Check& check,
                                WipeMethod algorithm)
{
    const FreeSpace::Filesystem& fs = check.filesystem;
    wxString text = wxString::Format(
        _("Wipe the free space of the %s filesystem that holds\n%s?\n\n"
          "%s are free there. Vorlix fills all of it with files of %s, each synced to the drive, "
          "and then deletes them again. Files you have now are not touched.\n\n"
          "The drive is full for a while: other programs writing to it may fail meanwhile."),
        fs.type, NativePath::Display(folder), ByteSize::Text(fs.freeBytes),
        algorithm == WipeMethod::DoD ? _("0x00, 0xFF and random bytes, in three passes") : _("random bytes"));
    // Said before anything else the run leaves undone.
    if (check.adminOnlyBytes != 0)
        text += "\n\n" + AdminOnlyText(check.adminOnlyBytes);
    if (!check.note.empty())
        text += "\n\n" + check.note;
    if (check.medium == StorageMedium::Kind::Flash) {
        text += "\n\n" + _("This is flash storage: the drive may keep old copies in cells that no file written "
                           "there can reach. ");
        text += Discard::AllowedNow() ? _("Once the fill files are deleted, Vorlix asks the drive to discard "
                                          "the space they took.")
                                      : _("The space the fill files took is discarded at the system's next "
                                          "fstrim run: only an administrator can ask the drive to do it at once.");
    }
    return text;
}

wxString FreeSpaceRun::AdminOnlyText(uint64_t bytes)
{
    return wxString::Format(_("%s (%s bytes) of the free space there are kept for the system: only a run with "
                              "administrator rights reaches them, and deleted files whose data lies there stay "
                              "readable otherwise."),
                            ByteSize::Text(bytes), wxULongLong(bytes).ToString());
}

wxString FreeSpaceRun::Summary(const FreeSpaceWiper::Result& result)
{
    if (result.stopped)
        return _("The free-space wipe was stopped. Every file it made has been removed.");
    if (!result.failure.empty())
        return _("The free-space wipe did not finish:") + "\n" + result.failure
               + (result.removedAll ? "\n\n" + _("Every file it made has been removed.") : wxString());
    wxString text = wxString::Format(_("Free space wiped: %s written."), ByteSize::Text(result.bytesWritten));
    if (result.unreachedBytes != 0)
        text += "\n\n" + wxString::Format(_("%s (%s bytes) of free space could not be reached: blocks the "
                                            "filesystem keeps back for itself, and for the system unless an "
                                            "administrator runs the wipe."),
                                 ByteSize::Text(result.unreachedBytes), wxULongLong(result.unreachedBytes).ToString());
    if (result.medium == StorageMedium::Kind::Flash)
        text += "\n\n" + _("On flash storage the drive may keep old copies that no fill file can reach. ")
                + RunReport::DiscardText(result.discard, result.discardedBytes, result.periodicTrim);
    return text;
}
