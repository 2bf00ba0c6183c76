// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/arrstr.h>
#include <wx/event.h>
#include <wx/listctrl.h>
#include <wx/string.h>

#include <vector>

class MainFrame;

// The window's changes to its queue: the adding buttons and drops, Remove and
// the Delete key, and the paths later starts hand off. Each change runs with
// the window's controls off and ends with one rebuild of the list; all are
// refused while a run works through the queue.
class QueueEditor {
public:
    // Binds the handlers to frame's controls, which must exist.
    explicit QueueEditor(MainFrame& frame);

    // Queues files and walks folders for one adding action. Refused (false)
    // while a run goes on.
    bool AddPaths(const wxArrayString& paths);
    // Queues everything in the user's Trash; refused (false) while a run goes on.
    bool AddTrash();
    // Names the paths an adding action could not queue.
    static void ShowRefused(const std::vector<wxString>& refused);
    // After a run of the queue: removes the trashed folders Add Trash queued
    // once the run has emptied them, so the Trash shows nothing of them.
    void RemoveEmptiedTrash();
    // The trashed folders Add Trash queued: a run takes them as a whole,
    // with the recent-files entries inside them.
    const std::vector<wxString>& TrashFolders() const { return trashFolders; }

private:
    void OnAddFiles(wxCommandEvent& event);
    void OnAddFolder(wxCommandEvent& event);
    void OnAddTrash(wxCommandEvent& event);
    void OnRemove(wxCommandEvent& event);
    void OnQueueKey(wxListEvent& event);
    void OnHandOff(wxThreadEvent& event);

    MainFrame& frame;
    // Trashed folders queued by Add Trash, until the next run of the queue.
    std::vector<wxString> trashFolders;
    // Handed-off paths are queued; the list is rebuilt once they stop coming.
    bool handOffRefreshPending = false;
};
