#include "MainFrame.h"

#include <wx/bitmap.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>

#include <algorithm>
#include <iostream>

#include "FreeSpaceRun.h"
#include "Main.h"
#include "MyCustomEvent.h"
#include "MyDropTarget.h"
#include "QueueListCtrl.h"
#include "RunQuestions.h"
#include "RunReport.h"
#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "engine/WipeThread.h"
#include "platform/AppIcon.h"
#include "platform/FolderWalk.h"
#include "platform/InPlaceFile.h"
#include "platform/NativePath.h"
#include "vorlix_logo.xpm"

namespace {

const char* const homePage = "https://vorlix.example.org";
const char* const randomChoice =
    "Overwrite with Random - Fastest (Default) - Suitable for Home/Organization";
const char* const dodChoice =
    "US DoD 5220.22-M - Slowest - Highly recommended for TOP SECRET materials";
// How many of the paths an adding action refused its box names.
const size_t refusedListLimit = 20;

}  // namespace

MainFrame::MainFrame(const wxString& title)
    : wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(538, 550),
              wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU | wxCLIP_CHILDREN)
{
    // Sizes are in pixels at 96 DPI; on a denser screen (Windows declares the
    // program DPI-aware) they grow with it, or the list shows half a row.
    SetSize(FromDIP(wxSize(538, 550)));
    SetIcons(AppIcon::Load());

    CreateStatusBar(2, wxSTB_DEFAULT_STYLE, 0);
    SetStatusText("Ready", 0);
    SetStatusText(homePage, 1);

    std::cout << "Created a new socket server";

    SetSizeHints(wxDefaultSize, wxDefaultSize);
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));

    auto* topSizer = new wxBoxSizer(wxVERTICAL);
    // The logo spans the window: at any DPI it is scaled to fit inside the
    // borders rather than cut by them.
    wxImage logoImage(vorlix_logo_xpm);
    const int logoWidth = std::min(FromDIP(logoImage.GetWidth()), GetClientSize().x);
    if (logoWidth > 0 && logoWidth != logoImage.GetWidth())
        logoImage.Rescale(logoWidth, logoImage.GetHeight() * logoWidth / logoImage.GetWidth(), wxIMAGE_QUALITY_HIGH);
    wxBitmap logoBitmap(logoImage);
    // Already at this screen's size: not to be scaled again.
    logoBitmap.SetScaleFactor(GetDPIScaleFactor());
    auto* logo = new wxStaticBitmap(this, wxID_ANY, wxBitmapBundle(logoBitmap), wxDefaultPosition,
                                    wxDefaultSize, 0);

    auto* headerRow = new wxBoxSizer(wxHORIZONTAL);
    headerRow->SetMinSize(FromDIP(wxSize(-1, 20)));
    auto* queueLabel = new wxStaticText(this, wxID_ANY, _("Queue"), wxDefaultPosition, wxDefaultSize, 0);
    queueLabel->Wrap(-1);
    headerRow->Add(queueLabel, 0, wxALIGN_BOTTOM | wxLEFT, 5);
    headerRow->Add(0, 0, 1, wxEXPAND, 5);
    addFilesButton = new wxButton(this, wxID_ANY, _("Add file(s)"), wxDefaultPosition, wxDefaultSize, 0);
    addFilesButton->Bind(wxEVT_BUTTON, &MainFrame::OnAddFiles, this);
    headerRow->Add(addFilesButton, 0, wxALL, 5);
    addFolderButton = new wxButton(this, wxID_ANY, _("Add folder"), wxDefaultPosition, wxDefaultSize, 0);
    addFolderButton->Bind(wxEVT_BUTTON, &MainFrame::OnAddFolder, this);
    headerRow->Add(addFolderButton, 0, wxALL, 5);
    removeButton = new wxButton(this, wxID_ANY, _("Remove"), wxDefaultPosition, wxDefaultSize, 0);
    removeButton->Bind(wxEVT_BUTTON, &MainFrame::OnRemove, this);
    headerRow->Add(removeButton, 0, wxALL, 5);

    auto* listRow = new wxBoxSizer(wxHORIZONTAL);
    queueList = new QueueListCtrl(this);
    listRow->Add(queueList, 1, wxALL | wxEXPAND, 5);
    queueList->InsertColumn(0, "File name", wxLIST_FORMAT_LEFT, -1);
    queueList->InsertColumn(1, "Directory", wxLIST_FORMAT_LEFT, -1);
    queueList->InsertColumn(2, "Size", wxLIST_FORMAT_LEFT, -1);
    queueList->SetColumnWidth(0, FromDIP(150));
    queueList->SetColumnWidth(1, FromDIP(250));
    queueList->SetColumnWidth(2, FromDIP(90));

    auto* algorithmColumn = new wxBoxSizer(wxVERTICAL);
    auto* algorithmLabel =
        new wxStaticText(this, wxID_ANY, _("Algorithm"), wxDefaultPosition, wxDefaultSize, 0);
    algorithmLabel->Wrap(-1);
    algorithmColumn->Add(algorithmLabel, 1, wxTOP | wxLEFT, 5);
    const wxString choices[] = {randomChoice, dodChoice};
    algorithmChoice = new wxComboBox(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                     2, choices, wxCB_READONLY);
    algorithmChoice->SetSelection(0);
    algorithmColumn->Add(algorithmChoice, 0, wxALL | wxEXPAND, 5);
    progressGauge = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, FromDIP(wxSize(-1, 30)),
                                wxGA_HORIZONTAL | wxGA_PROGRESS | wxGA_SMOOTH | wxBORDER_NONE);
    progressGauge->SetValue(0);
    algorithmColumn->Add(progressGauge, 0, wxALL | wxEXPAND, 5);

    auto* buttonRow = new wxBoxSizer(wxHORIZONTAL);
    aboutButton = new wxButton(this, wxID_ANY, _("About"), wxDefaultPosition, wxDefaultSize, 0);
    buttonRow->Add(aboutButton, 0, wxALL, 5);
    freeSpaceButton = new wxButton(this, wxID_ANY, _("Wipe free space..."), wxDefaultPosition, wxDefaultSize, 0);
    freeSpaceButton->Bind(wxEVT_BUTTON, &MainFrame::OnWipeFreeSpace, this);
    buttonRow->Add(freeSpaceButton, 0, wxALL, 5);
    buttonRow->Add(0, 0, 1, wxEXPAND, 5);
    startButton = new wxButton(this, wxID_ANY, _("Start Wipe!"), wxDefaultPosition, wxDefaultSize, 0);
    buttonRow->Add(startButton, 0, wxALL, 5);
    closeButton = new wxButton(this, wxID_ANY, _("Close"), wxDefaultPosition, wxDefaultSize, 0);
    buttonRow->Add(closeButton, 0, wxALL, 5);
    aboutButton->Bind(wxEVT_BUTTON, &MainFrame::OnAbout, this);
    closeButton->Bind(wxEVT_BUTTON, &MainFrame::OnClose, this);
    startButton->Bind(wxEVT_BUTTON, &MainFrame::OnStartWipe, this);

    topSizer->Add(logo, 0, wxBOTTOM, 5);
    topSizer->Add(headerRow, 0, wxEXPAND, 0);
    topSizer->Add(listRow, 1, wxEXPAND, 5);
    topSizer->Add(algorithmColumn, 0, wxEXPAND, 5);
    topSizer->Add(buttonRow, 0, wxEXPAND, 5);
    SetSizer(topSizer, true);
    Layout();

    queueList->SetDropTarget(new MyDropTarget(&wipeQueue, this));
    algorithmChoice->Bind(wxEVT_COMBOBOX, &MainFrame::OnAlgorithmChanged, this);
    algorithmChoice->Bind(wxEVT_SIZE, &MainFrame::OnAlgorithmChoiceSize, this);
    algorithmChoice->SetToolTip(randomChoice);
    wipeQueue.algorithm = 1;

    progressTimer.SetOwner(this, PROGRESS_TIMER_ID);
    Bind(wxEVT_TIMER, &MainFrame::OnTimer, this, PROGRESS_TIMER_ID);
    Bind(EVT_HAND_OFF, &MainFrame::OnHandOff, this);
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
    queueList->SetRows(wipeQueue.Snapshot());
    SetStatusText(wxString::Format("No. of files in queue: %zu", wipeQueue.Count()), 0);
}

void MainFrame::DisableControls()
{
    addFilesButton->Enable(false);
    addFolderButton->Enable(false);
    removeButton->Enable(false);
    aboutButton->Enable(false);
    freeSpaceButton->Enable(false);
    startButton->Enable(false);
    closeButton->Enable(false);
    queueList->Enable(false);
}

void MainFrame::EnableControls()
{
    addFilesButton->Enable(true);
    addFolderButton->Enable(true);
    removeButton->Enable(true);
    aboutButton->Enable(true);
    freeSpaceButton->Enable(true);
    startButton->Enable(true);
    startButton->SetLabel("Start Wipe!");
    closeButton->Enable(true);
    queueList->Enable(true);
}

bool MainFrame::AddPaths(const wxArrayString& paths)
{
    // The queue the engine is working through is not the user's to change:
    // a file added now could be wiped, and one removed now still would be.
    if (IsWipeThreadAlive())
        return false;
    DisableControls();
    SetStatusText("Adding files, please wait...", 0);
    std::vector<wxString> refused;
    for (const wxString& given : paths) {
        const wxString path = NativePath::FromToolkit(given);
        if (path.empty() || !NativePath::IsExact(path))
            refused.push_back(given);
        else if (FolderWalk::IsFolder(path))
            FileUtil::RecursiveAddFiles(path, wipeQueue);
        else if (!wipeQueue.AddPath(path))
            refused.push_back(path);
    }
    EnableControls();
    RefreshQueueList();
    ShowRefused(refused);
    return true;
}

void MainFrame::ShowRefused(const std::vector<wxString>& refused)
{
    if (refused.empty())
        return;
    wxString text = "These paths were not queued: they do not name one file exactly.\n";
    for (size_t i = 0; i < refused.size() && i < refusedListLimit; ++i)
        text += "\n" + NativePath::Display(refused[i]);
    if (refused.size() > refusedListLimit)
        text += wxString::Format("\nand %zu more", refused.size() - refusedListLimit);
    wxMessageBox(text, "Not queued", wxOK | wxICON_WARNING);
}

void MainFrame::OnAddFiles(wxCommandEvent&)
{
    wxFileDialog dialog(this, "Select file(s)", wxEmptyString, wxEmptyString,
                        wxString("All files (*.*)|") + wxFileSelectorDefaultWildcardStr,
                        wxFD_OPEN | wxFD_MULTIPLE);
    if (dialog.ShowModal() == wxID_CANCEL)
        return;
    wxArrayString paths;
    dialog.GetPaths(paths);
    AddPaths(paths);
}

void MainFrame::OnAddFolder(wxCommandEvent&)
{
    wxDirDialog dialog(this, "Select a folder", wxEmptyString, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() == wxID_CANCEL)
        return;
    const wxString folder = dialog.GetPath();
    if (folder.empty())
        return;
    AddPaths(wxArrayString(1, &folder));
}

void MainFrame::OnRemove(wxCommandEvent&)
{
    if (IsWipeThreadAlive())
        return;
    DisableControls();
    SetStatusText("Removing file(s) from queue", 0);
    const std::vector<long> selected = queueList->SelectedRows();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        wipeQueue.RemovePath(queueList->Row(*it).path);
    queueList->DeleteRows(selected);
    SetStatusText(wxString::Format("No. of files in queue: %zu", size_t(queueList->GetItemCount())), 0);
    EnableControls();
}

void MainFrame::OnAbout(wxCommandEvent&)
{
    const wxString text = wxString("Vorlix - version 1.0.0\n") + "\n" + "Author:\n" +
                          "The Vorlix developers\n" + "\n" + "Home page:\n" + homePage + "\n" + "\n";
    wxMessageBox(text, "About Vorlix", wxOK | wxICON_INFORMATION);
}

void MainFrame::OnWipeFreeSpace(wxCommandEvent&)
{
    wxDirDialog dialog(this, "Wipe the free space of the drive that holds this folder", wxEmptyString,
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() == wxID_CANCEL || dialog.GetPath().empty())
        return;
    WipeFreeSpace(NativePath::FromToolkit(dialog.GetPath()));
}

bool MainFrame::WipeFreeSpace(const wxString& folder)
{
    if (IsWipeThreadAlive())
        return false;
    retiredWiper.reset();
    FreeSpaceWiper::Check check;
    wxString detail;
    if (!FreeSpaceWiper::Inspect(folder, check, detail)) {
        wxMessageBox("The folder cannot be examined:\n" + detail, "Wipe free space", wxOK | wxICON_ERROR);
        return false;
    }
    if (!check.refusal.empty()) {
        wxMessageBox(check.refusal, "Wipe free space", wxOK | wxICON_WARNING);
        return false;
    }
    const auto algorithm =
        wipeQueue.algorithm == 2 ? FreeSpaceWiper::Algorithm::DoD : FreeSpaceWiper::Algorithm::Random;
    if (wxMessageBox(FreeSpaceRun::Question(folder, check, algorithm), "Wipe free space",
                     wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION)
        != wxYES)
        return false;

    freeSpaceRun = std::make_unique<FreeSpaceRun>(folder, algorithm);
    if (!freeSpaceRun->Start()) {
        freeSpaceRun.reset();
        wxMessageBox("The wipe could not be started, please try again!", "Error!", wxOK | wxICON_ERROR);
        return false;
    }
    DisableControls();
    startButton->SetLabel("Stop");
    startButton->Enable(true);
    SetStatusText("Wiping free space...", 0);
    if (!progressTimer.IsRunning())
        progressTimer.Start(500, wxTIMER_CONTINUOUS);
    return true;
}

void MainFrame::PollFreeSpaceRun()
{
    // Read the end first: the counters read after it are the run's last ones.
    const bool finished = freeSpaceRun->IsFinished();
    const uint64_t total = freeSpaceRun->TotalBytes();
    if (total != 0) {
        const double percentage = ProgressPercentage(freeSpaceRun->BytesWritten(), total, finished);
        progressGauge->SetValue(static_cast<int>(percentage));
        if (!stopping)
            SetStatusText(wxString::Format("Wiping free space: %.2f%%", percentage), 0);
    }
    if (!finished)
        return;
    progressTimer.Stop();
    const FreeSpaceWiper::Result result = freeSpaceRun->Finish();
    freeSpaceRun.reset();
    stopping = false;
    if (closePending) {
        FinishClosing();
        return;
    }
    EnableControls();
    progressGauge->SetValue(0);
    SetStatusText("Completed", 0);
    const bool clean = result.failure.empty() && !result.stopped;
    wxMessageBox(FreeSpaceRun::Summary(result), "Wipe free space",
                 wxOK | (clean ? wxICON_INFORMATION : wxICON_WARNING));
}

void MainFrame::OnClose(wxCommandEvent&)
{
    Close(true);
}

void MainFrame::OnAlgorithmChanged(wxCommandEvent&)
{
    wipeQueue.algorithm = algorithmChoice->GetSelection() == 0 ? 1 : 2;
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

void MainFrame::OnHandOff(wxThreadEvent& event)
{
    for (const wxString& path : static_cast<MyCustomEvent&>(event).paths)
        wipeQueue.AddPath(path);
    // A burst comes in several events; this runs after those already waiting.
    if (!handOffRefreshPending) {
        handOffRefreshPending = true;
        CallAfter([this] {
            handOffRefreshPending = false;
            RefreshQueueList();
            Raise();
        });
    }
}

void MainFrame::ShowHandOffUnavailable()
{
    SetStatusText("Not reachable by later starts", 0);
}

void MainFrame::OnStartWipe(wxCommandEvent&)
{
    // During a run the button reads "Stop".
    if (IsRunning() || freeSpaceRun) {
        StopRun();
        return;
    }
    if (wipeQueue.Count() == 0) {
        wxMessageBox("No files are in queue!", "Empty!", wxOK | wxICON_EXCLAMATION);
        return;
    }
    // A thread that the window gave up on may still be working on this queue.
    if (IsWipeThreadAlive()) {
        SetStatusText("The previous wipe is still finishing, please wait...", 0);
        return;
    }
    retiredWiper.reset();
    const std::vector<QueueEntry> queued = wipeQueue.Snapshot();
    if (!RunQuestions::OverwriteReachesData(queued))
        return;
    InPlaceFile::clearReadOnly = RunQuestions::ClearReadOnly(queued);

    SetStatusText("Processing...", 0);
    DisableControls();
    Wiper* wiper = wipeQueue.algorithm == 2 ? static_cast<Wiper*>(new DoDWiper)
                                            : static_cast<Wiper*>(new RandomWiper);
    wipeQueue.wiper = wiper;
    Wiper::ResetRun();

    auto* thread = new WipeThread(&wipeQueue);
    const char* failure = nullptr;
    if (thread->Create(0) != wxTHREAD_NO_ERROR)
        failure = "Failed to create wipe thread!";
    else if (thread->Run() != wxTHREAD_NO_ERROR)
        failure = "Failed to run wipe thread!";
    if (failure) {
        std::cerr << failure << std::endl;
        delete thread;
        // No run happened: back to Idle without a completion report.
        Wiper::FinishRun();
        wipeQueue.wiper = nullptr;
        delete wiper;
        EnableControls();
        RefreshQueueList();
        wxMessageBox("The wipe could not be started, please try again!", "Error!", wxOK | wxICON_ERROR);
        return;
    }
    startButton->SetLabel("Stop");
    startButton->Enable(true);
    if (!progressTimer.IsRunning())
        progressTimer.Start(500, wxTIMER_CONTINUOUS);
}

void MainFrame::OnTimer(wxTimerEvent&)
{
    if (freeSpaceRun) {
        PollFreeSpaceRun();
        return;
    }
    Wiper* wiper = wipeQueue.wiper;
    if (!wiper)
        return;
    try {
        std::cout << "Progress %: " << wiper->GetBytesProcessed().GetValue() << " / "
                  << wiper->GetTotalBytes().GetValue() << std::endl;

        // Read the end flag first: counters read after it are the run's last ones.
        const bool finished = Wiper::IsRunFinished();
        const wxULongLong processed = wiper->GetBytesProcessed();
        const wxULongLong total = wiper->GetTotalBytes();
        wxString text = "Ready";
        int gauge = 0;
        if (total != 0) {
            const double percentage = ProgressPercentage(processed, total, finished);
            gauge = static_cast<int>(percentage);
            text = wxString::Format("Progress: %.2f%%", percentage);
        }
        progressGauge->SetValue(gauge);
        // The stop notice stays until the run has ended.
        if (!stopping)
            SetStatusText(text, 0);
        if (finished)
            EndRun();
    } catch (...) {
        // The timer stops before the box: its modal loop would run more ticks.
        AbandonRun();
        wxMessageBox("There has been some error while wiping, please try again!", "Error!",
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
    return IsRunning() || freeSpaceRun || (retiredWiper && !Wiper::IsRunFinished());
}

void MainFrame::StopRun()
{
    Wiper::RequestStopNow();
    if (freeSpaceRun)
        freeSpaceRun->Stop();
    stopping = true;
    startButton->Enable(false);
    SetStatusText("Stopping, please wait...", 0);
    // The engine stops within a block; look often so that Idle follows at once.
    progressTimer.Start(100, wxTIMER_CONTINUOUS);
}

void MainFrame::EndRun()
{
    progressTimer.Stop();
    const RunReport report(Wiper::GetFailures(), Wiper::GetTotals(), stopping);
    delete wipeQueue.wiper.exchange(nullptr);
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
    SetStatusText(report.StatusText(), 0);
    wxMessageBox(report.Message(), report.Caption(),
                 wxOK | (report.AllWiped() ? wxICON_INFORMATION : wxICON_WARNING));
}

void MainFrame::AbandonRun()
{
    progressTimer.Stop();
    stopping = false;
    Wiper* wiper = wipeQueue.wiper.exchange(nullptr);
    if (Wiper::IsRunFinished()) {
        delete wiper;
    } else {
        Wiper::RequestStop();
        retiredWiper.reset(wiper);
    }
}

void MainFrame::OnCloseWindow(wxCloseEvent& event)
{
    if (!IsWipeThreadAlive()) {
        FinishClosing();
        return;
    }
    // A forced close (the session ending) is not asked about, nor a free-space
    // run, which loses nothing by stopping. The timer stops during the
    // question: its modal loop would otherwise end the run under it.
    if (IsRunning() && !stopping && event.CanVeto()) {
        progressTimer.Stop();
        if (wxMessageBox("A wipe is running. Stop it now and close?\n\nThe file being overwritten "
                         "is left partly overwritten; files not reached stay as they are.",
                         "Stop wiping?", wxYES_NO | wxICON_QUESTION) != wxYES) {
            progressTimer.Start(500, wxTIMER_CONTINUOUS);
            event.Veto();
            return;
        }
    }
    // The timer closes the window once the engine has ended; the window stays
    // painted meanwhile.
    closePending = true;
    if (!IsRunning())
        wipeQueue.wiper = retiredWiper.release();
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
