// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/socket.h>

#include <memory>

// Where later instances reach the running one: a Unix socket in the user's
// private runtime folder, or 127.0.0.1 port 255 on Windows.
class HandOffEndpoint {
public:
    // Null when there is no safe place for the endpoint.
    static std::unique_ptr<wxSockAddress> Address();
    // Called by the first instance while it holds the instance lock, right before
    // it listens: clears what a killed predecessor may have left behind.
    static void PrepareToListen();
    // Lets many later instances wait for the listener at once where the system
    // allows it; the toolkit itself listens with a backlog of 5.
    static void WidenBacklog(wxSocketServer& server);
    // Called by the listener right before it accepts a waiting connection:
    // where a sender's owner can be looked up only while it still exists
    // (Windows), the senders waiting are looked up now.
    static void BeforeAccept();
    // Whether an accepted connection comes from the user running this instance.
    static bool IsSameUser(wxSocketBase& connection);
    // Whether the process listening at the other end of a connection just made
    // to Address() belongs to this user (on Windows in this session too): a
    // later instance sends nothing to another's. True where the endpoint
    // itself is private.
    static bool ListenerIsSameUser(wxSocketBase& connection);
    // Ends a sent message; returns when the listener has closed the connection
    // (or after timeoutSeconds) where the listener needs it open to check it.
    static void EndMessage(wxSocketBase& connection, int timeoutSeconds);
};
