// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CallerAccess.h"

// vorlix-privileged is a Linux program (pkexec); on Windows nobody may call it.
bool CallerAccess::Caller(unsigned long&)
{
    return false;
}

bool CallerAccess::IsPlainFolder(const wxString&)
{
    return false;
}

bool CallerAccess::CanWriteIn(unsigned long, const wxString&)
{
    return false;
}
