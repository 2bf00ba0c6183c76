#include "engine/JournalPush.h"

#include <wx/utils.h>

#include "engine/RunSurvey.h"
#include "platform/CrashRecord.h"

#include <set>

const char* const JournalPush::workFolderName = ".vorlix-journal";

bool JournalPush::Run(const FreeSpace::Filesystem& filesystem, const wxString& workFolder,
                      const std::function<bool()>& stop, wxString& detail, State* state)
{
    State ignored;
    State& said = state ? *state : ignored;
    const uint64_t journalBlocks = FreeSpace::JournalBlocks(filesystem);
    said = journalBlocks == 0 ? State::NoJournal : State::Cleared;
    if (journalBlocks == 0 || FreeSpace::ZeroJournal(filesystem))
        return true;
    said = State::NotCleared;
    if (!FreeSpace::MakeHiddenFolder(workFolder, detail))
        return true;  // nowhere to push from: nothing of ours to remove
    // Each new folder takes a block of its own, which the journal logs as it
    // commits (with the blocks of the folders' entries, not counted here).
    // A commit of this many takes a few tens of milliseconds: a stop waits
    // for no more than one.
    constexpr unsigned foldersPerCommit = 256;
    uint64_t logged = 0;
    for (; logged < journalBlocks && !stop(); logged += foldersPerCommit) {
        for (unsigned i = 0; i < foldersPerCommit && !stop(); ++i)
            FreeSpace::MakeHiddenFolder(FreeSpace::Join(workFolder, wxString::Format(".j%u", i)), detail);
        FreeSpace::Sync(workFolder);
        FreeSpace::RemoveFolder(workFolder, detail);
        FreeSpace::MakeHiddenFolder(workFolder, detail);
    }
    if (logged >= journalBlocks)
        said = State::Cleared;
    const bool removed = FreeSpace::RemoveFolder(workFolder, detail);
    FreeSpace::Sync(filesystem.root);
    return removed;
}

void JournalPush::AfterFiles(const std::vector<wxString>& folders, const RunSurvey& survey,
                             const std::function<bool()>& stop)
{
    std::set<uint64_t> done;
    for (const wxString& folder : folders) {
        const RunSurvey::Filesystem* place = survey.Of(folder);
        if (!place || place->info.type.empty() || !done.insert(place->info.id).second)
            continue;
        const FreeSpace::Filesystem& filesystem = place->info;
        // Named by the process: one left by a crash is never taken for this one's.
        const wxString workFolder =
            FreeSpace::Join(folder, wxString::Format("%s-%lu", workFolderName, wxGetProcessId()));
        wxString detail;
        CrashRecord::NoteFillFolder(workFolder, filesystem.id);
        if (Run(filesystem, workFolder, stop, detail))
            CrashRecord::DropFillFolder(workFolder);
    }
}
