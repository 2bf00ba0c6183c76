// SPDX-License-Identifier: GPL-3.0-or-later
#include "QueueEditor.h"

#include <wx/msgdlg.h>

#include "MainFrame.h"
#include "MyCustomEvent.h"
#include "QueueAdder.h"
#include "QueueListCtrl.h"
#include "engine/QueueIntake.h"
#include "engine/TrashQueue.h"

QueueEditor::QueueEditor(MainFrame& frame) : frame(frame)
{
    frame.addFilesButton->Bind(wxEVT_BUTTON, &QueueEditor::OnAddFiles, this);
    frame.addFolderButton->Bind(wxEVT_BUTTON, &QueueEditor::OnAddFolder, this);
    frame.addTrashButton->Bind(wxEVT_BUTTON, &QueueEditor::OnAddTrash, this);
    frame.removeButton->Bind(wxEVT_BUTTON, &QueueEditor::OnRemove, this);
    frame.queueList->Bind(wxEVT_LIST_KEY_DOWN, &QueueEditor::OnQueueKey, this);
    frame.Bind(EVT_HAND_OFF, &QueueEditor::OnHandOff, this);
}

bool QueueEditor::AddPaths(const wxArrayString& paths)
{
    // The queue the engine is working through is not the user's to change:
    // a file added now could be wiped, and one removed now still would be.
    if (frame.IsWipeThreadAlive())
        return false;
    frame.DisableControls();
    frame.SetStatusText(_("Adding files, please wait..."), 0);
    const std::vector<wxString> refused = QueueAdder::Add(paths, frame.wipeQueue);
    frame.EnableControls();
    frame.RefreshQueueList();
    ShowRefused(refused);
    return true;
}

void QueueEditor::ShowRefused(const std::vector<wxString>& refused)
{
    const wxString text = QueueAdder::RefusedText(refused);
    if (!text.empty())
        wxMessageBox(text, _("Not queued"), wxOK | wxICON_WARNING);
}

void QueueEditor::OnAddFiles(wxCommandEvent&)
{
    wxArrayString paths;
    if (QueueAdder::ChooseFiles(&frame, paths))
        AddPaths(paths);
}

void QueueEditor::OnAddFolder(wxCommandEvent&)
{
    wxArrayString paths;
    if (QueueAdder::ChooseFolder(&frame, paths))
        AddPaths(paths);
}

void QueueEditor::OnAddTrash(wxCommandEvent&)
{
    AddTrash();
}

bool QueueEditor::AddTrash()
{
    if (frame.IsWipeThreadAlive())
        return false;
    frame.DisableControls();
    frame.SetStatusText(_("Adding the Trash, please wait..."), 0);
    const TrashQueue::Added added = TrashQueue::Add(frame.wipeQueue);
    trashFolders.insert(trashFolders.end(), added.folders.begin(), added.folders.end());
    frame.EnableControls();
    frame.RefreshQueueList();
    if (!added.unreadable.empty())
        wxMessageBox(QueueAdder::UnreadableText(added.unreadable), _("Not queued"), wxOK | wxICON_WARNING);
    else if (added.entries == 0 && added.folders.empty())
        wxMessageBox(_("The Trash is empty."), _("Add Trash"), wxOK | wxICON_INFORMATION);
    return true;
}

void QueueEditor::OnRemove(wxCommandEvent&)
{
    if (frame.IsWipeThreadAlive())
        return;
    frame.DisableControls();
    frame.SetStatusText(_("Removing file(s) from queue"), 0);
    const std::vector<long> selected = frame.queueList->SelectedRows();
    std::vector<uint64_t> serials;
    serials.reserve(selected.size());
    for (long row : selected)
        serials.push_back(frame.queueList->Row(row).Serial());
    frame.wipeQueue.Remove(serials);
    frame.queueList->DeleteRows(selected);
    frame.SetStatusText(
        wxString::Format(_("No. of files in queue: %zu"), size_t(frame.queueList->GetItemCount())), 0);
    frame.EnableControls();
}

// Delete in the list does what the Remove button does.
void QueueEditor::OnQueueKey(wxListEvent& event)
{
    const int key = event.GetKeyCode();
    if ((key == WXK_DELETE || key == WXK_NUMPAD_DELETE) && frame.removeButton->IsEnabled()) {
        wxCommandEvent remove(wxEVT_BUTTON, frame.removeButton->GetId());
        OnRemove(remove);
        return;
    }
    event.Skip();
}

void QueueEditor::OnHandOff(wxThreadEvent& event)
{
    QueueIntake intake(frame.wipeQueue);
    for (const wxString& path : static_cast<MyCustomEvent&>(event).paths)
        intake.AddAsGiven(path);
    // A burst comes in several events; this runs after those already waiting.
    if (!handOffRefreshPending) {
        handOffRefreshPending = true;
        frame.CallAfter([this] {
            handOffRefreshPending = false;
            frame.RefreshQueueList();
            frame.Raise();
        });
    }
}

void QueueEditor::RemoveEmptiedTrash()
{
    TrashQueue::RemoveEmptied(trashFolders);
    trashFolders.clear();
}
