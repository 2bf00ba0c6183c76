#pragma once

#include <wx/app.h>
#include <wx/event.h>
#include <wx/socket.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/InstanceLock.h"

class MainFrame;
class WipeQueue;

// The hand-off event: one path handed over by a later instance.
wxDECLARE_EVENT(EVT_HAND_OFF, wxThreadEvent);

// The one main window; the hand-off listener posts to it while it is set.
extern MainFrame* mainFrame;

class MyApp : public wxApp {
public:
    ~MyApp() override;
    bool OnInit() override;
    int OnExit() override;

    // Stops the hand-off listener and waits for it; safe to call more than once.
    // The window calls it when it closes, so no hand-off reaches a destroyed window.
    void StopListening();

private:
    void ListenForHandOffs();
    bool SendToRunningInstance(const wxString& path);

    InstanceLock instanceLock;
    wxSocketServer* handOffServer = nullptr;  // used only by the listener once it runs
    std::thread handOffListener;
    std::atomic<bool> stopListening{false};
};

wxDECLARE_APP(MyApp);

namespace FileUtil {
// Queues every file below the folder, depth first, never going through a link
// inside it. Folders that cannot be listed are logged and skipped.
void RecursiveAddFiles(const wxString& folder, WipeQueue& queue);
}
