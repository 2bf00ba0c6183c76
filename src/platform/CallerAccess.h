// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

// What the user who asked for a privileged step may do, checked as that
// user, so that a step running as root only ever does what they could start
// themselves.
class CallerAccess {
public:
    // The user pkexec ran the step for (PKEXEC_UID), or this process's own
    // user when it was started directly; false when PKEXEC_UID is not a
    // plain number.
    static bool Caller(unsigned long& uid);
    // Opens the folder path itself, never through a link in its last part,
    // and keeps it open for the life of the process; -1 when path is not a
    // folder. Checks and the step then go by held, so the name cannot be
    // pointed elsewhere between the two.
    static int HoldFolder(const wxString& path);
    // A name for the held folder that always leads to it.
    static wxString HeldPath(int held);
    // The user uid may create files in the held folder: tried in a child
    // process that has become that user, with their groups.
    static bool CanWriteIn(unsigned long uid, int held);
};
