// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/JournalPush.h"
#include "engine/WipeQueue.h"
#include "platform/DesktopTraces.h"
#include "platform/Discard.h"
#include "platform/StorageMedium.h"
#include "platform/WipeFailure.h"

#include <wx/datetime.h>
#include <wx/string.h>

#include <cstddef>
#include <cstdint>

// What one run did, for its summary line and its record.
struct RunTotals {
    uint64_t filesWiped = 0;        // overwritten and deleted
    // Written over all passes to every file reached, wiped or not (holes
    // skipped): the line, the box and the record say the same number.
    uint64_t bytesOverwritten = 0;
    long long elapsedMs = 0;        // from the run's start to its end
    bool periodicTrim = false;      // the system discards free space on a schedule
    // What the desktop kept of the wiped files, removed after them.
    uint64_t thumbnailsRemoved = 0;
    uint64_t recentRemoved = 0;     // entries of recent-files lists
    uint64_t shortcutsRemoved = 0;  // Windows' links to recent items
    uint64_t tracesNotRemoved = 0;
    // The journals of the wiped files' filesystems, cleared after them.
    JournalPush::State journal = JournalPush::State::NoJournal;
};

// One thing the desktop kept of a wiped file (or, for file == wholeRun, a
// list the run could not read), removed after the file or named with why not.
// Kept beside the outcomes, not in them: most files have none.
struct TraceOutcome {
    static constexpr size_t wholeRun = SIZE_MAX;

    size_t file = wholeRun;  // the index of the wiped file's FileOutcome in the run
    DesktopTraces::Kind kind = DesktopTraces::Kind::Thumbnail;
    wxString path;           // the trace's file, or the list it was an entry of
    bool removed = true;
    WipeFailure reason = WipeFailure::None;  // why its wipe failed, where it was wiped
    wxString detail;         // the system's words, where it gave any
};

// One file a run reached, wiped or not, for the run's record, and what was
// done for the drive it was on.
struct FileOutcome {
    // The file as queued, small enough for a million (empty for a preview).
    QueuedFile file;
    uint64_t size = 0;              // what each pass covers; 0 for a file never opened
    uint64_t bytesOverwritten = 0;  // written to it over all passes (holes skipped)
    WipeFailure reason = WipeFailure::None;
    wxString detail;
    StorageMedium::Kind medium = StorageMedium::Kind::Unknown;  // Unknown also when never looked at
    Discard::Outcome discard = Discard::Outcome::NotAsked;
    uint64_t discardedBytes = 0;

    wxString Path() const { return file.Path(); }
};

// One free-space wipe, for the run's record.
struct FreeSpaceOutcome {
    wxString folder;      // as the user named it
    wxString filesystem;  // its type ("ext4")
    wxString mountPoint;  // the top of that filesystem
    StorageMedium::Kind medium = StorageMedium::Kind::Unknown;
    uint64_t bytesOverwritten = 0;  // written over all passes
    // Free space no fill file could take, measured once the filesystem was
    // full; 0 when the run did not get that far.
    uint64_t unreachedBytes = 0;
    JournalPush::State journal = JournalPush::State::NoJournal;
    bool stopped = false;
    wxString failure;        // why it did not finish, or why it was refused; empty when it did
    bool removedAll = true;  // false when a fill file or the work folder is still there
    Discard::Outcome discard = Discard::Outcome::NotAsked;
    uint64_t discardedBytes = 0;
    // Set for a filesystem that is not mounted (a device or an image named
    // in folder, no mount point): what was cleared beside the free blocks.
    bool unmounted = false;
    uint64_t inodesCleared = 0;
    uint64_t namesCleared = 0;
    wxString unreached;  // what could not be reached and why; empty: nothing
    wxDateTime started, ended;
};
