// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ShellQuote.h"

#include "platform/Utf8.h"

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

// One character of the name, or one byte of it that is no character.
struct Unit {
    char32_t code;
    std::string bytes;  // what it is on disk
    bool printable;
};

bool Printable(char32_t code)
{
    if (code < 0x80)
        return code >= 0x20 && code != 0x7F;
    // Kept only where the locale can both show and spell it.
    char spelled[MB_LEN_MAX];
    std::mbstate_t state{};
    return std::iswprint(static_cast<wint_t>(code))
           && std::wcrtomb(spelled, static_cast<wchar_t>(code), &state) != static_cast<size_t>(-1);
}

std::vector<Unit> UnitsOf(const wxString& name)
{
    std::vector<Unit> units;
    for (wxUniChar ch : name) {
        const char32_t c = ch.GetValue();
        std::string bytes;
        if (c >= 0xDC80 && c <= 0xDCFF) {
            bytes += static_cast<char>(c - 0xDC00);
        } else {
            // A stray surrogate (a Windows name can hold one) goes byte by
            // byte, like any other name that is not text.
            Utf8::Append(bytes, c);
            if (c < 0xD800 || c > 0xDFFF) {
                units.push_back({c, bytes, Printable(c)});
                continue;
            }
        }
        for (char byte : bytes)
            units.push_back({static_cast<unsigned char>(byte), std::string(1, byte), false});
    }
    return units;
}

// A character a shell would read as more than itself.
bool Special(const std::vector<Unit>& units, size_t i)
{
    const char32_t c = units[i].code;
    if (c == '#' || c == '~')
        return i == 0;
    if (c == '{' || c == '}')
        return units.size() == 1;
    return c < 0x80 && std::char_traits<char>::find(" !\"$&()*;<=>[^`|\\?'", 20, static_cast<char>(c)) != nullptr;
}

// Fits in double quotes as it is: then a name whose only trouble is an
// apostrophe is shown as "it's".
bool DoubleQuotable(const std::vector<Unit>& units, size_t i)
{
    const char32_t c = units[i].code;
    if (c >= 0x80)
        return units[i].printable;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    if (c == '#' || c == '~' || c == '{' || c == '}')
        return Special(units, i);
    return std::char_traits<char>::find("%+,-./:@]_ '", 12, static_cast<char>(c)) != nullptr;
}

void AppendEscape(std::string& out, unsigned char byte)
{
    static const char letters[] = "abtnvfr";  // bytes 7 to 13
    out += '\\';
    if (byte >= 7 && byte <= 13) {
        out += letters[byte - 7];
    } else {
        out += static_cast<char>('0' + (byte >> 6));
        out += static_cast<char>('0' + ((byte >> 3) & 7));
        out += static_cast<char>('0' + (byte & 7));
    }
}

}  // namespace

wxString ShellQuote::Of(const wxString& name)
{
    const std::vector<Unit> units = UnitsOf(name);
    bool quoted = units.empty(), apostrophe = false, doubleQuotable = true;
    for (size_t i = 0; i < units.size(); ++i) {
        quoted = quoted || !units[i].printable || Special(units, i);
        apostrophe = apostrophe || units[i].code == '\'';
        doubleQuotable = doubleQuotable && DoubleQuotable(units, i);
    }
    std::string out;
    if (!quoted) {
        out = name.utf8_string();
    } else if (apostrophe && doubleQuotable) {
        out = "\"" + name.utf8_string() + "\"";
    } else {
        out = "'";
        // ls opens with a needless '' when an apostrophe comes before a
        // trailing escape; kept, so that the two print byte for byte alike,
        // except where it would swallow a leading escape's $'.
        bool inEscape = apostrophe && !units.back().printable && units.front().printable;
        for (const Unit& unit : units) {
            if (!unit.printable) {
                if (!inEscape)
                    out += "'$'";
                inEscape = true;
                for (char byte : unit.bytes)
                    AppendEscape(out, static_cast<unsigned char>(byte));
                continue;
            }
            if (unit.code == '\'') {
                out += "'\\''";
                inEscape = false;
                continue;
            }
            if (inEscape)
                out += "''";
            inEscape = false;
            out += unit.bytes;
        }
        out += "'";
    }
    return wxString::FromUTF8(out);
}
