// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/handoff/HandOffEndpoint.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "platform/NativePath.h"
#include "platform/RuntimeFolder.h"

namespace {

wxString SocketPath()
{
    const wxString folder = RuntimeFolder::Path();
    return folder.empty() ? wxString() : folder + "/vorlix.sock";
}

}  // namespace

std::unique_ptr<wxSockAddress> HandOffEndpoint::Address()
{
    const wxString path = SocketPath();
    std::string native;
    // The toolkit stores the name as UTF-8 and, when it does not fit, leaves
    // an empty name that binds elsewhere: only a name it keeps exactly is used.
    if (path.empty() || !NativePath::Encode(path, native) || native.size() >= sizeof(sockaddr_un::sun_path) ||
        wxString::FromUTF8(native.data(), native.size()) != path)
        return nullptr;
    auto address = std::make_unique<wxUNIXaddress>();
    address->Filename(path);
    if (address->Filename() != path)
        return nullptr;
    return address;
}

void HandOffEndpoint::PrepareToListen()
{
    // A killed predecessor leaves its socket file, and binding over it fails.
    std::string native;
    if (NativePath::Encode(SocketPath(), native) && !native.empty())
        unlink(native.c_str());
}

void HandOffEndpoint::WidenBacklog(wxSocketServer& server)
{
    // Listening again on a listening socket only changes its backlog.
    if (server.IsOk())
        listen(server.GetSocket(), SOMAXCONN);
}

// The peer's credentials stay with the socket: nothing to look up early.
void HandOffEndpoint::BeforeAccept() {}

bool HandOffEndpoint::IsSameUser(wxSocketBase& connection)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(connection.GetSocket(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return peer.uid == geteuid();
}

// The socket lives in the user's private runtime folder: only the user's own
// programs can listen there.
bool HandOffEndpoint::ListenerIsSameUser(wxSocketBase&)
{
    return true;
}

// The listener reads the peer's credentials from the socket itself.
void HandOffEndpoint::EndMessage(wxSocketBase&, int) {}
