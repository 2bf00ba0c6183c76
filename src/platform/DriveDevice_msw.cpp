// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DriveDevice.h"

#include <wx/translation.h>

// Whole drives are not wiped on Windows yet: nothing is ever opened.

DriveDevice::~DriveDevice()
{
}

void DriveDevice::Close()
{
}

DriveDevice::Opened DriveDevice::Open(const wxString&, wxString& detail)
{
    detail = _("Wiping a whole drive is not available on Windows yet.");
    return Opened::Failed;
}

bool DriveDevice::Write(uint64_t, const void*, size_t, wxString&)
{
    return false;
}

bool DriveDevice::Read(uint64_t, void*, size_t, wxString&)
{
    return false;
}

bool DriveDevice::Sync(wxString&)
{
    return false;
}

void DriveDevice::StartWriteback(uint64_t, uint64_t)
{
}

void DriveDevice::Settle(uint64_t)
{
}

DriveDevice::DiscardKind DriveDevice::DiscardAll(wxString&)
{
    return DiscardKind::None;
}
