#include "NativePath.h"

#include <sys/stat.h>

namespace {

const wxUniChar::value_type escapeBase = 0xDC00;  // + byte, for a byte that is not UTF-8
const wxUniChar::value_type toolkitBase = 0x100000;  // the toolkit's own mark for such a byte

bool IsEscape(wxUniChar::value_type c)
{
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF;
}

// Length of the valid UTF-8 sequence at s[i] and its code point, or 0 when the
// byte there does not start one. Strict: no overlong forms, no surrogates,
// nothing above U+10FFFF.
size_t ValidSequence(const std::string& s, size_t i, wxUniChar::value_type& code)
{
    const auto byte = [&s](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        code = b0;
        return 1;
    }
    size_t length;
    wxUniChar::value_type min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        code = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        code = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        code = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < length)
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void AppendUtf8(std::string& out, wxUniChar::value_type c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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
        wxUniChar::value_type code;
        const size_t length = ValidSequence(native, i, code);
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
            AppendUtf8(bytes, c);
    }
    // Escaped bytes that happen to form UTF-8 would read back as other text.
    if (Decode(bytes) != path)
        return false;
    native = std::move(bytes);
    return true;
}

bool NativePath::IsExact(const wxString& path)
{
    String native;
    return Encode(path, native);
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
