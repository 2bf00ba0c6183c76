// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/QueueIntake.h"

#include "engine/WipeQueue.h"
#include "platform/FolderWalk.h"

QueueIntake::QueueIntake(WipeQueue& queue, Folders folders, Links links)
    : queue(&queue), folders(folders), links(links)
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

void QueueIntake::AddAsGiven(const wxString& path)
{
    if (!Take(path))
        refused.notOneFile.push_back(path);
}

void QueueIntake::Walk(const wxString& folder)
{
    walked.push_back(folder);
    FolderWalk::Run(
        folder,
        [this](const wxString& file) {
            if (!Take(file))
                refused.notOneFile.push_back(file);
        },
        [this](const wxString& unreadable) { refused.unreadable.push_back(unreadable); },
        [this](const wxString& link) {
            ++linksMet;
            if (links == Links::Leave)
                refused.links.push_back(link);
            else if (!Take(link))
                refused.notOneFile.push_back(link);
        });
}

bool QueueIntake::AllTaken() const
{
    return refused.notOneFile.empty() && refused.folders.empty() && refused.unreadable.empty()
           && refused.links.empty();
}

bool QueueIntake::Take(const wxString& path)
{
    if (queue && !queue->AddPath(path, places))
        return false;
    if (!queue)
        files->push_back(path);
    ++taken;
    return true;
}
