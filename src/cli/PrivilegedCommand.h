// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

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
class PrivilegedCommand {
public:
    enum Status { Done = 0, NotDone = 1, Refused = 2, Stopped = 130 };

    PrivilegedCommand(const std::vector<wxString>& args, std::ostream& out, std::ostream& err);
    int Run();

private:
    // Why the arguments are refused; empty when they are sound.
    wxString Refusal();
    int WipeFreeSpace();
    // Writes text to out; false once it cannot.
    bool Tell(const std::string& text);

    const std::vector<wxString> args;
    std::ostream& out;
    std::ostream& err;
    bool outputOk = true;
    // The folder, opened once it is checked not to be a link; checked and
    // wiped through it (CallerAccess::HeldPath).
    wxString heldFolder;
};
