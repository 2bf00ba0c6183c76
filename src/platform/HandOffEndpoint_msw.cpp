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
