#include "ConsoleText.h"

std::string ConsoleText::Of(const wxString& text)
{
    const wxScopedCharBuffer local = text.mb_str();
    if (local.length() != 0 || text.empty())
        return std::string(local.data(), local.length());
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}
