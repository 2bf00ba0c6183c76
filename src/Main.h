// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/app.h>
#include <wx/socket.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class MainFrame;
class WipeQueue;

// The one main window; the hand-off listener posts to it while it is set.
extern MainFrame* mainFrame;

class MyApp : public wxApp {
public:
    // Called by the process entry before the toolkit starts (see StartUp):
    // the command line's paths, or that this process only reports a running
    // instance it could not reach.
    static void Prepare(const std::vector<wxString>& paths, bool reportUnreachable);

    // Where the catalogs of translations are, relative to the program's folder.
    static const char* catalogFolder;

    ~MyApp() override;
    bool OnInit() override;
    int OnExit() override;

    // Stops the hand-off listener and waits for it; safe to call more than once.
    // The window calls it when it closes, so no hand-off reaches a destroyed window.
    void StopListening();

private:
    void ListenForHandOffs();

    // Set by Prepare before the toolkit starts.
    static std::vector<wxString> commandLine;
    static bool reportUnreachable;

    wxSocketServer* handOffServer = nullptr;  // used only by the listener once it runs
    std::thread handOffListener;
    std::atomic<bool> stopListening{false};
};

wxDECLARE_APP(MyApp);

namespace FileUtil {
// Queues every file below the folder, depth first, never going through a link
// inside it. Folders that cannot be listed are logged and skipped.
void RecursiveAddFiles(const wxString& folder, WipeQueue& queue);
// Logs each folder a walk could not list, as RecursiveAddFiles does.
void LogUnreadable(const std::vector<wxString>& folders);
}
