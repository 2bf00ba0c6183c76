// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunQuestions.h"

#include <wx/msgdlg.h>
#include <wx/translation.h>

#include <map>

#include "engine/FreeSpaceRun.h"
#include "engine/VolumeRun.h"
#include "platform/Discard.h"
#include "platform/OverwriteCaveat.h"
#include "platform/PrivilegedStep.h"

bool RunQuestions::OverwriteReachesData(const RunSurvey& survey)
{
    const std::map<wxString, size_t>& kinds = survey.Caveats();
    const size_t flash = survey.FlashFiles();
    if (kinds.empty() && flash == 0)
        return true;
    wxString text;
    if (!kinds.empty()) {
        // One line per kind: a filesystem, a network drive and a compressed
        // file each read as what they are.
        wxString lines;
        size_t files = 0;
        for (const auto& kind : kinds) {
            lines += wxString::Format("\n- %s: %zu", OverwriteCaveat::Shown(kind.first), kind.second);
            files += kind.second;
        }
        text = wxString::Format(
            wxPLURAL("%zu of the queued files are stored where overwriting may not reach their old data:\n%s\n\n%s",
                     "%zu of the queued files are stored where overwriting may not reach their old data:\n%s\n\n%s",
                     files),
            files, lines,
            _("There, the new bytes can go to new places, and the old data may stay readable.") + "\n\n");
    }
    // Flash is said once for all its files, in a paragraph of its own.
    if (flash != 0) {
        text += wxString::Format(
            wxPLURAL("%zu of the queued files are on flash storage (an SSD, a memory card or a USB stick). The drive "
                     "may keep old copies of their data in cells that overwriting cannot reach. ",
                     "%zu of the queued files are on flash storage (an SSD, a memory card or a USB stick). The drive "
                     "may keep old copies of their data in cells that overwriting cannot reach. ",
                     flash),
            flash);
        text += Discard::AllowedNow()
                    ? _("After the wipe, Vorlix asks the drive to discard the wiped blocks. ")
                    : _("The wiped blocks are discarded at the system's next fstrim run: only an administrator "
                        "can ask the drive to do it at once. ");
        text += _("Full-disk encryption, or the drive's own secure erase, protects what a file wipe "
                  "cannot reach.") + "\n\n";
    }
    text += _("Wipe anyway?");
    return wxMessageBox(text, _("Filesystem warning"), wxYES_NO | wxNO_DEFAULT | wxICON_WARNING) == wxYES;
}

bool RunQuestions::ClearReadOnly(const RunSurvey& survey)
{
    const size_t readOnly = survey.ReadOnlyFiles();
    if (readOnly == 0)
        return false;
    const wxString text = wxString::Format(
        wxPLURAL("%zu of the queued files are read-only. Clear their read-only attribute and wipe them too?\n\n"
                 "No leaves them as they are.",
                 "%zu of the queued files are read-only. Clear their read-only attribute and wipe them too?\n\n"
                 "No leaves them as they are.",
                 readOnly),
        readOnly);
    return wxMessageBox(text, _("Read-only files"), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION) == wxYES;
}

RunQuestions::FreeSpaceAnswer RunQuestions::WipeFreeSpace(const wxString& folder, WipeMethod method)
{
    FreeSpaceWiper::Check check;
    wxString detail;
    if (!FreeSpaceWiper::Inspect(folder, check, detail)) {
        wxMessageBox(_("The folder cannot be examined:") + "\n" + detail, _("Wipe free space"), wxOK | wxICON_ERROR);
        return FreeSpaceAnswer::No;
    }
    if (!check.refusal.empty()) {
        wxMessageBox(check.refusal, _("Wipe free space"), wxOK | wxICON_WARNING);
        return FreeSpaceAnswer::No;
    }
    const wxString question = FreeSpaceRun::Question(folder, check, method);
    if (check.adminOnlyBytes == 0 || !PrivilegedStep::Available())
        return wxMessageBox(question, _("Wipe free space"), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION) == wxYES
                   ? FreeSpaceAnswer::AsUser
                   : FreeSpaceAnswer::No;
    wxMessageDialog box(nullptr, question + "\n\n" + _("Wipe all of it with administrator rights?"),
                        _("Wipe free space"), wxYES_NO | wxCANCEL | wxICON_QUESTION);
    box.SetYesNoCancelLabels(_("As &administrator"), _("&Only what I may fill"),
                             wxMessageDialog::ButtonLabel(wxID_CANCEL));
    switch (box.ShowModal()) {
    case wxID_YES: return FreeSpaceAnswer::AsAdministrator;
    case wxID_NO: return FreeSpaceAnswer::AsUser;
    default: return FreeSpaceAnswer::No;
    }
}

bool RunQuestions::WipeWithoutAdministrator(const wxString& folder, const wxString& refusal)
{
    FreeSpaceWiper::Check check;
    wxString detail;
    wxString text = refusal;
    if (!FreeSpaceWiper::Inspect(folder, check, detail) || !check.refusal.empty()) {
        wxMessageBox(text, _("Wipe free space"), wxOK | wxICON_WARNING);
        return false;
    }
    text += "\n\n" + _("Wipe only the free space you may fill instead?");
    if (check.adminOnlyBytes != 0)
        text += "\n\n" + FreeSpaceRun::AdminOnlyText(check.adminOnlyBytes);
    return wxMessageBox(text, _("Wipe free space"), wxYES_NO | wxNO_DEFAULT | wxICON_WARNING) == wxYES;
}

bool RunQuestions::WipeVolume(const wxString& path, WipeMethod method)
{
    ExtVolume::Facts facts;
    wxString refusal;
    if (!VolumeWiper::Inspect(path, facts, refusal)) {
        wxMessageBox(refusal, _("Wipe free space"), wxOK | wxICON_WARNING);
        return false;
    }
    return wxMessageBox(VolumeRun::Question(path, facts, method), _("Wipe free space"),
                        wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION)
           == wxYES;
}
