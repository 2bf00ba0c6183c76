// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FreeSpace.h"

#include <wx/string.h>

#include <functional>
#include <iosfwd>
#include <vector>

// vorlix-privileged once its arguments are read: the one program that runs
// a step as root for the window, through pkexec. Its first argument names
// the job; each job takes exactly its own arguments, and everything is
// checked, as the calling user where that matters, before anything is done:
// polkit may keep an administrator's yes for a while, and a program that
// took any argument would then do anything as root for any process of the
// user.
//
//   free-space FOLDER random|dod
//
// wipes the free space of FOLDER's filesystem, writing FreeSpaceLines on out.
// It stops as on the window's Stop at SIGINT, SIGTERM, SIGHUP, a "stop" line
// on its input, and once out has nobody reading.
//
//   wipe-drive DEVICE random|dod all|sample|none
//
// wipes the whole drive DEVICE (a block device node under /dev, not a link)
// with DriveWiper, writing DriveLines on out; refused when DriveList gives
// any reason, and stopped as free-space is.
//
//   clear-journal MOUNTPOINT
//
// empties the journal of the ext3/ext4 filesystem mounted there into place
// and zeroes it, and does nothing else: Done when it is clear, NotDone when
// the system could not. It needs no check of the caller: a checkpoint only
// does early what the filesystem does anyway.
class PrivilegedCommand {
public:
    enum Status { Done = 0, NotDone = 1, Refused = 2, Stopped = 130 };

    // useLanguage sets up the user's language; called before the first
    // text is made.
    PrivilegedCommand(const std::vector<wxString>& args, std::ostream& out, std::ostream& err,
                      std::function<void()> useLanguage);
    int Run();

private:
    // Why the arguments are refused; empty when they are sound.
    wxString Refusal();
    wxString JournalRefusal();
    wxString DriveRefusal();
    int WipeFreeSpace();
    int WipeDrive();
    int ClearJournal();
    // Writes text to out; false once it cannot.
    bool Tell(const std::string& text);

    // Sets up the user's language once; the journal's job, on every user's
    // wipe, says nothing when it succeeds and so reads no catalog then.
    void Speak();

    const std::vector<wxString> args;
    std::ostream& out;
    std::ostream& err;
    std::function<void()> useLanguage;
    bool outputOk = true;
    // The folder, opened once it is checked not to be a link; checked and
    // wiped through it (CallerAccess::HeldPath).
    wxString heldFolder;
    // The filesystem whose journal is cleared, its root the held folder.
    FreeSpace::Filesystem journalled;
};
