// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WipeQueue.h"
#include "platform/FreeSpace.h"
#include "platform/OverwriteCaveat.h"
#include "platform/StorageMedium.h"

#include <map>
#include <memory>
#include <vector>

// The places of a run's files, looked at once before its questions: each
// filesystem's type, top, drive and what defeats overwriting there, and of
// each file only what it adds (data kept in its inode, a compressed file)
// and whether it is read-only. The questions, the command line's warnings,
// the record, the run's discards and the journal step all read it, so that
// nothing is looked at twice. It also holds the run's batch: the one copy of
// the queue a run takes.
class RunSurvey {
public:
    struct Filesystem {
        FreeSpace::Filesystem info;  // what Examine found; type empty when it could not
        StorageMedium::Kind medium = StorageMedium::Kind::Unknown;
        OverwriteCaveat::Ground ground;
    };

    RunSurvey() = default;
    // Takes what queue holds now as the batch, and looks at each file's
    // place; at the files themselves too unless filesystemsOnly.
    explicit RunSurvey(const WipeQueue& queue, bool filesystemsOnly = false);

    // Looks at one more file's place: its filesystem only if no file before
    // was on it, and the file itself unless filesystemsOnly. The run, which
    // needs only the drives, never opens a file by its name before it binds it.
    void Add(const QueueEntry& entry, bool filesystemsOnly = false);

    // The filesystem the file in folder is on, or null for a folder never
    // added or that could not be looked at.
    const Filesystem* Of(const wxString& folder) const;
    // What defeats overwriting for the file at path in folder, as
    // OverwriteCaveat says it; empty for a file never added.
    wxString CaveatOf(const wxString& folder, const wxString& path) const;
    // Whether any file added a caveat of its own to its filesystem's.
    bool AddsOwnCaveats() const { return !fileCaveats.empty(); }
    // The files of each caveat kind that the run cannot mend itself (a
    // journal's copies it clears at its end are not counted).
    const std::map<wxString, size_t>& Caveats() const { return caveatCounts; }
    size_t FlashFiles() const { return flashFiles; }
    size_t ReadOnlyFiles() const { return readOnlyFiles; }
    // Every filesystem looked at, each once.
    const std::vector<Filesystem>& Filesystems() const { return filesystems; }

    // The batch, handed to the run once.
    std::vector<QueuedFile> TakeBatch() { return std::move(batch); }

private:
    // Index into filesystems of the one folder is on; -1 when it cannot be looked at.
    int Place(const wxString& folder);

    std::vector<QueuedFile> batch;
    std::vector<Filesystem> filesystems;
    std::map<wxString, int> folders;          // folder -> index into filesystems
    std::map<wxString, wxString> fileCaveats; // only the files that add their own
    std::map<wxString, size_t> caveatCounts;
    size_t flashFiles = 0;
    size_t readOnlyFiles = 0;
    StorageMedium media;
};
