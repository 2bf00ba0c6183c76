// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/handoff/HandOffEndpoint.h"

// The toolkit's socket header brings winsock2.h, which must come before windows.h.
#include <winsock2.h>
#include <windows.h>

#include <iphlpapi.h>

#include <map>
#include <memory>
#include <vector>

namespace {

const unsigned short handOffPort = 255;

// The rows of the system's TCP table for IPv4, each with its owner's process.
std::vector<MIB_TCPROW_OWNER_PID> TcpTable(TCP_TABLE_CLASS kind)
{
    std::vector<MIB_TCPROW_OWNER_PID> rows;
    ULONG size = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::vector<unsigned char> buffer(size);
        const DWORD result = ::GetExtendedTcpTable(buffer.empty() ? nullptr : buffer.data(), &size, FALSE, AF_INET,
                                                   kind, 0);
        if (result == ERROR_INSUFFICIENT_BUFFER)
            continue;  // connections came and went: ask again with the new size
        if (result != NO_ERROR)
            break;
        const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
        rows.assign(table->table, table->table + table->dwNumEntries);
        break;
    }
    return rows;
}

// The user SID and session of a process; false when they cannot be read.
bool UserOf(DWORD pid, std::vector<unsigned char>& sid, DWORD& session)
{
    if (pid == 0 || !::ProcessIdToSessionId(pid, &session))
        return false;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    HANDLE token = nullptr;
    bool known = false;
    if (::OpenProcessToken(process, TOKEN_QUERY, &token)) {
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
            const PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
            const DWORD length = ::GetLengthSid(user);
            sid.assign(static_cast<unsigned char*>(user), static_cast<unsigned char*>(user) + length);
            known = true;
        }
        ::CloseHandle(token);
    }
    ::CloseHandle(process);
    return known;
}

// Whether process pid runs as this process's user in this process's session
// (fast user switching and Remote Desktop give other users the same loopback
// port). False whenever it cannot be told.
bool IsOurs(DWORD pid)
{
    std::vector<unsigned char> ourSid, theirSid;
    DWORD ourSession = 0, theirSession = 0;
    return UserOf(::GetCurrentProcessId(), ourSid, ourSession) && UserOf(pid, theirSid, theirSession)
           && ourSid == theirSid && ourSession == theirSession;
}

unsigned short PortOf(DWORD networkOrderPort)
{
    return ::ntohs(static_cast<u_short>(networkOrderPort));
}

}  // namespace

std::unique_ptr<wxSockAddress> HandOffEndpoint::Address()
{
    auto address = std::make_unique<wxIPV4address>();
    address->Hostname(wxT("127.0.0.1"));
    address->Service(handOffPort);
    return address;
}

// A TCP port leaves nothing behind when its owner dies.
void HandOffEndpoint::PrepareToListen() {}

// Winsock keeps the first backlog of a listening socket, and later instances
// whose connection is refused try again for a while instead; where listening
// again does widen it (Wine, on the host's sockets), senders that close at
// once are not left waiting for room.
void HandOffEndpoint::WidenBacklog(wxSocketServer& server)
{
    if (server.IsOk())
        ::listen(server.GetSocket(), SOMAXCONN);
}

namespace {

// The owner of this process's end of a hand-off connection, and of the
// listener; 0 where the table has no owner for it.
DWORD OwnerOf(const std::vector<MIB_TCPROW_OWNER_PID>& rows, unsigned short localPort, unsigned short remotePort)
{
    for (const MIB_TCPROW_OWNER_PID& row : rows)
        if (row.dwLocalAddr == ::htonl(INADDR_LOOPBACK) && PortOf(row.dwLocalPort) == localPort
            && PortOf(row.dwRemotePort) == remotePort)
            return row.dwOwningPid;
    return 0;
}

DWORD ListenerOwner()
{
    for (const MIB_TCPROW_OWNER_PID& row : TcpTable(TCP_TABLE_OWNER_PID_LISTENER))
        if ((row.dwLocalAddr == ::htonl(INADDR_LOOPBACK) || row.dwLocalAddr == INADDR_ANY)
            && PortOf(row.dwLocalPort) == handOffPort)
            return row.dwOwningPid;
    return 0;
}


// Whether the sender at each local port waiting to be accepted is this user's,
// told as late as it can be while the sender may still run: right before the
// accept; listener thread only.
std::map<unsigned short, bool> waitingSenders;

// Whether the last connection found the listener named in the system's
// table; where it is not (Wine), looking senders up early is no use, and
// each reading of the table walks every process's sockets there.
bool tableNamesOwners = false;

}  // namespace

void HandOffEndpoint::BeforeAccept()
{
    waitingSenders.clear();
    if (!tableNamesOwners)
        return;
    for (const MIB_TCPROW_OWNER_PID& row : TcpTable(TCP_TABLE_OWNER_PID_ALL))
        if (row.dwLocalAddr == ::htonl(INADDR_LOOPBACK) && PortOf(row.dwRemotePort) == handOffPort
            && row.dwOwningPid != 0)
            waitingSenders[PortOf(row.dwLocalPort)] = IsOurs(row.dwOwningPid);
}

// Any local process can reach the loopback port: the connecting end's owner,
// found from its port in the system's table, must be this user in this session.
// A sender gone since BeforeAccept is judged by what was found then. Where
// the system names no owner even for this process's own listener (Wine does
// not), nobody can be told apart and the connection is taken as before.
bool HandOffEndpoint::IsSameUser(wxSocketBase& connection)
{
    wxIPV4address peer;
    if (!connection.GetPeer(peer))
        return false;
    tableNamesOwners = ListenerOwner() != 0;
    if (!tableNamesOwners)
        return true;
    const DWORD owner = OwnerOf(TcpTable(TCP_TABLE_OWNER_PID_CONNECTIONS), peer.Service(), handOffPort);
    if (owner != 0)
        return IsOurs(owner);
    const auto found = waitingSenders.find(peer.Service());
    return found != waitingSenders.end() && found->second;
}

// Whoever listens on the port (a program of another user, or one that took
// the place on purpose) would read every path sent to it. Checked on a made
// connection, before anything is sent, with the same fallback as above: where
// the system names no owner for this very connection, it cannot be told.
bool HandOffEndpoint::ListenerIsSameUser(wxSocketBase& connection)
{
    wxIPV4address local;
    if (!connection.GetLocal(local))
        return false;
    if (OwnerOf(TcpTable(TCP_TABLE_OWNER_PID_CONNECTIONS), local.Service(), handOffPort) == 0)
        return true;
    const DWORD owner = ListenerOwner();
    return owner != 0 && IsOurs(owner);
}

// The listener checks who is connecting while the connection is open: closing
// at once could leave the table without an owner for this end. So the
// sending side only ends its half and waits for the listener to close.
void HandOffEndpoint::EndMessage(wxSocketBase& connection, int timeoutSeconds)
{
    ::shutdown(connection.GetSocket(), SD_SEND);
    connection.WaitForLost(timeoutSeconds, 0);
}
