// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/JsonText.h"

#include "platform/NativePath.h"

#include <cstdio>
#include <type_traits>

std::string JsonText::QuotedBody(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    std::string out;
    out.reserve(utf8.length());
    for (size_t i = 0; i < utf8.length(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8.data()[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string JsonText::Quoted(const wxString& text)
{
    return "\"" + QuotedBody(text) + "\"";
}

std::string JsonText::OrNull(const wxString& text)
{
    return text.empty() ? std::string("null") : Quoted(text);
}

std::string JsonText::NativeHex(const wxString& path)
{
    NativePath::String native;
    if (!NativePath::Encode(path, native))
        return std::string();
    // By hand: a million paths go through here when a large run is saved.
    static const char digits[] = "0123456789abcdef";
    constexpr int width = sizeof(native[0]) * 2;
    std::string hex;
    hex.reserve(native.size() * width);
    for (auto unit : native) {
        const unsigned value = static_cast<std::make_unsigned_t<decltype(unit)>>(unit);
        for (int shift = (width - 1) * 4; shift >= 0; shift -= 4)
            hex += digits[(value >> shift) & 0xF];
    }
    return hex;
}
