// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CallerAccess.h"

// vorlix-privileged is a Linux program (pkexec); on Windows nobody may call it.
bool CallerAccess::Caller(unsigned long&)
{
    return false;
}

int CallerAccess::HoldFolder(const wxString&)
{
    return -1;
}

wxString CallerAccess::HeldPath(int)
{
    return wxString();
}

bool CallerAccess::CanWriteIn(unsigned long, int)
{
    return false;
}
