// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/HandOffMessage.h"

#include <wx/filename.h>
#include <wx/stopwatch.h>

#include <string>
#include <vector>

#include "platform/Utf8.h"

namespace {

// A byte 0x80-0xFF that is not part of UTF-8 stands in a path's text as the
// lone surrogate U+DC00 + byte; on the wire it is that code point, encoded as
// UTF-8 would encode it (ED B2 80 to ED B3 BF).
constexpr char32_t escapeBase = 0xDC00;

bool IsEscape(char32_t c)
{
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF;
}

// The escape encoded at bytes[at], if there is one: three bytes.
size_t EscapeSequence(const std::string& bytes, size_t at, char32_t& code)
{
    const auto byte = [&bytes](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    if (bytes.size() - at < 3 || byte(at) != 0xED || (byte(at + 1) != 0xB2 && byte(at + 1) != 0xB3)
        || (byte(at + 2) & 0xC0) != 0x80)
        return 0;
    code = 0xD000 | char32_t(byte(at + 1) & 0x3F) << 6 | char32_t(byte(at + 2) & 0x3F);
    return 3;
}

// Escaped bytes that would form UTF-8 side by side stand for a name that
// reads as other text: only the form a folder listing gives is taken, so
// that one name has one message.
bool EscapesAreCanonical(const std::u32string& text)
{
    std::string raw;
    std::vector<bool> escaped;
    for (char32_t c : text) {
        if (IsEscape(c)) {
            raw += static_cast<char>(c - escapeBase);
            escaped.push_back(true);
        } else {
            const size_t before = raw.size();
            Utf8::Append(raw, c);
            escaped.insert(escaped.end(), raw.size() - before, false);
        }
    }
    for (size_t at = 0; at < raw.size();) {
        char32_t code;
        const size_t length = Utf8::Sequence(raw, at, code);
        if (length == 0) {
            ++at;
            continue;
        }
        for (size_t k = at; k < at + length; ++k)
            if (escaped[k])
                return false;
        at += length;
    }
    return true;
}

// The text's code points: on Windows the toolkit's units are UTF-16, whose
// pairs are joined here; a lone surrogate stays as it is.
std::u32string CodePoints(const wxString& path)
{
    std::u32string text;
    for (wxUniChar ch : path) {
        const char32_t c = ch.GetValue();
#if wxUSE_UNICODE_UTF16
        if (c >= 0xDC00 && c <= 0xDFFF && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
            text.back() = 0x10000 + ((text.back() - 0xD800) << 10) + (c - 0xDC00);
            continue;
        }
#endif
        text += c;
    }
    return text;
}

}  // namespace

std::string HandOffMessage::Encode(const wxString& path)
{
    std::u32string text;
    std::string bytes;
    for (const char32_t c : CodePoints(path)) {
        // Any other surrogate is broken text, not a byte of a name.
        if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF && !IsEscape(c)))
            return std::string();
        text += c;
        Utf8::Append(bytes, c);
    }
    if (!EscapesAreCanonical(text))
        return std::string();
    return bytes;
}

wxString HandOffMessage::Decode(const std::string& bytes)
{
    if (bytes.empty() || bytes.size() > maxBytes)
        return wxString();
    // An embedded NUL cannot be part of a path and would cut it short later.
    if (bytes.find('\0') != std::string::npos)
        return wxString();
    std::u32string text;
    for (size_t at = 0; at < bytes.size();) {
        char32_t code;
        size_t length = Utf8::Sequence(bytes, at, code);
        if (length == 0)
            length = EscapeSequence(bytes, at, code);
        if (length == 0)
            return wxString();
        text += code;
        at += length;
    }
    if (!EscapesAreCanonical(text))
        return wxString();
    wxString path;
    path.reserve(text.size());
    for (char32_t c : text)
        path += wxUniChar(static_cast<wxUniChar::value_type>(c));
    // The sender makes its paths absolute; a relative one would be read
    // against this instance's working folder and name another file.
    if (!wxFileName(path).IsAbsolute())
        return wxString();
    return path;
}
wxString HandOffMessage::Receive(wxSocketBase& socket, const std::atomic<bool>& stop)
{
    std::string bytes;
    char buffer[4096];
    wxStopWatch clock;
    while (!stop) {
        const long left = receiveWaitMs - clock.Time();
        if (left <= 0)
            return wxString();  // never closed: the message may be incomplete
        if (!socket.WaitForRead(0, static_cast<int>(left)))
            continue;
        socket.Read(buffer, sizeof buffer);
        const size_t count = socket.LastReadCount();
        if (count == 0)
            return Decode(bytes);  // the sender closed: the message is whole
        if (bytes.size() + count > maxBytes)
            return wxString();
        bytes.append(buffer, count);
    }
    return wxString();
}
