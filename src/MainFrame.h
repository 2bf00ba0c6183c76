// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <memory>
#include <vector>

#include "engine/WipeQueue.h"

class QueueEditor;
class QueueListCtrl;
class WipeRun;

constexpr int PROGRESS_TIMER_ID = 1001;
// The Drives button's menu entries.
constexpr int WIPE_FREE_SPACE_ID = 1002;
constexpr int WIPE_DRIVE_ID = 1003;

// The program's one window: the wipe queue, its controls and the run's progress.
// It wires the controls to the queue and to a WipeRun and shows what they say.
class MainFrame : public wxFrame {
public:
    static const char* const homePage;

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
    // A run is going on, or one the window gave up on is still finishing.
    bool IsWipeThreadAlive() const;
    // Asks about wiping the free space of the filesystem folder is on and
    // starts it; false when refused, declined or not started.
    // target: a folder, or a device or image that is not mounted.
    bool WipeFreeSpace(const wxString& target);
    bool IsWipingFreeSpace() const;
    // Asks which drive to wipe whole and starts it; false when declined or
    // not started.
    bool WipeDrive();
    bool IsWipingDrive() const;
    // The share of a run that is done, as the gauge and status bar show it;
    // total must not be 0.
    static double ProgressPercentage(wxULongLong processed, wxULongLong total, bool finished);
    // Says that later starts of the program cannot hand their files to this window.
    void ShowHandOffUnavailable();

    WipeQueue wipeQueue;
    QueueListCtrl* queueList = nullptr;
    wxButton* addFilesButton = nullptr;
    wxButton* addFolderButton = nullptr;
    wxButton* addTrashButton = nullptr;
    wxButton* removeButton = nullptr;
    wxComboBox* algorithmChoice = nullptr;
    // Each file's last pass read back from the device before it is deleted;
    // taken at the start, like the algorithm. Hidden where reading back
    // cannot be done (Windows).
    wxCheckBox* verifyBox = nullptr;
    wxButton* aboutButton = nullptr;
    // "Wipe free space..."; where drives can be wiped (not on Windows),
    // "Drives...", whose menu offers that and the whole-drive wipe.
    wxButton* freeSpaceButton = nullptr;
    wxButton* startButton = nullptr;
    wxButton* closeButton = nullptr;
    wxGauge* progressGauge = nullptr;
    wxTimer progressTimer;

private:
    void OnAbout(wxCommandEvent& event);
    void OnWipeFreeSpace(wxCommandEvent& event);
    void OnWipeDrive(wxCommandEvent& event);
    void OnDrivesButton(wxCommandEvent& event);
    void OnClose(wxCommandEvent& event);
    void OnStartWipe(wxCommandEvent& event);
    void OnAlgorithmChanged(wxCommandEvent& event);
    void OnAlgorithmChoiceSize(wxSizeEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnCloseWindow(wxCloseEvent& event);

    void SetControlsEnabled(bool enabled);
    // A control of this window, not the window itself, has the keyboard focus.
    bool HasKeyboardFocus() const;
    // Starts next with the controls off and the button reading "Stop"; says
    // so when it cannot start, and returns to Idle.
    bool StartRun(std::unique_ptr<WipeRun> next);
    // Asks the engine to stop at once; the timer ends the run when it has.
    void StopRun();
    // Returns to Idle after the engine has finished the run, and reports it.
    void EndRun();
    // Leaves the run on the window's side after a failure; the engine is asked
    // to stop and the run is kept until it has.
    void AbandonRun();
    void FinishClosing();

    // The run going on, of files or of free space.
    std::unique_ptr<WipeRun> run;
    // A run whose thread was still finishing when the window gave up on it.
    std::unique_ptr<WipeRun> retiredRun;
    // The user closed the window during a run: close once the engine has stopped.
    bool closePending = false;
    // The user asked the run to stop; the notice stays until it has.
    bool stopping = false;
    // The adding and removing actions.
    std::unique_ptr<QueueEditor> queueEditor;
    // The control that had the keyboard focus when the controls went off.
    wxWeakRef<wxWindow> focusBeforeDisabling;
};
