#pragma once

#include <wx/socket.h>

#include <memory>

// Where later instances reach the running one: a Unix socket in the user's
// private runtime folder, or 127.0.0.1 port 255 on Windows.
class HandOffEndpoint {
public:
    static std::unique_ptr<wxSockAddress> Address();
    // Called by the first instance while it holds the instance lock, right before
    // it listens: clears what a killed predecessor may have left behind.
    static void PrepareToListen();
};
