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
    // path is a folder itself, not a link to one.
    static bool IsPlainFolder(const wxString& path);
    // The user uid may create files in the folder path: tried in a child
    // process that has become that user, with their groups.
    static bool CanWriteIn(unsigned long uid, const wxString& path);
};
