// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <string>

// Text for a line on standard output or standard error: the locale's narrow
// encoding, or UTF-8 where the locale cannot spell it, so that a path in an
// error line is never blank.
class ConsoleText {
public:
    static std::string Of(const wxString& text);
};
