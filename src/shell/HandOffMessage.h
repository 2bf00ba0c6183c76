// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/socket.h>
#include <wx/string.h>

#include <atomic>
#include <string>

// The hand-off wire format: one connection per path, the path's UTF-8 bytes,
// nothing else; the sender's close ends the message. A byte of a name that is
// not UTF-8 (0x80-0xFF) travels as the lone surrogate U+DC00 + byte that
// stands for it in the path's text, encoded as UTF-8 would encode it; valid
// UTF-8 never produces those three bytes, so a UTF-8 path's message is as it was.
class HandOffMessage {
public:
    // Longer than any path a filesystem accepts; anything bigger is not a path.
    static constexpr size_t maxBytes = 64 * 1024;
    // How long one connection may take to deliver its message and close.
    static constexpr int receiveWaitMs = 1000;

    // Empty when the path cannot travel: it holds a NUL, or a surrogate that
    // stands for no byte of a name (broken UTF-16 on Windows).
    static std::string Encode(const wxString& path);
    // The path in a complete message; empty for an empty, oversized or
    // malformed one (not strict UTF-8, an embedded NUL), and for a relative
    // path, which would be read against the wrong working folder. Encoded
    // surrogates are taken only where they stand for bytes that are not UTF-8.
    static wxString Decode(const std::string& bytes);
    // Reads one message from an accepted connection until the sender closes it.
    // Gives up (empty result) when the sender does not close within the bounded
    // wait, sends too much, or a stop is requested.
    static wxString Receive(wxSocketBase& socket, const std::atomic<bool>& stop);
};
