// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFrame.h"

#include <wx/msgdlg.h>

#include <iostream>

#include "Main.h"
#include "DriveTarget.h"
#include "EndOfRunBox.h"
#include "FreeSpaceTarget.h"
#include "MainFrameLayout.h"
#include "QueueEditor.h"
#include "QueueListCtrl.h"
#include "RunQuestions.h"
#include "StatusLine.h"
#include "engine/AdminFreeSpaceRun.h"
#include "engine/FileRun.h"
#include "engine/FreeSpaceRun.h"
#include "engine/VolumeRun.h"
#include "platform/NativePath.h"

const char* const MainFrame::homePage = "https://vorlix.example.org";

MainFrame::MainFrame(const wxString& title)
    : wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(538, 550),
              wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU | wxCLIP_CHILDREN)
{
    std::cout << "Created a new socket server";
    MainFrameLayout::Build(*this);
    wipeQueue.SetMethod(WipeMethod::Random);

    queueEditor = std::make_unique<QueueEditor>(*this);
#ifdef __WXMSW__
    freeSpaceButton->Bind(wxEVT_BUTTON, &MainFrame::OnWipeFreeSpace, this);
#else
    freeSpaceButton->Bind(wxEVT_BUTTON, &MainFrame::OnDrivesButton, this);
    Bind(wxEVT_MENU, &MainFrame::OnWipeFreeSpace, this, WIPE_FREE_SPACE_ID);
    Bind(wxEVT_MENU, &MainFrame::OnWipeDrive, this, WIPE_DRIVE_ID);
#endif
    aboutButton->Bind(wxEVT_BUTTON, &MainFrame::OnAbout, this);
    closeButton->Bind(wxEVT_BUTTON, &MainFrame::OnClose, this);
    startButton->Bind(wxEVT_BUTTON, &MainFrame::OnStartWipe, this);
    algorithmChoice->Bind(wxEVT_COMBOBOX, &MainFrame::OnAlgorithmChanged, this);
    algorithmChoice->Bind(wxEVT_SIZE, &MainFrame::OnAlgorithmChoiceSize, this);

    progressTimer.SetOwner(this, PROGRESS_TIMER_ID);
    Bind(wxEVT_TIMER, &MainFrame::OnTimer, this, PROGRESS_TIMER_ID);
    // The close box must not destroy the queue under a running wipe.
    Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnCloseWindow, this);
}

MainFrame::~MainFrame()
{
    Unbind(wxEVT_TIMER, &MainFrame::OnTimer, this, PROGRESS_TIMER_ID);
    progressTimer.Stop();
    if (mainFrame == this)
        mainFrame = nullptr;
}

void MainFrame::RefreshQueueList()
{
    queueList->SetRows(wipeQueue.Files());
    SetStatusText(wxString::Format(_("No. of files in queue: %zu"), wipeQueue.Count()), 0);
}

void MainFrame::SetControlsEnabled(bool enabled)
{
    const std::initializer_list<wxWindow*> controls{addFilesButton, addFolderButton, addTrashButton,
                                                    removeButton,   aboutButton,     freeSpaceButton,
                                                    startButton,    closeButton,     queueList};
    // A control that goes off takes the keyboard focus with it: it gets the
    // focus back when the controls come on, unless the user has moved it.
    if (!enabled && !focusBeforeDisabling && HasKeyboardFocus())
        focusBeforeDisabling = FindFocus();
    for (wxWindow* control : controls)
        control->Enable(enabled);
    if (enabled && focusBeforeDisabling) {
        // The toolkit may still name the control it lost the focus from.
        if (focusBeforeDisabling->IsEnabled() && (!HasKeyboardFocus() || FindFocus() == focusBeforeDisabling))
            focusBeforeDisabling->SetFocus();
        focusBeforeDisabling = nullptr;
    }
}

bool MainFrame::HasKeyboardFocus() const
{
    const wxWindow* focus = FindFocus();
    return focus && focus != this && wxGetTopLevelParent(const_cast<wxWindow*>(focus)) == this;
}

void MainFrame::DisableControls()
{
    SetControlsEnabled(false);
}

void MainFrame::EnableControls()
{
    SetControlsEnabled(true);
    startButton->SetLabel(_("&Start Wipe!"));
}

bool MainFrame::AddPaths(const wxArrayString& paths)
{
    return queueEditor->AddPaths(paths);
}

void MainFrame::ShowRefused(const std::vector<wxString>& refused)
{
    QueueEditor::ShowRefused(refused);
}

void MainFrame::OnAbout(wxCommandEvent&)
{
    const wxString text = _("Vorlix - version 1.0.0") + "\n" + "\n" + _("Author:") + "\n" +
                          _("The Vorlix developers") + "\n" + "\n" + _("Home page:") + "\n" + homePage + "\n" + "\n" +
                          _("License: GNU General Public License, version 3 or later (GPL-3.0-or-later).") + "\n" +
                          _("This is free software; there is NO WARRANTY, to the extent permitted by law.");
    wxMessageBox(text, _("About Vorlix"), wxOK | wxICON_INFORMATION);
}

void MainFrame::OnWipeFreeSpace(wxCommandEvent&)
{
    const wxString target = FreeSpaceTarget::Ask(this);
    if (!target.empty())
        WipeFreeSpace(target);
}

bool MainFrame::WipeFreeSpace(const wxString& target)
{
    if (IsWipeThreadAlive())
        return false;
    retiredRun.reset();
    const WipeMethod method = wipeQueue.Method();
    // A device or image: its filesystem, not mounted, is wiped directly.
    if (VolumeWiper::IsVolume(target)) {
        if (!RunQuestions::WipeVolume(target, method))
            return false;
        SetStatusText(_("Wiping free space..."), 0);
        return StartRun(std::make_unique<VolumeRun>(target, method));
    }
    const RunQuestions::FreeSpaceAnswer answer = RunQuestions::WipeFreeSpace(target, method);
    if (answer == RunQuestions::FreeSpaceAnswer::No)
        return false;
    SetStatusText(_("Wiping free space..."), 0);
    if (answer == RunQuestions::FreeSpaceAnswer::AsAdministrator)
        return StartRun(std::make_unique<AdminFreeSpaceRun>(target, method));
    return StartRun(std::make_unique<FreeSpaceRun>(target, method));
}

bool MainFrame::IsWipingFreeSpace() const
{
    const WipeRun* const now = run.get();
    return dynamic_cast<const FreeSpaceRun*>(now) || dynamic_cast<const VolumeRun*>(now) ||
           dynamic_cast<const AdminFreeSpaceRun*>(now);
}

void MainFrame::OnDrivesButton(wxCommandEvent&)
{
    MainFrameLayout::ShowDrivesMenu(*this);
}

void MainFrame::OnWipeDrive(wxCommandEvent&)
{
    WipeDrive();
}

bool MainFrame::WipeDrive()
{
    if (IsWipeThreadAlive())
        return false;
    retiredRun.reset();
    std::unique_ptr<WipeRun> next = DriveTarget::Ask(this, wipeQueue.Method());
    if (!next)
        return false;
    SetStatusText(_("Wiping the drive..."), 0);
    return StartRun(std::move(next));
}

bool MainFrame::IsWipingDrive() const
{
    return run && DriveTarget::IsDriveRun(*run);
}

void MainFrame::OnClose(wxCommandEvent&)
{
    Close(true);
}

void MainFrame::OnAlgorithmChanged(wxCommandEvent&)
{
    wipeQueue.SetMethod(algorithmChoice->GetSelection() == 0 ? WipeMethod::Random : WipeMethod::DoD);
    algorithmChoice->SetToolTip(algorithmChoice->GetStringSelection());
}

void MainFrame::OnAlgorithmChoiceSize(wxSizeEvent& event)
{
    // The window's width is fixed: a smaller font, rather than a cut, shows
    // the longest name whole. Its width is final only once it is shown.
    wxFont font = algorithmChoice->GetFont();
    while (algorithmChoice->GetBestSize().x > event.GetSize().x && font.GetPointSize() > 6) {
        font.SetPointSize(font.GetPointSize() - 1);
        algorithmChoice->SetFont(font);
        algorithmChoice->InvalidateBestSize();
    }
    event.Skip();
}

void MainFrame::ShowHandOffUnavailable()
{
    SetStatusText(_("Not reachable by later starts"), 0);
}

void MainFrame::OnStartWipe(wxCommandEvent&)
{
    // During a run the button reads "Stop".
    if (run) {
        StopRun();
        return;
    }
    if (wipeQueue.Count() == 0) {
        wxMessageBox(_("No files are in queue!"), _("Empty!"), wxOK | wxICON_EXCLAMATION);
        return;
    }
    // A thread that the window gave up on may still be working on this queue.
    if (IsWipeThreadAlive()) {
        SetStatusText(_("The previous wipe is still finishing, please wait..."), 0);
        return;
    }
    retiredRun.reset();
    // The places are looked at once, for the questions and the run alike.
    auto survey = std::make_shared<RunSurvey>(wipeQueue);
    if (!RunQuestions::OverwriteReachesData(*survey))
        return;
    RunOptions options;
    options.clearReadOnly = RunQuestions::ClearReadOnly(*survey);
    options.verify = verifyBox->IsShown() && verifyBox->GetValue();
    options.wholeFolders = queueEditor->TrashFolders();

    SetStatusText(_("Processing..."), 0);
    StartRun(std::make_unique<FileRun>(wipeQueue, wipeQueue.Method(), options, std::move(survey)));
}

bool MainFrame::StartRun(std::unique_ptr<WipeRun> next)
{
    DisableControls();
    if (!next->Start()) {
        // No run happened: back to Idle without a report.
        EnableControls();
        RefreshQueueList();
        wxMessageBox(_("The wipe could not be started, please try again!"), _("Error!"), wxOK | wxICON_ERROR);
        return false;
    }
    run = std::move(next);
    startButton->SetLabel(_("&Stop"));
    startButton->Enable(true);
    if (!HasKeyboardFocus() || !FindFocus()->IsEnabled())
        startButton->SetFocus();
    if (!progressTimer.IsRunning())
        progressTimer.Start(500, wxTIMER_CONTINUOUS);
    return true;
}

void MainFrame::OnTimer(wxTimerEvent&)
{
    if (!run)
        return;
    try {
        run->LogProgress();
        // Read the end first: counters read after it are the run's last ones.
        const bool finished = run->IsFinished();
        const uint64_t processed = run->BytesDone();
        const uint64_t total = run->TotalBytes();
        int gauge = 0;
        double percentage = 0;
        wxString text = run->NoTotalText();
        // A step after the bytes shows its own share on the gauge.
        const WipeRun::Step step = finished ? WipeRun::Step() : run->CurrentStep();
        if (!step.name.empty() && step.total != 0) {
            percentage = ProgressPercentage(step.done, step.total, false);
            gauge = static_cast<int>(percentage);
            text = step.name + wxString::Format(" %.2f%%", percentage);
        } else if (total != 0) {
            percentage = ProgressPercentage(processed, total, finished);
            gauge = static_cast<int>(percentage);
            text = run->ProgressText(percentage);
        }
        if (!text.empty()) {
            progressGauge->SetValue(gauge);
            // The stop notice stays until the run has ended.
            if (!stopping)
                static_cast<StatusLine*>(GetStatusBar())->ShowProgress(text, percentage);
        }
        if (finished)
            EndRun();
    } catch (...) {
        // The timer stops before the box: its modal loop would run more ticks.
        AbandonRun();
        wxMessageBox(_("There has been some error while wiping, please try again!"), _("Error!"),
                     wxOK | wxICON_ERROR);
        std::cout << "Exception caught: " << std::endl;
        EnableControls();
        RefreshQueueList();
    }
}

double MainFrame::ProgressPercentage(wxULongLong processed, wxULongLong total, bool finished)
{
    double percentage = processed.ToDouble() * 100.0 / total.ToDouble();
    // Entries added during a run can push the count past the total, and
    // 100 % belongs to a run that has really finished.
    if (percentage > 100.0)
        percentage = 100.0;
    if (!finished && percentage > 99.99)
        percentage = 99.99;
    return percentage;
}

bool MainFrame::IsWipeThreadAlive() const
{
    return run || (retiredRun && !retiredRun->IsFinished());
}

void MainFrame::StopRun()
{
    run->Stop();
    stopping = true;
    startButton->Enable(false);
    SetStatusText(_("Stopping, please wait..."), 0);
    // The engine stops within a block; look often so that Idle follows at once.
    progressTimer.Start(100, wxTIMER_CONTINUOUS);
}

void MainFrame::EndRun()
{
    progressTimer.Stop();
    if (!IsWipingFreeSpace() && !IsWipingDrive())
        queueEditor->RemoveEmptiedTrash();
    // Kept past the box: its record can still be saved from there.
    const std::unique_ptr<WipeRun> ended = std::move(run);
    const WipeRun::Outcome outcome = ended->Finish();
    stopping = false;
    if (closePending) {
        FinishClosing();
        return;
    }
    EnableControls();
    // The engine has taken every entry it saw off the queue, wiped or not.
    // Anything still queued arrived after its last look (a late hand-off) and
    // was never wiped: it stays listed instead of silently disappearing.
    RefreshQueueList();
    progressGauge->SetValue(0);
    SetStatusText(outcome.status, 0);
    // polkit said no: nothing ran as root, and the user's own run is offered.
    const auto* admin = dynamic_cast<const AdminFreeSpaceRun*>(ended.get());
    if (admin && admin->NotAuthorized()) {
        if (RunQuestions::WipeWithoutAdministrator(admin->Folder(), outcome.message)) {
            SetStatusText(_("Wiping free space..."), 0);
            StartRun(std::make_unique<FreeSpaceRun>(admin->Folder(), admin->Method()));
        }
        return;
    }
    EndOfRunBox::Show(outcome, ended->Record(), DriveTarget::FactsOf(*ended));
}

void MainFrame::AbandonRun()
{
    progressTimer.Stop();
    stopping = false;
    run->Abandon();
    if (run->IsFinished())
        run.reset();
    else
        retiredRun = std::move(run);
}

void MainFrame::OnCloseWindow(wxCloseEvent& event)
{
    if (!IsWipeThreadAlive()) {
        FinishClosing();
        return;
    }
    // A forced close (the session ending) is not asked about, nor a run that
    // loses nothing by stopping. The timer stops during the question: its
    // modal loop would otherwise end the run under it.
    if (run && run->AsksBeforeClosing() && !stopping && event.CanVeto()) {
        progressTimer.Stop();
        const wxString question =
            IsWipingDrive() ? _("A drive is being wiped. Stop it now and close?\n\nThe drive is left partly "
                                "wiped: what was not reached yet stays readable.")
                            : _("A wipe is running. Stop it now and close?\n\nThe file being overwritten "
                                "is left partly overwritten; files not reached stay as they are.");
        if (wxMessageBox(question, _("Stop wiping?"), wxYES_NO | wxICON_QUESTION) != wxYES) {
            progressTimer.Start(500, wxTIMER_CONTINUOUS);
            event.Veto();
            return;
        }
    }
    // The timer closes the window once the engine has ended; the window stays
    // painted meanwhile.
    closePending = true;
    if (!run)
        run = std::move(retiredRun);
    StopRun();
}

void MainFrame::FinishClosing()
{
    // No hand-off may reach the window once it is gone; stopping the listener
    // takes up to a second, so the window leaves the screen first.
    Hide();
    if (mainFrame == this) {
        if (auto* app = dynamic_cast<MyApp*>(wxTheApp))
            app->StopListening();
        mainFrame = nullptr;
    }
    Destroy();
}
