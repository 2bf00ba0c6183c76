#pragma once

#include <wx/string.h>

// The user's private folder for the instance lock and the hand-off socket:
// /run/user/<uid> where it exists and belongs to the user, otherwise
// /tmp/vorlix-<uid>, made with mode 0700 and trusted only if it is a real
// folder of this user that nobody else can enter. Empty when neither is safe.
class RuntimeFolder {
public:
    static wxString Path();
};
