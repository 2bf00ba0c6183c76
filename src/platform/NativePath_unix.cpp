// SPDX-License-Identifier: GPL-3.0-or-later
#include "NativePath.h"

#include <sys/stat.h>

#include "Utf8.h"

namespace {

const wxUniChar::value_type escapeBase = 0xDC00;  // + byte, for a byte that is not UTF-8
const wxUniChar::value_type toolkitBase = 0x100000;  // the toolkit's own mark for such a byte

bool IsEscape(wxUniChar::value_type c)
{
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF;
}

bool EntryExists(const std::string& native)
{
    struct stat info;
    return lstat(native.c_str(), &info) == 0;
}

}  // namespace

wxString NativePath::Decode(const String& native)
{
    wxString text;
    text.reserve(native.size());
    for (size_t i = 0; i < native.size();) {
        char32_t code;
        const size_t length = Utf8::Sequence(native, i, code);
        if (length == 0) {
            text += wxUniChar(escapeBase + static_cast<unsigned char>(native[i]));
            ++i;
        } else {
            text += wxUniChar(code);
            i += length;
        }
    }
    return text;
}

bool NativePath::Encode(const wxString& path, String& native)
{
    std::string bytes;
    bytes.reserve(path.length());
    for (wxUniChar ch : path) {
        const wxUniChar::value_type c = ch.GetValue();
        if (c == 0 || c > 0x10FFFF)
            return false;
        if (IsEscape(c))
            bytes += static_cast<char>(c - escapeBase);
        else if (c >= 0xD800 && c <= 0xDFFF)
            return false;
        else
            Utf8::Append(bytes, c);
    }
    // Escaped bytes that happen to form UTF-8 would read back as other text.
    if (Decode(bytes) != path)
        return false;
    native = std::move(bytes);
    return true;
}

wxString NativePath::FromToolkit(const wxString& path)
{
    // Only bytes 0x80-0xFF can be marked: a marked '/' or '.' is a real character.
    wxString marked;
    bool anyMark = false;
    for (wxUniChar ch : path) {
        const wxUniChar::value_type c = ch.GetValue();
        if (c >= toolkitBase + 0x80 && c <= toolkitBase + 0xFF) {
            marked += wxUniChar(escapeBase + (c - toolkitBase));
            anyMark = true;
        } else {
            marked += ch;
        }
    }
    if (!anyMark)
        return path;
    String literal, unmarked;
    const bool literalOk = Encode(path, literal);
    const bool unmarkedOk = Encode(marked, unmarked);
    const bool literalExists = literalOk && EntryExists(literal);
    const bool unmarkedExists = unmarkedOk && EntryExists(unmarked);
    if (literalExists && unmarkedExists)
        return wxString();
    if (unmarkedExists)
        return marked;
    return path;
}

wxString NativePath::Display(const wxString& path)
{
    wxString shown;
    shown.reserve(path.length());
    for (wxUniChar ch : path) {
        const wxUniChar::value_type c = ch.GetValue();
        shown += (c >= 0xD800 && c <= 0xDFFF) ? wxUniChar(0xFFFD) : ch;
    }
    return shown;
}
