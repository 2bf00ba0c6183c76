// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FrozenFilesystem.h"

#include <wx/log.h>

#include <windows.h>

// Windows offers no freeze of a mounted volume to a program.
FrozenFilesystem::FrozenFilesystem() = default;
FrozenFilesystem::~FrozenFilesystem() = default;

bool FrozenFilesystem::Freeze(const FreeSpace::Filesystem&, wxString& detail)
{
    detail = wxSysErrorMsgStr(ERROR_NOT_SUPPORTED);
    return false;
}

bool FrozenFilesystem::FreeExtents(std::vector<Extent>& extents, wxString&)
{
    extents.clear();
    return false;
}

bool FrozenFilesystem::Write(uint64_t, size_t, wxString&) { return false; }
bool FrozenFilesystem::Flush(wxString&) { return false; }
void FrozenFilesystem::Thaw() {}
