#include "Main.h"

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/settings.h>

#include <iostream>

#include "ConsoleText.h"
#include "HandOffMessage.h"
#include "MainFrame.h"
#include "MyCustomEvent.h"
#include "platform/FolderWalk.h"
#include "platform/HandOffEndpoint.h"
#include "platform/NativePath.h"

wxDEFINE_EVENT(EVT_HAND_OFF, wxThreadEvent);

MainFrame* mainFrame = nullptr;

// A log record that names its function with its class, as readers of the log
// expect, and is built only when the level is enabled.
#define VORLIX_LOG(level, function)                         \
    if (!wxLog::IsLevelEnabled(level, wxLOG_COMPONENT)) { \
    } else                                                  \
        wxLogger(level, __FILE__, __LINE__, function, wxLOG_COMPONENT)

namespace {

// How long a later instance waits for the running one to take its path.
const int sendTimeoutSeconds = 5;

}  // namespace

MyApp::~MyApp()
{
    // OnExit has joined the listener on every path that started it.
    wxASSERT(!handOffListener.joinable());
}

bool MyApp::OnInit()
{
    if (!instanceLock.Acquire()) {
        if (argc < 2)
            return false;
        SendToRunningInstance(argv[1]);
        return false;
    }

    // Sockets must be set up on the GUI thread before the listener uses them.
    wxSocketBase::Initialize();
    if (std::unique_ptr<wxSockAddress> address = HandOffEndpoint::Address()) {
        HandOffEndpoint::PrepareToListen();
        // Blocking sockets with bounded waits: the listener runs on its own thread,
        // where non-blocking toolkit sockets are not safe.
        handOffServer = new wxSocketServer(*address, wxSOCKET_BLOCK);
    }
    if (!wxSocketBase::IsInitialized()) {
        delete handOffServer;
        handOffServer = nullptr;
        VORLIX_LOG(wxLOG_Error, "MyApp::OnInit").Log("Failed to initialize server.");
        return false;
    }

    mainFrame = new MainFrame("Vorlix");
    mainFrame->Show(true);
    mainFrame->CenterOnScreen(wxBOTH);
    mainFrame->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));

    if (argc > 1) {
        mainFrame->DisableControls();
        mainFrame->SetStatusText("Adding files, please wait...", 0);
        for (int i = 1; i < argc; ++i)
            mainFrame->wipeQueue.AddPath(argv[i]);
        mainFrame->RefreshQueueList();
        mainFrame->EnableControls();
    }

    handOffListener = std::thread(&MyApp::ListenForHandOffs, this);
    return true;
}

int MyApp::OnExit()
{
    StopListening();
    return wxApp::OnExit();
}

void MyApp::StopListening()
{
    stopListening = true;
    if (handOffListener.joinable())
        handOffListener.join();
}

bool MyApp::SendToRunningInstance(const wxString& argument)
{
    // The running instance has its own working folder: send what this one means.
    wxString path = argument;
    if (!path.empty() && wxFileName(path).IsRelative())
        path = wxFileName::GetCwd() + wxFILE_SEP_PATH + path;

    wxSocketBase::Initialize();
    std::unique_ptr<wxSockAddress> address = HandOffEndpoint::Address();
    wxSocketClient client(wxSOCKET_WAITALL | wxSOCKET_BLOCK);
    client.SetTimeout(sendTimeoutSeconds);
    if (!address || !client.Connect(*address, true)) {
        VORLIX_LOG(wxLOG_Message, "MyApp::OnInit").Log("Failed to communicate with the running instance.");
        return false;
    }
    const std::string bytes = HandOffMessage::Encode(path);
    if (!bytes.empty())
        client.Write(bytes.data(), static_cast<wxUint32>(bytes.size()));
    client.Close();
    std::cout << "Param sent to main instance " << ConsoleText::Of(path) << std::flush;
    return true;
}

void MyApp::ListenForHandOffs()
{
    while (!stopListening) {
        wxString path;
        if (handOffServer && handOffServer->IsOk()) {
            if (handOffServer->WaitForAccept(1, 0)) {
                if (wxSocketBase* connection = handOffServer->Accept(false)) {
                    path = HandOffMessage::Receive(*connection, stopListening);
                    connection->Destroy();
                }
            }
        } else {
            // Nothing to wait on (the endpoint could not be bound): sleep out the
            // accept wait instead of spinning.
            for (int i = 0; i < 10 && !stopListening; ++i)
                wxMilliSleep(100);
        }
        if (!path.empty() && mainFrame)
            wxQueueEvent(mainFrame, new MyCustomEvent(path));
        wxMilliSleep(100);
    }
    if (handOffServer) {
        handOffServer->Destroy();
        handOffServer = nullptr;
    }
}

namespace FileUtil {

void RecursiveAddFiles(const wxString& folder, WipeQueue& queue)
{
    FolderWalk::Run(
        folder, [&queue](const wxString& path) { queue.AddPath(path); },
        [](const wxString& unreadable) {
            VORLIX_LOG(wxLOG_Error, "FileUtil::RecursiveAddFiles")
                .Log("Failed to open directory: %s", NativePath::Display(unreadable));
        });
}

}  // namespace FileUtil
