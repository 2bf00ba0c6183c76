#include "HandOffEndpoint.h"

std::unique_ptr<wxSockAddress> HandOffEndpoint::Address()
{
    auto address = std::make_unique<wxIPV4address>();
    address->Hostname(wxT("127.0.0.1"));
    address->Service(255);
    return address;
}

// A TCP port leaves nothing behind when its owner dies.
void HandOffEndpoint::PrepareToListen() {}

// Winsock keeps the first backlog of a listening socket; later instances whose
// connection is refused try again for a while instead.
void HandOffEndpoint::WidenBacklog(wxSocketServer&) {}

// Not checked here yet: any local process can reach the loopback port.
bool HandOffEndpoint::IsSameUser(wxSocketBase&)
{
    return true;
}
