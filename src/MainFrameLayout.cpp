// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFrameLayout.h"

#include <wx/bitmap.h>
#include <wx/checkbox.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/translation.h>

#include <algorithm>

#include "MainFrame.h"
#include "MyDropTarget.h"
#include "QueueListCtrl.h"
#include "StatusLine.h"
#include "platform/gui/Accessibility.h"
#include "platform/gui/AppIcon.h"
#include "vorlix_logo.xpm"

const char* const MainFrameLayout::randomChoice =
    wxTRANSLATE("Overwrite with Random - Fastest (Default) - Suitable for Home/Organization");
const char* const MainFrameLayout::dodChoice =
    wxTRANSLATE("US DoD 5220.22-M - Slowest - Highly recommended for TOP SECRET materials");

void MainFrameLayout::Build(MainFrame& frame)
{
    // On a denser screen (Windows declares the program DPI-aware) the sizes
    // grow with it, or the list shows half a row.
    frame.SetSize(frame.FromDIP(wxSize(538, 550)));
    frame.SetIcons(AppIcon::Load());

    frame.SetStatusBar(new StatusLine(&frame, 2));
    frame.SetStatusText(_("Ready"), 0);
    frame.SetStatusText(MainFrame::homePage, 1);

    frame.SetSizeHints(wxDefaultSize, wxDefaultSize);
    frame.SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));

    auto* topSizer = new wxBoxSizer(wxVERTICAL);

    auto* headerRow = new wxBoxSizer(wxHORIZONTAL);
    headerRow->SetMinSize(frame.FromDIP(wxSize(-1, 20)));
    auto* queueLabel = new wxStaticText(&frame, wxID_ANY, _("Queue"), wxDefaultPosition, wxDefaultSize, 0);
    queueLabel->Wrap(-1);
    headerRow->Add(queueLabel, 0, wxALIGN_BOTTOM | wxLEFT, 5);
    headerRow->Add(0, 0, 1, wxEXPAND, 5);
    frame.addFilesButton = new wxButton(&frame, wxID_ANY, _("Add &file(s)"), wxDefaultPosition, wxDefaultSize, 0);
    headerRow->Add(frame.addFilesButton, 0, wxALL, 5);
    frame.addFolderButton = new wxButton(&frame, wxID_ANY, _("Add f&older"), wxDefaultPosition, wxDefaultSize, 0);
    headerRow->Add(frame.addFolderButton, 0, wxALL, 5);
    frame.addTrashButton = new wxButton(&frame, wxID_ANY, _("Add &Trash"), wxDefaultPosition, wxDefaultSize, 0);
    headerRow->Add(frame.addTrashButton, 0, wxALL, 5);
    frame.removeButton = new wxButton(&frame, wxID_ANY, _("&Remove"), wxDefaultPosition, wxDefaultSize, 0);
    headerRow->Add(frame.removeButton, 0, wxALL, 5);

    auto* listRow = new wxBoxSizer(wxHORIZONTAL);
    QueueListCtrl* queueList = frame.queueList = new QueueListCtrl(&frame);
    listRow->Add(queueList, 1, wxALL | wxEXPAND, 5);
    queueList->InsertColumn(0, _("File name"), wxLIST_FORMAT_LEFT, -1);
    queueList->InsertColumn(1, _("Directory"), wxLIST_FORMAT_LEFT, -1);
    queueList->InsertColumn(2, _("Size"), wxLIST_FORMAT_LEFT, -1);
    queueList->SetColumnWidth(0, frame.FromDIP(150));
    queueList->SetColumnWidth(1, frame.FromDIP(250));
    queueList->SetColumnWidth(2, frame.FromDIP(90));

    auto* algorithmColumn = new wxBoxSizer(wxVERTICAL);
    auto* algorithmRow = new wxBoxSizer(wxHORIZONTAL);
    auto* algorithmLabel =
        new wxStaticText(&frame, wxID_ANY, _("Algorithm"), wxDefaultPosition, wxDefaultSize, 0);
    algorithmLabel->Wrap(-1);
    algorithmRow->Add(algorithmLabel, 0, wxALIGN_CENTER_VERTICAL | wxTOP | wxLEFT, 5);
    algorithmRow->Add(0, 0, 1, wxEXPAND, 5);
    algorithmColumn->Add(algorithmRow, 1, wxEXPAND, 0);
    const wxString choices[] = {wxGetTranslation(randomChoice), wxGetTranslation(dodChoice)};
    frame.algorithmChoice = new wxComboBox(&frame, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                           2, choices, wxCB_READONLY);
    frame.algorithmChoice->SetSelection(0);
    algorithmColumn->Add(frame.algorithmChoice, 0, wxALL | wxEXPAND, 5);
    // Beside the algorithm's label, over the box's right end: the box keeps
    // the window's width for its long names. Made after the box, so that a
    // screen reader takes the label for the box, not for this.
    frame.verifyBox = new wxCheckBox(&frame, wxID_ANY, _("Read &back after wiping"));
    frame.verifyBox->SetToolTip(_("Read each file's last pass back from the device and compare it before the "
                                  "file is deleted; a file that reads back wrong is kept and named at the end"));
    algorithmRow->Add(frame.verifyBox, 0, wxALIGN_CENTER_VERTICAL | wxTOP | wxRIGHT, 5);
#ifdef __WINDOWS__
    // Reading back past the cache is not done on Windows yet.
    frame.verifyBox->Hide();
#endif
    frame.progressGauge = new wxGauge(&frame, wxID_ANY, 100, wxDefaultPosition, frame.FromDIP(wxSize(-1, 30)),
                                      wxGA_HORIZONTAL | wxGA_PROGRESS | wxGA_SMOOTH | wxBORDER_NONE);
    frame.progressGauge->SetValue(0);
    algorithmColumn->Add(frame.progressGauge, 0, wxALL | wxEXPAND, 5);

    auto* buttonRow = new wxBoxSizer(wxHORIZONTAL);
    frame.aboutButton = new wxButton(&frame, wxID_ANY, _("&About"), wxDefaultPosition, wxDefaultSize, 0);
    buttonRow->Add(frame.aboutButton, 0, wxALL, 5);
#ifdef __WXMSW__
    // Windows gets no whole-drive wipe: DriveList finds nothing there.
    const wxString freeSpaceLabel = _("&Wipe free space...");
#else
    // Two buttons would not fit the row: one, whose menu holds both wipes.
    const wxString freeSpaceLabel = _("&Drives...");
#endif
    frame.freeSpaceButton = new wxButton(&frame, wxID_ANY, freeSpaceLabel, wxDefaultPosition, wxDefaultSize, 0);
    buttonRow->Add(frame.freeSpaceButton, 0, wxALL, 5);
    buttonRow->Add(0, 0, 1, wxEXPAND, 5);
    frame.startButton = new wxButton(&frame, wxID_ANY, _("&Start Wipe!"), wxDefaultPosition, wxDefaultSize, 0);
    buttonRow->Add(frame.startButton, 0, wxALL, 5);
    frame.closeButton = new wxButton(&frame, wxID_ANY, _("&Close"), wxDefaultPosition, wxDefaultSize, 0);
    buttonRow->Add(frame.closeButton, 0, wxALL, 5);

    topSizer->Add(headerRow, 0, wxEXPAND, 0);
    topSizer->Add(listRow, 1, wxEXPAND, 5);
    topSizer->Add(algorithmColumn, 0, wxEXPAND, 5);
    topSizer->Add(buttonRow, 0, wxEXPAND, 5);
    frame.SetSizer(topSizer, true);
    // A language with longer labels widens the window rather than cutting a
    // button off; English fits the designed width.
    const int rowsWidth = std::max({headerRow->CalcMin().x, algorithmRow->CalcMin().x, buttonRow->CalcMin().x});
    if (rowsWidth > frame.GetClientSize().x)
        frame.SetClientSize(rowsWidth, frame.GetClientSize().y);
    AddLogo(frame, *topSizer);
    // The home page's field is as wide as its address: the rest is for the
    // run's texts, the longest of which is wider than half the window.
    wxStatusBar* status = frame.GetStatusBar();
    const int statusWidths[] = {-1, status->GetTextExtent(MainFrame::homePage).x + frame.FromDIP(24)};
    status->SetStatusWidths(2, statusWidths);
    frame.Layout();
    // Keys work from the start: the first control has the focus.
    frame.addFilesButton->SetFocus();

    queueList->SetDropTarget(new MyDropTarget(&frame.wipeQueue, &frame));
    frame.algorithmChoice->SetToolTip(choices[0]);

    // Screen readers: the controls without a visible name of their own.
    Accessibility::PresentAsTable(*queueList, queueLabel->GetLabelText());
    Accessibility::SetLabel(*queueLabel, *queueList);
    Accessibility::SetLabel(*algorithmLabel, *frame.algorithmChoice);
    Accessibility::SingleTabStop(*frame.algorithmChoice);
    Accessibility::SetName(*frame.progressGauge, _("Wipe progress"));
}

void MainFrameLayout::ShowDrivesMenu(MainFrame& frame)
{
    wxMenu menu;
    menu.Append(WIPE_FREE_SPACE_ID, _("Wipe &free space..."));
    menu.Append(WIPE_DRIVE_ID, _("Wipe a whole &drive..."));
    // Its choice goes up from the button to the window.
    frame.freeSpaceButton->PopupMenu(&menu, 0, frame.freeSpaceButton->GetSize().y);
}

// The logo spans the window, above everything else: at any DPI it is scaled
// to fit inside the borders rather than cut by them, and it widens with a
// window that longer labels made wider.
void MainFrameLayout::AddLogo(MainFrame& frame, wxSizer& sizer)
{
    wxImage logoImage(vorlix_logo_xpm);
    const int logoWidth = frame.GetClientSize().x;
    if (logoWidth > 0 && logoWidth != logoImage.GetWidth())
        logoImage.Rescale(logoWidth, logoImage.GetHeight() * logoWidth / logoImage.GetWidth(), wxIMAGE_QUALITY_HIGH);
    wxBitmap logoBitmap(logoImage);
    // Already at this screen's size: not to be scaled again.
    logoBitmap.SetScaleFactor(frame.GetDPIScaleFactor());
    auto* logo = new wxStaticBitmap(&frame, wxID_ANY, wxBitmapBundle(logoBitmap), wxDefaultPosition,
                                    wxDefaultSize, 0);
    Accessibility::SetName(*logo, frame.GetTitle());
    sizer.Insert(0, logo, 0, wxBOTTOM, 5);
}
