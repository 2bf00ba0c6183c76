#pragma once

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/timer.h>

#include <memory>

#include "WipeQueue.h"

class FreeSpaceRun;
class QueueListCtrl;
class Wiper;

constexpr int PROGRESS_TIMER_ID = 1001;

// The program's one window: the wipe queue, its controls and the run's progress.
class MainFrame : public wxFrame {
public:
    explicit MainFrame(const wxString& title);
    ~MainFrame() override;

    // Rebuilds the list from the queue and shows the count.
    void RefreshQueueList();
    void DisableControls();
    void EnableControls();
    // Queues files and walks folders for one adding action: controls off, one
    // rebuild of the list at the end. Refused (false) while a run goes on.
    bool AddPaths(const wxArrayString& paths);
    // Names the paths an adding action could not queue.
    void ShowRefused(const std::vector<wxString>& refused);
    bool IsRunning() const { return wipeQueue.wiper != nullptr; }
    // Asks about wiping the free space of the filesystem folder is on and
    // starts it; false when refused, declined or not started.
    bool WipeFreeSpace(const wxString& folder);
    bool IsWipingFreeSpace() const { return freeSpaceRun != nullptr; }
    // The share of a run that is done, as the gauge and status bar show it;
    // total must not be 0.
    static double ProgressPercentage(wxULongLong processed, wxULongLong total, bool finished);
    // Says that later starts of the program cannot hand their files to this window.
    void ShowHandOffUnavailable();

    WipeQueue wipeQueue;
    QueueListCtrl* queueList = nullptr;
    wxButton* addFilesButton = nullptr;
    wxButton* addFolderButton = nullptr;
    wxButton* removeButton = nullptr;
    wxComboBox* algorithmChoice = nullptr;
    wxButton* aboutButton = nullptr;
    wxButton* freeSpaceButton = nullptr;
    wxButton* startButton = nullptr;
    wxButton* closeButton = nullptr;
    wxGauge* progressGauge = nullptr;
    wxTimer progressTimer;

private:
    void OnAddFiles(wxCommandEvent& event);
    void OnAddFolder(wxCommandEvent& event);
    void OnRemove(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnWipeFreeSpace(wxCommandEvent& event);
    void OnClose(wxCommandEvent& event);
    void OnStartWipe(wxCommandEvent& event);
    void OnAlgorithmChanged(wxCommandEvent& event);
    void OnAlgorithmChoiceSize(wxSizeEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnHandOff(wxThreadEvent& event);
    void OnCloseWindow(wxCloseEvent& event);

    // Asks the engine to stop at once; the timer ends the run when it has.
    void StopRun();
    // Returns to Idle after the engine has finished the run, and reports it.
    void EndRun();
    // Polls the free-space run; at its end shows what it did.
    void PollFreeSpaceRun();
    // Leaves the run on the window's side after a failure; the engine is asked
    // to stop and its Wiper is kept until it has.
    void AbandonRun();
    // A run (of files or of free space) is going on, or a thread the window
    // gave up on is still finishing.
    bool IsWipeThreadAlive() const;
    void FinishClosing();

    // A Wiper whose thread was still finishing when the window gave up on it.
    std::unique_ptr<Wiper> retiredWiper;
    // The free-space wipe going on, if any.
    std::unique_ptr<FreeSpaceRun> freeSpaceRun;
    // The user closed the window during a run: close once the engine has stopped.
    bool closePending = false;
    // The user asked the run to stop; the notice stays until it has.
    bool stopping = false;
    // Handed-off paths are queued; the list is rebuilt once they stop coming.
    bool handOffRefreshPending = false;
};
