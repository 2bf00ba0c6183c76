// SPDX-License-Identifier: GPL-3.0-or-later
#include "DriveTarget.h"

#include <wx/button.h>
#include <wx/file.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/radiobox.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/translation.h>

#include "engine/AdminDriveRun.h"
#include "engine/ByteSize.h"
#include "engine/DriveRun.h"
#include "platform/PrivilegedStep.h"
#include "platform/gui/Accessibility.h"

namespace {

enum Column { Name, Model, Serial, Size, Bus, Media, Refusal };

wxString MediaText(DriveList::Media media)
{
    switch (media) {
    case DriveList::Media::Flash: return _("Flash");
    case DriveList::Media::Spinning: return _("Spinning");
    default: return _("Unknown");
    }
}

wxString Joined(const std::vector<wxString>& reasons)
{
    wxString text;
    for (const wxString& reason : reasons)
        text += (text.empty() ? "" : " ") + reason;
    return text;
}

}  // namespace

DriveTarget::DriveTarget(wxWindow* parent, WipeMethod method)
    : wxDialog(parent, wxID_ANY, _("Wipe a drive"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      method(method), drives(DriveList::List())
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* listLabel = new wxStaticText(this, wxID_ANY, _("&Drives:"));
    sizer->Add(listLabel, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    driveList = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(720, 200)),
                               wxLC_REPORT | wxLC_SINGLE_SEL);
    const wxString headings[] = {_("Name"), _("Model"), _("Serial"), _("Size"), _("Bus"), _("Type"),
                                 _("Cannot be wiped because")};
    const int widths[] = {70, 140, 130, 80, 60, 70, 300};
    for (int column = Name; column <= Refusal; ++column)
        driveList->InsertColumn(column, headings[column], wxLIST_FORMAT_LEFT, FromDIP(widths[column]));
    const wxColour refusedColour = wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
    for (size_t i = 0; i < drives.size(); ++i) {
        const DriveList::Drive& drive = drives[i];
        const long row = driveList->InsertItem(static_cast<long>(i), drive.name);
        driveList->SetItem(row, Model, (drive.vendor.empty() ? "" : drive.vendor + " ") + drive.model);
        driveList->SetItem(row, Serial, drive.serial);
        driveList->SetItem(row, Size, ByteSize::Text(drive.size));
        driveList->SetItem(row, Bus, drive.bus);
        driveList->SetItem(row, Media, MediaText(drive.media));
        driveList->SetItem(row, Refusal, Joined(drive.refusals));
        if (!drive.refusals.empty())
            driveList->SetItemTextColour(row, refusedColour);
    }
    sizer->Add(driveList, 1, wxALL | wxEXPAND, 10);

    const wxString checks[] = {_("Every block"), _("A sample spread over the drive"), _("None")};
    verificationChoice = new wxRadioBox(this, wxID_ANY, _("Read back after wiping"), wxDefaultPosition,
                                        wxDefaultSize, 3, checks, 1, wxRA_SPECIFY_ROWS);
    verificationChoice->SetSelection(0);
    sizer->Add(verificationChoice, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);

    details = new wxStaticText(this, wxID_ANY, drives.empty() ? _("No drive was found.") : _("Choose a drive."));
    sizer->Add(details, 0, wxALL | wxEXPAND, 10);
    // Never empty: the field is named after it for screen readers.
    namePrompt = new wxStaticText(this, wxID_ANY, _("To wipe a drive, type its name:"));
    sizer->Add(namePrompt, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
    nameField = new wxTextCtrl(this, wxID_ANY);
    nameField->Enable(false);
    sizer->Add(nameField, 0, wxALL | wxEXPAND, 10);

    auto* buttons = new wxStdDialogButtonSizer;
    wipeButton = new wxButton(this, wxID_OK, _("&Wipe drive"));
    wipeButton->Enable(false);
    buttons->AddButton(wipeButton);
    buttons->AddButton(new wxButton(this, wxID_CANCEL));
    buttons->Realize();
    sizer->Add(buttons, 0, wxALL | wxEXPAND, 10);
    SetSizerAndFit(sizer);
    // Enter in the name field must not start a wipe before the name is right.
    SetDefaultItem(FindWindow(wxID_CANCEL));

    Accessibility::SetLabel(*listLabel, *driveList);
    Accessibility::SetLabel(*namePrompt, *nameField);

    driveList->Bind(wxEVT_LIST_ITEM_SELECTED, &DriveTarget::OnSelected, this);
    driveList->Bind(wxEVT_LIST_ITEM_DESELECTED, &DriveTarget::OnSelected, this);
    nameField->Bind(wxEVT_TEXT, &DriveTarget::OnChanged, this);
    verificationChoice->Bind(wxEVT_RADIOBOX, &DriveTarget::OnChanged, this);
}

std::unique_ptr<WipeRun> DriveTarget::Ask(wxWindow* parent, WipeMethod method)
{
    DriveTarget dialog(parent, method);
    if (dialog.ShowModal() != wxID_OK || !dialog.Confirmed())
        return nullptr;
    const DriveList::Drive drive = *dialog.Confirmed();
    const DriveWiper::Verification verification = dialog.Verification();
    // Root, or a user the drive's node lets write (the disk group), needs no polkit.
    if (wxFile::Access(drive.path, wxFile::write))
        return std::make_unique<DriveRun>(drive.path, method, verification);
    if (PrivilegedStep::Available())
        return std::make_unique<AdminDriveRun>(drive.path, method, verification);
    wxMessageBox(wxString::Format(_("Only an administrator may write to %s, and vorlix-privileged, which asks for "
                                    "an administrator's consent, is not installed."),
                                  drive.path),
                 _("Wipe a drive"), wxOK | wxICON_ERROR, parent);
    return nullptr;
}

bool DriveTarget::IsDriveRun(const WipeRun& run)
{
    return dynamic_cast<const DriveRun*>(&run) || dynamic_cast<const AdminDriveRun*>(&run);
}

const DriveWipeFacts* DriveTarget::FactsOf(const WipeRun& run)
{
    if (const auto* own = dynamic_cast<const DriveRun*>(&run))
        return &own->Details().facts;
    if (const auto* admin = dynamic_cast<const AdminDriveRun*>(&run))
        return admin->NotAuthorized() ? nullptr : &admin->Details().facts;
    return nullptr;
}

const DriveList::Drive* DriveTarget::Selected() const
{
    const long row = driveList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return row >= 0 && static_cast<size_t>(row) < drives.size() ? &drives[static_cast<size_t>(row)] : nullptr;
}

const DriveList::Drive* DriveTarget::Confirmed() const
{
    const DriveList::Drive* drive = Selected();
    if (!drive || !drive->refusals.empty() || nameField->GetValue() != drive->name)
        return nullptr;
    return drive;
}

DriveWiper::Verification DriveTarget::Verification() const
{
    switch (verificationChoice->GetSelection()) {
    case 1: return DriveWiper::Verification::Sample;
    case 2: return DriveWiper::Verification::None;
    default: return DriveWiper::Verification::All;
    }
}

void DriveTarget::OnSelected(wxListEvent&)
{
    // A new drive is confirmed afresh: the name typed for another does not carry over.
    nameField->ChangeValue(wxString());
    ShowSelection();
}

void DriveTarget::OnChanged(wxCommandEvent&)
{
    ShowSelection();
}

void DriveTarget::ShowSelection()
{
    const DriveList::Drive* drive = Selected();
    wxString text, prompt = _("To wipe a drive, type its name:");
    if (!drive) {
        text = _("Choose a drive.");
    } else if (!drive->refusals.empty()) {
        text = wxString::Format(_("%s cannot be wiped:"), drive->path) + "\n" + Joined(drive->refusals);
    } else {
        text = wxString::Format(_("Model: %s\nSerial: %s\nSize: %s (%llu bytes)"), drive->model, drive->serial,
                                ByteSize::Text(drive->size), static_cast<unsigned long long>(drive->size))
               + "\n\n" + DriveRun::Question(*drive, method, Verification());
        prompt = wxString::Format(_("To wipe it, type its name, %s:"), drive->name);
    }
    const bool choosable = drive && drive->refusals.empty();
    nameField->Enable(choosable);
    if (!choosable)
        nameField->ChangeValue(wxString());
    wipeButton->Enable(Confirmed() != nullptr);
    SetDefaultItem(Confirmed() ? static_cast<wxWindow*>(wipeButton) : FindWindow(wxID_CANCEL));
    if (details->GetLabel() != text || namePrompt->GetLabel() != prompt) {
        details->SetLabel(text);
        details->Wrap(driveList->GetSize().x);
        namePrompt->SetLabel(prompt);
        Layout();
        Fit();
    }
}
