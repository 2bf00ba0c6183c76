#include "HandOffEndpoint.h"

#include <unistd.h>

#include "RuntimeFolder.h"

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
    if (path.empty())
        return nullptr;
    auto address = std::make_unique<wxUNIXaddress>();
    address->Filename(path);
    return address;
}

void HandOffEndpoint::PrepareToListen()
{
    // A killed predecessor leaves its socket file, and binding over it fails.
    const wxString path = SocketPath();
    if (!path.empty())
        unlink(path.fn_str());
}
