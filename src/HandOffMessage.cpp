#include "HandOffMessage.h"

#include <wx/filename.h>
#include <wx/stopwatch.h>

#include "platform/Utf8.h"

namespace {

bool IsStrictUtf8(const std::string& bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        char32_t code;
        const size_t length = Utf8::Sequence(bytes, at, code);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

}  // namespace

std::string HandOffMessage::Encode(const wxString& path)
{
    const wxScopedCharBuffer utf8 = path.utf8_str();
    std::string bytes(utf8.data(), utf8.length());
    // A name holding bytes that are not UTF-8 has no UTF-8 form to send.
    if (!IsStrictUtf8(bytes) || wxString::FromUTF8(bytes.data(), bytes.size()) != path)
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
    if (!IsStrictUtf8(bytes))
        return wxString();
    const wxString path = wxString::FromUTF8(bytes.data(), bytes.size());
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
