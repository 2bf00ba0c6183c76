// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TrashQueue.h"

#include "engine/WipeQueue.h"
#include "engine/QueueIntake.h"
#include "platform/FolderWalk.h"
#include "platform/TrashFolder.h"

TrashQueue::Added TrashQueue::Add(WipeQueue& queue)
{
    return Add(TrashFolder::OfUser(), queue);
}

TrashQueue::Added TrashQueue::Add(const std::vector<wxString>& trashFolders, WipeQueue& queue)
{
    Added added;
    // Links inside a trashed folder are queued, so that the run names them.
    QueueIntake intake(queue, QueueIntake::Folders::Walk, QueueIntake::Links::Queue);
    for (const wxString& trash : trashFolders) {
        const TrashFolder::Contents contents = TrashFolder::List(trash);
        added.unreadable.insert(added.unreadable.end(), contents.refused.begin(), contents.refused.end());
        for (const TrashFolder::Item& item : contents.items) {
            bool whole = !item.isLink;
            if (item.isFolder) {
                const size_t unreadBefore = intake.Refused().unreadable.size();
                const size_t linksBefore = intake.LinksMet();
                intake.Walk(item.path);
                const std::vector<wxString>& unread = intake.Refused().unreadable;
                added.unreadable.insert(added.unreadable.end(), unread.begin() + unreadBefore, unread.end());
                whole = whole && unread.size() == unreadBefore && intake.LinksMet() == linksBefore;
            } else {
                intake.AddAsGiven(item.path);
            }
            // The record goes only with an item that can go whole.
            if (whole && !item.record.empty())
                intake.AddAsGiven(item.record);
        }
        for (const wxString& other : contents.others)
            intake.AddAsGiven(other);
    }
    added.entries = intake.Taken();
    added.folders = intake.Walked();
    return added;
}

void TrashQueue::RemoveEmptied(const std::vector<wxString>& folders)
{
    for (const wxString& folder : folders)
        FolderWalk::RemoveEmptied(folder);
}
