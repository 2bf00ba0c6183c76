// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/dialog.h>

#include <memory>
#include <vector>

#include "engine/DriveWiper.h"
#include "engine/WipeMethod.h"
#include "platform/DriveList.h"

class WipeRun;
class wxButton;
class wxListCtrl;
class wxListEvent;
class wxRadioBox;
class wxStaticText;
class wxTextCtrl;

// What the Wipe drive button asks: the drives DriveList finds, those it
// refuses listed with their reasons but not to be chosen, how much is read
// back, and the chosen drive's model, serial and size, whose name the user
// must type before the wipe can start.
class DriveTarget : public wxDialog {
public:
    DriveTarget(wxWindow* parent, WipeMethod method);

    // Asks, and makes the run for the drive confirmed: in this process where
    // it may write the drive, else through vorlix-privileged. None when the
    // user cancelled or the drive cannot be reached.
    static std::unique_ptr<WipeRun> Ask(wxWindow* parent, WipeMethod method);
    // The facts of a finished drive run that got as far as the drive; none
    // for any other run, or one polkit refused.
    static const DriveWipeFacts* FactsOf(const WipeRun& run);
    static bool IsDriveRun(const WipeRun& run);

    // The drive whose name was typed; none until then, or for a refused one.
    const DriveList::Drive* Confirmed() const;
    DriveWiper::Verification Verification() const;
    // The list's rows, in its order.
    const std::vector<DriveList::Drive>& Drives() const { return drives; }

    wxListCtrl* driveList = nullptr;
    wxRadioBox* verificationChoice = nullptr;
    wxStaticText* details = nullptr;
    wxStaticText* namePrompt = nullptr;
    wxTextCtrl* nameField = nullptr;
    wxButton* wipeButton = nullptr;

private:
    void OnSelected(wxListEvent& event);
    void OnChanged(wxCommandEvent& event);
    // The details, the prompt and the button for the row selected now.
    void ShowSelection();
    const DriveList::Drive* Selected() const;

    const WipeMethod method;
    std::vector<DriveList::Drive> drives;
};
