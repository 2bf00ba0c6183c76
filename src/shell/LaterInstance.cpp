// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/LaterInstance.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/socket.h>
#include <wx/stopwatch.h>

#include <iostream>
#include <memory>
#include <string>

#include "engine/ConsoleText.h"
#include "shell/HandOffMessage.h"
#include "platform/handoff/HandOffEndpoint.h"
#include "platform/NativePath.h"
#include "platform/WorkingFolder.h"

namespace {

// How long one connection may take to be made and to carry its path.
const int sendTimeoutSeconds = 5;
// A busy listener may refuse a connection (a full backlog on Windows): it is
// tried again for this long before the running instance counts as unreachable.
const long retryForMs = 3000;
const long retryPauseMs = 20;

// The toolkit's socket layer needs an application object; the GUI one would
// connect to the display, which a later instance must not need.
class SocketOnlyApp : public wxAppConsole {
public:
    int OnRun() override { return 0; }
};

// The running instance has its own working folder: send what this one means.
wxString Absolute(const wxString& path)
{
    if (path.empty() || !wxFileName(path).IsRelative())
        return path;
    return WorkingFolder::Path() + wxFILE_SEP_PATH + path;
}

enum class Sending { Sent, Failed, HeldByAnother };

// One connection carrying one message; Failed when it could not be made or
// could not take the whole message, HeldByAnother (with nothing sent) when
// another user's program listens there.
Sending SendOnce(const wxSockAddress& address, const std::string& bytes)
{
    wxSocketClient client(wxSOCKET_WAITALL | wxSOCKET_BLOCK);
    client.SetTimeout(sendTimeoutSeconds);
    if (!client.Connect(address, true))
        return Sending::Failed;
    if (!HandOffEndpoint::ListenerIsSameUser(client))
        return Sending::HeldByAnother;
    if (!bytes.empty()) {
        client.Write(bytes.data(), static_cast<wxUint32>(bytes.size()));
        if (client.Error() || client.LastWriteCount() != bytes.size())
            return Sending::Failed;
    }
    HandOffEndpoint::EndMessage(client, sendTimeoutSeconds);
    client.Close();
    return Sending::Sent;
}

Sending Send(const wxSockAddress& address, const std::string& bytes)
{
    wxStopWatch clock;
    Sending sending;
    while ((sending = SendOnce(address, bytes)) == Sending::Failed) {
        if (clock.Time() > retryForMs)
            return Sending::Failed;
        wxMilliSleep(retryPauseMs);
    }
    return sending;
}

}  // namespace

LaterInstance::Outcome LaterInstance::HandOver(const std::vector<wxString>& paths)
{
    if (paths.empty())
        return Outcome::AllSent;

    wxAppConsole::SetInstance(new SocketOnlyApp);
    wxInitializer toolkit;
    if (!toolkit.IsOk() || !wxSocketBase::Initialize())
        return Outcome::Unreachable;
    const std::unique_ptr<wxSockAddress> address = HandOffEndpoint::Address();
    if (!address)
        return Outcome::Unreachable;

    Outcome outcome = Outcome::AllSent;
    for (const wxString& argument : paths) {
        const wxString path = Absolute(argument);
        const std::string bytes = HandOffMessage::Encode(path);
        if (bytes.empty() && !path.empty()) {
            // A stand-in could name another file.
            std::cerr << "Not handed over, the path is not UTF-8: " << ConsoleText::Of(NativePath::Display(path))
                      << std::endl;
            outcome = Outcome::SomeCannotTravel;
            continue;
        }
        switch (Send(*address, bytes)) {
        case Sending::Sent: break;
        case Sending::Failed: return Outcome::Unreachable;
        case Sending::HeldByAnother: return Outcome::HeldByAnother;
        }
        std::cout << "Param sent to main instance " << ConsoleText::Of(path) << std::endl;
    }
    return outcome;
}
