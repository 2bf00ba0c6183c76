// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FreeSpace.h"

#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class RunSurvey;

// Leaves no older copy in an ext3/ext4 journal: folder blocks with the names
// of deleted files, and the data it logged (data=journal, inline data). Used
// after a file run and after a free-space wipe.
class JournalPush {
public:
    enum class State { NoJournal, Cleared, NotCleared };

    // What a face shows of the step while it runs, from any thread: the
    // journal's blocks and how many the push has logged of them; blocks is
    // 0 outside the step.
    struct Progress {
        std::atomic<uint64_t> logged{0};
        std::atomic<uint64_t> blocks{0};
    };

    // Where the system lets this process (root), the journal is emptied into
    // place and zeroed: well under a second for any size. Where only root
    // may, vorlix-privileged is asked to, as polkit allows without asking.
    // Otherwise it is pushed round once with new empty folders made in
    // workFolder (which is removed again): about 0.25 ms per journal block.
    // False, with detail set, when workFolder could not be removed. state,
    // if given, says whether the journal is clear now (NotCleared when
    // stopped or nowhere to push from).
    static bool Run(const FreeSpace::Filesystem& filesystem, const wxString& workFolder,
                    const std::function<bool()>& stop, wxString& detail, State* state = nullptr,
                    Progress* progress = nullptr);

    // After a file run: the journal of each filesystem that held one of the
    // folders, as the run's survey found it, once, its work folder in that
    // folder. NotCleared when any of them is not clear; NoJournal when none
    // had one.
    static State AfterFiles(const std::vector<wxString>& folders, const RunSurvey& survey,
                            const std::function<bool()>& stop, Progress* progress = nullptr);

    // True for an OverwriteCaveat kind whose old copies are the journal's,
    // which a run clears at its end: nothing to warn of once it is over.
    static bool Clears(const wxString& caveatKind) { return caveatKind.StartsWith("ext4 filesystem ("); }

    // The start of the name of the work folder a file run uses in a folder.
    static const char* const workFolderName;

private:
    // vorlix-privileged's clear-journal on the filesystem's root, through
    // pkexec with nobody asked; false when it did not clear it (no polkit,
    // polkit said no, or the job failed).
    static bool ClearedByHelper(const FreeSpace::Filesystem& filesystem);
};
