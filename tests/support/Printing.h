// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <ostream>

// Lets GoogleTest show wxStrings as text in its failure messages.
inline void PrintTo(const wxString& text, std::ostream* out)
{
    *out << '"' << text.utf8_str() << '"';
}
