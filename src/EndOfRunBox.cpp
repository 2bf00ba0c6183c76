// SPDX-License-Identifier: GPL-3.0-or-later
#include "EndOfRunBox.h"

#include <wx/datetime.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/translation.h>

#include "engine/DriveCertificate.h"
#include "engine/DriveWipeFacts.h"
#include "engine/RunRecord.h"
#include "platform/NativePath.h"

void EndOfRunBox::Show(const WipeRun::Outcome& outcome, const RunRecord* record, const DriveWipeFacts* drive)
{
    const long icon = outcome.clean ? wxICON_INFORMATION : wxICON_WARNING;
    if (drive) {
        wxMessageDialog box(nullptr, outcome.message, outcome.caption, wxOK | wxHELP | icon);
        box.SetHelpLabel(_("&Save certificate..."));
        if (box.ShowModal() == wxID_HELP)
            SaveCertificate(*drive);
        return;
    }
    if (!record) {
        wxMessageBox(outcome.message, outcome.caption, wxOK | icon);
        return;
    }
    // The third button is the dialog's help button, relabelled: a message box
    // has no other place for an action of its own.
    wxMessageDialog box(nullptr, outcome.message, outcome.caption, wxOK | wxHELP | icon);
    box.SetHelpLabel(_("&Save report..."));
    if (box.ShowModal() == wxID_HELP)
        SaveReport(*record);
}

bool EndOfRunBox::SaveReport(const RunRecord& record)
{
    const wxString name = "vorlix-report-" + wxDateTime::Now().Format("%Y%m%d-%H%M%S") + ".json";
    wxFileDialog dialog(nullptr, _("Save report"), wxEmptyString, name,
                        _("JSON report (*.json)|*.json|Plain text (*.txt)|*.txt"),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() == wxID_CANCEL)
        return false;
    const wxString path = NativePath::FromToolkit(dialog.GetPath());
    wxString error;
    if (!path.empty() && record.Save(path, error))
        return true;
    wxMessageBox(_("The report could not be saved:") + "\n" + NativePath::Display(dialog.GetPath())
                     + (error.empty() ? "" : "\n\n" + error),
                 _("Save report"), wxOK | wxICON_ERROR);
    return false;
}

bool EndOfRunBox::SaveCertificate(const DriveWipeFacts& facts)
{
    const wxString name = "vorlix-certificate-" + facts.name + "-"
                          + (facts.start.IsValid() ? facts.start : wxDateTime::Now()).Format("%Y%m%d-%H%M%S") + ".pdf";
    wxFileDialog dialog(nullptr, _("Save certificate"), wxEmptyString, name, _("PDF certificate (*.pdf)|*.pdf"),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() == wxID_CANCEL)
        return false;
    const wxString path = NativePath::FromToolkit(dialog.GetPath());
    wxString error;
    if (!path.empty() && DriveCertificate::Save(facts, path, error))
        return true;
    wxMessageBox(_("The certificate could not be saved:") + "\n" + NativePath::Display(dialog.GetPath())
                     + (error.empty() ? "" : "\n\n" + error),
                 _("Save certificate"), wxOK | wxICON_ERROR);
    return false;
}
