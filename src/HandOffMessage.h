#pragma once

#include <wx/socket.h>
#include <wx/string.h>

#include <atomic>
#include <string>

// The hand-off wire format: one connection per path, the path's UTF-8 bytes,
// nothing else; the sender's close ends the message.
class HandOffMessage {
public:
    // Longer than any path a filesystem accepts; anything bigger is not a path.
    static constexpr size_t maxBytes = 64 * 1024;
    // How long one connection may take to deliver its message and close.
    static constexpr int receiveWaitMs = 1000;

    // Empty when the path has no UTF-8 form (its name holds bytes that are not
    // UTF-8): such a path cannot travel.
    static std::string Encode(const wxString& path);
    // The path in a complete message; empty for an empty, oversized or
    // malformed one (not strict UTF-8, an embedded NUL), and for a relative
    // path, which would be read against the wrong working folder.
    static wxString Decode(const std::string& bytes);
    // Reads one message from an accepted connection until the sender closes it.
    // Gives up (empty result) when the sender does not close within the bounded
    // wait, sends too much, or a stop is requested.
    static wxString Receive(wxSocketBase& socket, const std::atomic<bool>& stop);
};
