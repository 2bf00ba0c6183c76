// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RunSurvey.h"

#include "engine/JournalPush.h"
#include "platform/InPlaceFile.h"

RunSurvey::RunSurvey(const WipeQueue& queue, bool filesystemsOnly) : batch(queue.Files())
{
    for (const QueuedFile& file : batch)
        Add(file.Entry(), filesystemsOnly);
}

void RunSurvey::Add(const QueueEntry& entry, bool filesystemsOnly)
{
    const int index = Place(entry.folder);
    if (index < 0)
        return;
    const Filesystem& filesystem = filesystems[index];
    flashFiles += filesystem.medium == StorageMedium::Kind::Flash;
    if (filesystemsOnly)
        return;
    const wxString caveat = OverwriteCaveat::OfFile(entry.path, filesystem.ground);
    if (caveat != filesystem.ground.kind)
        fileCaveats[entry.path] = caveat;
    // A journal's copies are cleared at the end of the run: nothing to ask about.
    if (!caveat.empty() && !JournalPush::Clears(caveat))
        ++caveatCounts[caveat];
    readOnlyFiles += InPlaceFile::IsReadOnly(entry.path);
}

int RunSurvey::Place(const wxString& folder)
{
    const auto known = folders.find(folder);
    if (known != folders.end())
        return known->second;
    // A tree of many folders is mostly on one filesystem: examined once.
    const uint64_t id = FreeSpace::IdOf(folder);
    int index = -1;
    for (size_t i = 0; id != 0 && i < filesystems.size() && index < 0; ++i)
        if (filesystems[i].info.id == id)
            index = static_cast<int>(i);
    if (index < 0 && id != 0) {
        Filesystem filesystem;
        wxString detail;
        if (!FreeSpace::Examine(folder, filesystem.info, detail))
            filesystem.info = FreeSpace::Filesystem();
        filesystem.info.id = id;
        filesystem.medium = media.Of(folder);
        filesystem.ground = OverwriteCaveat::OfFilesystem(folder);
        filesystems.push_back(filesystem);
        index = static_cast<int>(filesystems.size() - 1);
    }
    folders.emplace(folder, index);
    return index;
}

const RunSurvey::Filesystem* RunSurvey::Of(const wxString& folder) const
{
    const auto known = folders.find(folder);
    return known == folders.end() || known->second < 0 ? nullptr : &filesystems[known->second];
}

wxString RunSurvey::CaveatOf(const wxString& folder, const wxString& path) const
{
    const auto own = fileCaveats.find(path);
    if (own != fileCaveats.end())
        return own->second;
    const Filesystem* filesystem = Of(folder);
    return filesystem ? filesystem->ground.kind : wxString();
}
