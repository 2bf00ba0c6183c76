// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

// The user's private folder for the instance lock and the hand-off socket:
// $XDG_RUNTIME_DIR, else /run/user/<uid>, else <cache>/vorlix-runtime in the
// user's own home ($XDG_CACHE_HOME or ~/.cache), made with mode 0700. Each is
// taken only if it is a real folder of this user that nobody else can enter;
// never a shared name such as one in /tmp, which another user could take
// first. Empty when none is safe.
class RuntimeFolder {
public:
    static wxString Path();
};
