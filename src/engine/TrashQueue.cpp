#include "engine/TrashQueue.h"

#include "engine/WipeQueue.h"
#include "platform/FolderWalk.h"
#include "platform/TrashFolder.h"

TrashQueue::Added TrashQueue::Add(WipeQueue& queue)
{
    return Add(TrashFolder::OfUser(), queue);
}

TrashQueue::Added TrashQueue::Add(const std::vector<wxString>& trashFolders, WipeQueue& queue)
{
    Added added;
    auto queueOne = [&](const wxString& path) {
        if (queue.AddPath(path))
            ++added.entries;
    };
    for (const wxString& trash : trashFolders) {
        const TrashFolder::Contents contents = TrashFolder::List(trash);
        added.unreadable.insert(added.unreadable.end(), contents.refused.begin(), contents.refused.end());
        for (const TrashFolder::Item& item : contents.items) {
            bool whole = !item.isLink;
            if (item.isFolder) {
                FolderWalk::Run(
                    item.path, queueOne,
                    [&](const wxString& folder) {
                        added.unreadable.push_back(folder);
                        whole = false;
                    },
                    [&](const wxString& link) {
                        queueOne(link);
                        whole = false;
                    });
                added.folders.push_back(item.path);
            } else {
                queueOne(item.path);
            }
            // The record goes only with an item that can go whole.
            if (whole && !item.record.empty())
                queueOne(item.record);
        }
        for (const wxString& other : contents.others)
            queueOne(other);
    }
    return added;
}

void TrashQueue::RemoveEmptied(const std::vector<wxString>& folders)
{
    for (const wxString& folder : folders)
        FolderWalk::RemoveEmptied(folder);
}
