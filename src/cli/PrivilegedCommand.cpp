// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PrivilegedCommand.h"

#include "cli/StopSignals.h"
#include "engine/ConsoleText.h"
#include "engine/DriveLines.h"
#include "engine/FreeSpaceLines.h"
#include "engine/FreeSpaceWiper.h"
#include "platform/CallerAccess.h"
#include "platform/DriveList.h"

#include <wx/log.h>
#include <wx/stopwatch.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <thread>
#include <utility>

#ifndef __WINDOWS__
#include <sys/stat.h>
#endif

namespace {

const long pollMs = 20;
const long progressEveryMs = 100;  // the window looks as often

// A "stop" line on the input, from the window's Stop.
std::atomic<bool> stopAsked{false};

void ListenForStop()
{
    char line[64];
    while (std::fgets(line, sizeof line, stdin))
        if (std::strcmp(line, "stop\n") == 0 || std::strcmp(line, "stop") == 0)
            stopAsked = true;
}

}  // namespace

PrivilegedCommand::PrivilegedCommand(const std::vector<wxString>& args, std::ostream& out, std::ostream& err,
                                     std::function<void()> useLanguage)
    : args(args), out(out), err(err), useLanguage(std::move(useLanguage))
{
}

void PrivilegedCommand::Speak()
{
    if (useLanguage)
        useLanguage();
    useLanguage = nullptr;
}

int PrivilegedCommand::Run()
{
    const bool journal = !args.empty() && args[0] == "clear-journal";
    if (!journal)
        Speak();
    wxString refusal = Refusal();
    if (!refusal.empty() && useLanguage) {
        // The same checks again, now in the user's words.
        Speak();
        refusal = Refusal();
    }
    if (!refusal.empty()) {
        err << "vorlix-privileged: " << ConsoleText::Of(refusal) << std::endl;
        return Refused;
    }
    if (args[0] == "wipe-drive")
        return WipeDrive();
    return args[0] == "clear-journal" ? ClearJournal() : WipeFreeSpace();
}

wxString PrivilegedCommand::Refusal()
{
    const wxString usage = _("usage: vorlix-privileged free-space FOLDER random|dod");
    if (args.empty())
        return usage;
    if (args[0] == "clear-journal")
        return JournalRefusal();
    if (args[0] == "wipe-drive")
        return DriveRefusal();
    if (args[0] != "free-space")
        return wxString::Format(_("unknown job: %s"), args[0]);
    if (args.size() != 3)
        return usage;
    const wxString& folder = args[1];
    if (args[2] != "random" && args[2] != "dod")
        return wxString::Format(_("unknown method: %s"), args[2]);
    if (!folder.StartsWith("/"))
        return wxString::Format(_("not an absolute path: %s"), folder);
    const int held = CallerAccess::HoldFolder(folder);
    if (held < 0)
        return wxString::Format(_("not a folder (a link is never followed): %s"), folder);
    heldFolder = CallerAccess::HeldPath(held);
    unsigned long uid = 0;
    if (!CallerAccess::Caller(uid))
        return _("PKEXEC_UID is not a user id");
    // Only what the user could start on a filesystem they use.
    if (!CallerAccess::CanWriteIn(uid, held))
        return wxString::Format(_("the calling user cannot write in %s"), folder);
    FreeSpaceWiper::Check check;
    wxString detail;
    if (!FreeSpaceWiper::Inspect(heldFolder, check, detail))
        return wxString::Format(_("cannot examine the folder (%s): %s"), detail, folder);
    return check.refusal;
}

wxString PrivilegedCommand::JournalRefusal()
{
    if (args.size() != 2)
        return _("usage: vorlix-privileged clear-journal MOUNTPOINT");
    const wxString& folder = args[1];
    if (!folder.StartsWith("/"))
        return wxString::Format(_("not an absolute path: %s"), folder);
    const int held = CallerAccess::HoldFolder(folder);
    if (held < 0)
        return wxString::Format(_("not a folder (a link is never followed): %s"), folder);
    const wxString path = CallerAccess::HeldPath(held);
    // The top of a mount only: no folder inside one stands for its filesystem.
    if (!FreeSpace::IsMountPoint(path))
        return wxString::Format(_("not a mount point: %s"), folder);
    wxString detail;
    if (!FreeSpace::Examine(path, journalled, detail))
        return wxString::Format(_("cannot examine the folder (%s): %s"), detail, folder);
    if (journalled.type != "ext3" && journalled.type != "ext4")
        return wxString::Format(_("not an ext3 or ext4 filesystem: %s"), folder);
    journalled.root = path;
    return wxString();
}

wxString PrivilegedCommand::DriveRefusal()
{
    if (args.size() != 4)
        return _("usage: vorlix-privileged wipe-drive DEVICE random|dod all|sample|none");
    const wxString& path = args[1];
    DriveWiper::Verification verification = DriveWiper::Verification::All;
    if (args[2] != "random" && args[2] != "dod")
        return wxString::Format(_("unknown method: %s"), args[2]);
    if (!DriveWiper::VerificationFrom(args[3], verification))
        return wxString::Format(_("unknown verification: %s"), args[3]);
#ifdef __WINDOWS__
    return wxString::Format(_("not a block device under /dev: %s"), path);
#else
    // The node itself, named plainly: no link, no way out of /dev.
    struct stat st;
    if (!path.StartsWith("/dev/") || path.Contains("/.") || path.Contains("//")
        || ::lstat(path.fn_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return wxString::Format(_("not a block device under /dev: %s"), path);
    DriveList::Drive drive;
    if (!DriveList::Find(path, drive) || drive.device != st.st_rdev)
        return wxString::Format(_("not a drive: %s"), path);
    wxString reasons;
    for (const wxString& reason : drive.refusals)
        reasons += (reasons.empty() ? "" : " ") + reason;
    return reasons;
#endif
}

int PrivilegedCommand::WipeDrive()
{
    StopSignals::Install();
    std::thread(ListenForStop).detach();
    DriveWiper::Verification verification = DriveWiper::Verification::All;
    DriveWiper::VerificationFrom(args[3], verification);
    DriveWiper wiper(args[1], args[2] == "dod" ? WipeMethod::DoD : WipeMethod::Random, verification);
    Tell(DriveLines::Progress(0, 0));
    std::thread worker([&wiper] { wiper.Run(); });
    wxStopWatch clock;
    long lastTold = 0;
    DriveWiper::Phase told = DriveWiper::Phase::Starting;
    while (!wiper.IsFinished()) {
        if (StopSignals::Received() || stopAsked || !outputOk)
            wiper.RequestStop();
        if (wiper.CurrentPhase() != told) {
            told = wiper.CurrentPhase();
            Tell(DriveLines::PhaseLine(told));
        }
        if (clock.Time() - lastTold >= progressEveryMs) {
            lastTold = clock.Time();
            Tell(DriveLines::Progress(wiper.BytesDone(), wiper.TotalBytes()));
        }
        wxMilliSleep(pollMs);
    }
    worker.join();
    const DriveWiper::Result result = wiper.GetResult();
    Tell(DriveLines::Progress(wiper.BytesDone(), wiper.TotalBytes()));
    Tell(DriveLines::Result(result));
    if (result.facts.stopped)
        return Stopped;
    return result.facts.complete ? Done : result.refusals.empty() ? NotDone : Refused;
}

int PrivilegedCommand::ClearJournal()
{
    if (FreeSpace::ZeroJournal(journalled))
        return Done;
    const wxString detail = wxSysErrorMsgStr(errno);
    Speak();
    err << "vorlix-privileged: "
        << ConsoleText::Of(wxString::Format(_("the journal could not be cleared (%s): %s"), detail, args[1]))
        << std::endl;
    return NotDone;
}

bool PrivilegedCommand::Tell(const std::string& text)
{
    if (outputOk) {
        out << text << std::flush;
        outputOk = !out.fail();
    }
    return outputOk;
}

int PrivilegedCommand::WipeFreeSpace()
{
    // SIGPIPE is ignored from here on: a window that went away fails the write.
    StopSignals::Install();
    std::thread(ListenForStop).detach();
    FreeSpaceWiper wiper(heldFolder, args[2] == "dod" ? WipeMethod::DoD : WipeMethod::Random);
    Tell(FreeSpaceLines::Progress(0, 0));
    std::thread worker([&wiper] { wiper.Run(); });
    wxStopWatch clock;
    long lastTold = 0;
    while (!wiper.IsFinished()) {
        if (StopSignals::Received() || stopAsked || !outputOk)
            wiper.RequestStop();
        if (clock.Time() - lastTold >= progressEveryMs) {
            lastTold = clock.Time();
            Tell(FreeSpaceLines::Progress(wiper.BytesWritten(), wiper.TotalBytes()));
        }
        wxMilliSleep(pollMs);
    }
    worker.join();
    const FreeSpaceWiper::Result result = wiper.GetResult();
    Tell(FreeSpaceLines::Progress(result.bytesWritten, wiper.TotalBytes()));
    Tell(FreeSpaceLines::Result(result));
    if (result.stopped)
        return Stopped;
    return result.failure.empty() ? Done : NotDone;
}
