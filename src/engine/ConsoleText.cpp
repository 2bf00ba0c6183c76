// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ConsoleText.h"

#include "platform/NativePath.h"

std::string ConsoleText::Of(const wxString& text)
{
    const wxScopedCharBuffer local = text.mb_str();
    if (local.length() != 0 || text.empty())
        return std::string(local.data(), local.length());
    // A name with bytes that are not UTF-8 has no UTF-8 form either.
    const wxString shown = NativePath::Display(text);  // its converted buffer lives in it
    const wxScopedCharBuffer utf8 = shown.utf8_str();
    return std::string(utf8.data(), utf8.length());
}
