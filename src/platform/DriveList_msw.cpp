// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DriveList.h"

#include <wx/translation.h>

// Whole drives are not wiped on Windows yet: nothing is listed there.

std::vector<DriveList::Drive> DriveList::List()
{
    return {};
}

bool DriveList::Find(const wxString&, Drive&)
{
    return false;
}

std::vector<wxString> DriveList::Refusals(uint64_t)
{
    return {_("Wiping a whole drive is not available on Windows yet.")};
}

wxString DriveList::MediaName(Media media)
{
    return media == Media::Flash ? "flash" : media == Media::Spinning ? "spinning" : "unknown";
}
