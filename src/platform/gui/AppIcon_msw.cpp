// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gui/AppIcon.h"

wxIconBundle AppIcon::Load()
{
    // Every image of the icon group in res/vorlix.rc; no module means the .exe.
    return wxIconBundle(wxT("VorlixLogo"), nullptr);
}
