// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PrivilegedStep.h"

// Windows has no polkit; an administrator's run there is the program started
// as administrator.
const char* const PrivilegedStep::helperPath = "";

bool PrivilegedStep::Available()
{
    return false;
}

PrivilegedStep::~PrivilegedStep() = default;

void PrivilegedStep::Close(int& fd)
{
    fd = -1;
}

bool PrivilegedStep::Start(const std::vector<wxString>&, wxString& detail, bool)
{
    detail = "not available on Windows";
    return false;
}

bool PrivilegedStep::ReadLine(std::string&)
{
    return false;
}

bool PrivilegedStep::Send(const std::string&)
{
    return false;
}

int PrivilegedStep::Wait()
{
    return status;
}

wxString PrivilegedStep::LastError() const
{
    return wxString();
}
