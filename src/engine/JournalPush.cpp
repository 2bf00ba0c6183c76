// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/JournalPush.h"

#include <wx/utils.h>

#include "engine/RunSurvey.h"
#include "platform/CrashRecord.h"
#include "platform/PrivilegedStep.h"

#include <algorithm>
#include <set>
#include <string>

const char* const JournalPush::workFolderName = ".vorlix-journal";

bool JournalPush::Run(const FreeSpace::Filesystem& filesystem, const wxString& workFolder,
                      const std::function<bool()>& stop, wxString& detail, State* state, Progress* progress)
{
    State ignored;
    State& said = state ? *state : ignored;
    Progress unwatched;
    Progress& shown = progress ? *progress : unwatched;
    const uint64_t journalBlocks = FreeSpace::JournalBlocks(filesystem);
    said = journalBlocks == 0 ? State::NoJournal : State::Cleared;
    if (journalBlocks == 0)
        return true;
    shown.logged = 0;
    shown.blocks = journalBlocks;
    struct StepEnd {
        Progress& shown;
        ~StepEnd() { shown.blocks = 0; }
    } stepEnd{shown};
    bool notAllowed = false;
    if (FreeSpace::ZeroJournal(filesystem, &notAllowed) || (notAllowed && ClearedByHelper(filesystem)))
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
    while (logged < journalBlocks && !stop()) {
        unsigned made = 0;
        for (; made < foldersPerCommit && !stop(); ++made)
            FreeSpace::MakeHiddenFolder(FreeSpace::Join(workFolder, wxString::Format(".j%u", made)), detail);
        FreeSpace::Sync(workFolder);
        FreeSpace::RemoveFolder(workFolder, detail);
        FreeSpace::MakeHiddenFolder(workFolder, detail);
        logged += made;
        shown.logged = std::min(logged, journalBlocks);
    }
    if (logged >= journalBlocks)
        said = State::Cleared;
    const bool removed = FreeSpace::RemoveFolder(workFolder, detail);
    FreeSpace::Sync(filesystem.root);
    return removed;
}

bool JournalPush::ClearedByHelper(const FreeSpace::Filesystem& filesystem)
{
    if (!PrivilegedStep::Available())
        return false;
    PrivilegedStep step;
    wxString detail;
    if (!step.Start({"clear-journal", filesystem.root}, detail, false))
        return false;
    std::string line;
    while (step.ReadLine(line)) {
    }
    // 126 and 127: polkit said no, or asked nobody; the push follows.
    return step.Wait() == 0;
}

JournalPush::State JournalPush::AfterFiles(const std::vector<wxString>& folders, const RunSurvey& survey,
                                           const std::function<bool()>& stop, Progress* progress)
{
    State all = State::NoJournal;
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
        State state = State::NoJournal;
        CrashRecord::NoteFillFolder(workFolder, filesystem.id);
        if (Run(filesystem, workFolder, stop, detail, &state, progress))
            CrashRecord::DropFillFolder(workFolder);
        if (all == State::NoJournal || state == State::NotCleared)
            all = state;
    }
    return all;
}
