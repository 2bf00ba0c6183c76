// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/QueueIntake.h"

#include "engine/WipeQueue.h"
#include "platform/FolderWalk.h"

QueueIntake::QueueIntake(WipeQueue& queue, Folders folders) : queue(&queue), folders(folders)
{
}

QueueIntake::QueueIntake(std::vector<wxString>& files, Folders folders) : files(&files), folders(folders)
{
}

void QueueIntake::Add(const wxString& path)
{
    if (folders != Folders::Keep && FolderWalk::IsFolder(path)) {
        if (folders == Folders::Walk)
            Walk(path);
        else
            refused.folders.push_back(path);
        return;
    }
    if (!Take(path))
        refused.notOneFile.push_back(path);
}

void QueueIntake::Add(const std::vector<wxString>& paths)
{
    for (const wxString& path : paths)
        Add(path);
}

void QueueIntake::AddHandedOver(const wxString& path)
{
    if (!Take(path))
        refused.notOneFile.push_back(path);
}

void QueueIntake::Walk(const wxString& folder)
{
    FolderWalk::Run(
        folder,
        [this](const wxString& file) {
            if (!Take(file))
                refused.notOneFile.push_back(file);
        },
        [this](const wxString& unreadable) { refused.unreadable.push_back(unreadable); },
        [this](const wxString& link) { refused.links.push_back(link); });
}

bool QueueIntake::AllTaken() const
{
    return refused.notOneFile.empty() && refused.folders.empty() && refused.unreadable.empty()
           && refused.links.empty();
}

bool QueueIntake::Take(const wxString& path)
{
    if (queue)
        return queue->AddPath(path);
    files->push_back(path);
    return true;
}
