#include "HandOffMessage.h"

#include <wx/stopwatch.h>

std::string HandOffMessage::Encode(const wxString& path)
{
    const wxScopedCharBuffer utf8 = path.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

wxString HandOffMessage::Decode(const std::string& bytes)
{
    if (bytes.empty() || bytes.size() > maxBytes)
        return wxString();
    // An embedded NUL cannot be part of a path and would cut it short later.
    if (bytes.find('\0') != std::string::npos)
        return wxString();
    // FromUTF8 yields an empty string for anything that is not valid UTF-8.
    return wxString::FromUTF8(bytes.data(), bytes.size());
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
