// SPDX-License-Identifier: GPL-3.0-or-later
#include "Main.h"

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/settings.h>
#include <wx/stopwatch.h>

#include <iostream>

#include "shell/HandOffMessage.h"
#include "MainFrame.h"
#include "MyCustomEvent.h"
#include "QueueAdder.h"
#include "engine/Language.h"
#include "engine/QueueIntake.h"
#include "platform/handoff/HandOffEndpoint.h"
#include "platform/InstanceLock.h"
#include "platform/NativePath.h"
#include "platform/gui/Accessibility.h"

wxDEFINE_EVENT(EVT_HAND_OFF, wxThreadEvent);

MainFrame* mainFrame = nullptr;

#ifdef __WINDOWS__
const char* MyApp::catalogFolder = "locale";
#else
// The window program lives in lib/vorlix/ under the prefix, as in the build tree.
const char* MyApp::catalogFolder = "../../share/locale";
#endif
std::vector<wxString> MyApp::commandLine;
bool MyApp::reportUnreachable = false;

// A log record that names its function with its class, as readers of the log
// expect, and is built only when the level is enabled.
#define VORLIX_LOG(level, function)                         \
    if (!wxLog::IsLevelEnabled(level, wxLOG_COMPONENT)) { \
    } else                                                  \
        wxLogger(level, __FILE__, __LINE__, function, wxLOG_COMPONENT)

namespace {

// A burst of hand-offs reaches the window in events of at most this many
// paths, or this often, so that a long one still shows its progress.
const size_t burstPaths = 500;
const long burstMs = 250;

}  // namespace

void MyApp::Prepare(const std::vector<wxString>& paths, bool unreachable)
{
    commandLine = paths;
    reportUnreachable = unreachable;
}

MyApp::~MyApp()
{
    // OnExit has joined the listener on every path that started it.
    wxASSERT(!handOffListener.joinable());
}

bool MyApp::OnInit()
{
    Language::Use(catalogFolder);
    Accessibility::NameBoxesByTitle();
    if (reportUnreachable) {
        VORLIX_LOG(wxLOG_Message, "MyApp::OnInit").Log(_("Failed to communicate with the running instance."));
        return false;
    }

    // Sockets must be set up on the GUI thread before the listener uses them.
    wxSocketBase::Initialize();
    if (std::unique_ptr<wxSockAddress> address = HandOffEndpoint::Address()) {
        HandOffEndpoint::PrepareToListen();
        // Blocking sockets with bounded waits: the listener runs on its own thread,
        // where non-blocking toolkit sockets are not safe.
        handOffServer = new wxSocketServer(*address, wxSOCKET_BLOCK);
        HandOffEndpoint::WidenBacklog(*handOffServer);
    }
    if (!wxSocketBase::IsInitialized()) {
        delete handOffServer;
        handOffServer = nullptr;
        VORLIX_LOG(wxLOG_Error, "MyApp::OnInit").Log(_("Failed to initialize server."));
        return false;
    }

    mainFrame = new MainFrame("Vorlix");
    mainFrame->Show(true);
    mainFrame->CenterOnScreen(wxBOTH);
    mainFrame->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));

    if (!commandLine.empty()) {
        mainFrame->DisableControls();
        mainFrame->SetStatusText(_("Adding files, please wait..."), 0);
        const std::vector<wxString> refused = QueueAdder::AddCommandLine(commandLine, mainFrame->wipeQueue);
        mainFrame->RefreshQueueList();
        mainFrame->EnableControls();
        mainFrame->ShowRefused(refused);
    }
    if (!handOffServer || !handOffServer->IsOk() || !InstanceLock::HeldHere())
        mainFrame->ShowHandOffUnavailable();

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

void MyApp::ListenForHandOffs()
{
    while (!stopListening) {
        if (!handOffServer || !handOffServer->IsOk()) {
            // Nothing to wait on (the endpoint could not be made): sleep out the
            // accept wait instead of spinning.
            for (int i = 0; i < 10 && !stopListening; ++i)
                wxMilliSleep(100);
            continue;
        }
        // Take every connection that is waiting, one after another, and hand
        // their paths to the window together: it rebuilds its list once for them.
        std::vector<wxString> paths;
        bool accepted = false;
        wxStopWatch burst;
        for (long waitSeconds = 1; !stopListening && handOffServer->WaitForAccept(waitSeconds, 0);
             waitSeconds = 0) {
            HandOffEndpoint::BeforeAccept();
            wxSocketBase* connection = handOffServer->Accept(false);
            if (!connection)
                break;
            accepted = true;
            if (HandOffEndpoint::IsSameUser(*connection)) {
                const wxString path = HandOffMessage::Receive(*connection, stopListening);
                if (!path.empty())
                    paths.push_back(path);
            } else {
                std::cerr << "Refused a hand-off connection from another user" << std::endl;
            }
            connection->Destroy();
            if (paths.size() >= burstPaths || burst.Time() >= burstMs)
                break;
        }
        if (!paths.empty() && mainFrame)
            wxQueueEvent(mainFrame, new MyCustomEvent(paths));
        // Pause only after an idle cycle: waiting connections are served at once.
        if (!accepted)
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
    QueueIntake intake(queue);
    intake.Walk(folder);
    LogUnreadable(intake.Refused().unreadable);
}

void LogUnreadable(const std::vector<wxString>& folders)
{
    for (const wxString& folder : folders)
        VORLIX_LOG(wxLOG_Error, "FileUtil::RecursiveAddFiles")
            .Log(_("Failed to open directory: %s"), NativePath::Display(folder));
}

}  // namespace FileUtil
