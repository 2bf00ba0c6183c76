// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceTarget.h"

#include "engine/VolumeWiper.h"
#include "platform/NativePath.h"

#include <wx/choicdlg.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/translation.h>

wxString FreeSpaceTarget::Ask(wxWindow* parent)
{
    if (!VolumeWiper::Supported())
        return AskFolder(parent);
    const wxString choices[] = {_("A folder on a mounted drive"), _("A drive or image that is not mounted")};
    wxSingleChoiceDialog dialog(parent, _("Wipe the free space of:"), _("Wipe free space"), 2, choices);
    if (dialog.ShowModal() != wxID_OK)
        return wxString();
    return dialog.GetSelection() == 0 ? AskFolder(parent) : AskVolume(parent);
}

wxString FreeSpaceTarget::AskFolder(wxWindow* parent)
{
    wxDirDialog dialog(parent, _("Wipe the free space of the drive that holds this folder"), wxEmptyString,
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() == wxID_CANCEL || dialog.GetPath().empty())
        return wxString();
    return NativePath::FromToolkit(dialog.GetPath());
}

wxString FreeSpaceTarget::AskVolume(wxWindow* parent)
{
    // Only the drives this user may open are found: usually an administrator's.
    wxArrayString choices;
    for (const wxString& device : VolumeWiper::FindUnmounted())
        choices.Add(device);
    const wxString image = _("An image file...");
    choices.Add(image);
    wxSingleChoiceDialog list(parent, _("The ext2, ext3 and ext4 drives that are not mounted:"),
                              _("Wipe free space"), choices);
    if (list.ShowModal() != wxID_OK)
        return wxString();
    if (list.GetStringSelection() != image)
        return list.GetStringSelection();
    wxFileDialog dialog(parent, _("Wipe everything unused in this ext2, ext3 or ext4 image"), wxEmptyString,
                        wxEmptyString, wxFileSelectorDefaultWildcardStr, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_CANCEL || dialog.GetPath().empty())
        return wxString();
    return NativePath::FromToolkit(dialog.GetPath());
}
