#pragma once

#include <wx/app.h>
#include <wx/event.h>
#include <wx/socket.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class MainFrame;
class WipeQueue;

// The hand-off event: the paths handed over by later instances in one burst.
wxDECLARE_EVENT(EVT_HAND_OFF, wxThreadEvent);

// The one main window; the hand-off listener posts to it while it is set.
extern MainFrame* mainFrame;

class MyApp : public wxApp {
public:
    // The process's work before the toolkit connects to the display: the
    // single-instance test and, for a later instance, the hand-off of every
    // path. `startToolkit` (wxEntry) runs only for the first instance, or to
    // tell the user that the running one could not be reached. Returns the
    // process's exit status. `paths` are the command line after the program's
    // name, as exact path text.
    static int Main(const std::vector<wxString>& paths, const std::function<int()>& startToolkit);

    ~MyApp() override;
    bool OnInit() override;
    int OnExit() override;

    // Stops the hand-off listener and waits for it; safe to call more than once.
    // The window calls it when it closes, so no hand-off reaches a destroyed window.
    void StopListening();

private:
    void ListenForHandOffs();

    // Set by Main before the toolkit starts.
    static std::vector<wxString> commandLine;
    static bool reportUnreachable;

    wxSocketServer* handOffServer = nullptr;  // used only by the listener once it runs
    std::thread handOffListener;
    std::atomic<bool> stopListening{false};
};

wxDECLARE_APP(MyApp);

namespace FileUtil {
// Queues every file below the folder, depth first, following links but never
// entering a folder twice. Folders that cannot be listed are logged and skipped.
void RecursiveAddFiles(const wxString& folder, WipeQueue& queue);
}
