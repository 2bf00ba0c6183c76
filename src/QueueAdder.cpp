// SPDX-License-Identifier: GPL-3.0-or-later
#include "QueueAdder.h"

#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/translation.h>

#include "Main.h"
#include "engine/QueueIntake.h"
#include "shell/StartUp.h"
#include "platform/NativePath.h"

namespace {

// How many of the refused paths the box names.
const size_t refusedListLimit = 20;

}  // namespace

bool QueueAdder::ChooseFiles(wxWindow* parent, wxArrayString& paths)
{
    wxFileDialog dialog(parent, _("Select file(s)"), wxEmptyString, wxEmptyString,
                        _("All files (*.*)") + "|" + wxFileSelectorDefaultWildcardStr,
                        wxFD_OPEN | wxFD_MULTIPLE);
    if (dialog.ShowModal() == wxID_CANCEL)
        return false;
    dialog.GetPaths(paths);
    return true;
}

bool QueueAdder::ChooseFolder(wxWindow* parent, wxArrayString& paths)
{
    wxDirDialog dialog(parent, _("Select a folder"), wxEmptyString, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() == wxID_CANCEL || dialog.GetPath().empty())
        return false;
    paths.assign(1, dialog.GetPath());
    return true;
}

std::vector<wxString> QueueAdder::Add(const wxArrayString& paths, WipeQueue& queue)
{
    std::vector<wxString> refused;
    QueueIntake intake(queue);
    for (const wxString& given : paths) {
        const wxString path = NativePath::FromToolkit(given);
        if (path.empty() || !NativePath::IsExact(path))
            refused.push_back(given);
        else
            intake.Add(path);
    }
    FileUtil::LogUnreadable(intake.Refused().unreadable);
    const std::vector<wxString>& notOneFile = intake.Refused().notOneFile;
    refused.insert(refused.end(), notOneFile.begin(), notOneFile.end());
    return refused;
}

std::vector<wxString> QueueAdder::AddCommandLine(const std::vector<wxString>& arguments, WipeQueue& queue)
{
    std::vector<wxString> paths = arguments;
    const bool walk = StartUp::TakeWalkOption(paths);
    QueueIntake intake(queue, walk ? QueueIntake::Folders::Walk : QueueIntake::Folders::Keep);
    intake.Add(paths);
    FileUtil::LogUnreadable(intake.Refused().unreadable);
    return intake.Refused().notOneFile;
}

namespace {

wxString Listed(const wxString& first, const std::vector<wxString>& paths)
{
    if (paths.empty())
        return wxString();
    wxString text = first + "\n";
    for (size_t i = 0; i < paths.size() && i < refusedListLimit; ++i)
        text += "\n" + NativePath::Display(paths[i]);
    if (paths.size() > refusedListLimit)
        text += "\n" + wxString::Format(_("and %zu more"), paths.size() - refusedListLimit);
    return text;
}

}  // namespace

wxString QueueAdder::RefusedText(const std::vector<wxString>& refused)
{
    return Listed(_("These paths were not queued: they do not name one file exactly."), refused);
}

wxString QueueAdder::UnreadableText(const std::vector<wxString>& folders)
{
    return Listed(_("These folders in the Trash could not be read: nothing in them was queued."), folders);
}
