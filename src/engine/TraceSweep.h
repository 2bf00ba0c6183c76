// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunOutcome.h"
#include "engine/WipeQueue.h"

#include <wx/string.h>

#include <cstdint>
#include <functional>
#include <vector>

// After a file run, what the desktop kept of the files it wiped
// (DesktopTraces): thumbnails, recent-files entries and shortcuts. Trace files are
// overwritten and deleted by the run's own single-file wipe, as pictures or
// names of the file; the xbel is written anew and its old copy wiped. Runs
// once per run on the wipe thread, after the files and before the journal
// is cleared, so that the journal's copies of the names go too. Needs no
// window: every face's run goes through it.
class TraceSweep {
public:
    // Overwrites and deletes the file at path as the run wipes its files;
    // false, with the reason and the system's words, when it could not.
    using WipeFile = std::function<bool(const wxString& path, WipeFailure& reason, wxString& detail)>;
    // The wiped file whose outcome has this index in the run.
    using FileAt = std::function<QueuedFile(size_t index)>;

    // wholeFolders: the folders wiped as a whole (RunOptions).
    TraceSweep(const std::vector<wxString>& wholeFolders, WipeFile wipe);

    // wiped: the indexes of the wiped files' outcomes, in the order met.
    // Reads the desktop's caches and lists once; costs a few look-ups per
    // file, nothing more when the desktop keeps nothing.
    void Run(const std::vector<size_t>& wiped, const FileAt& fileAt);

    // Every trace met, by file index (the run's own last).
    const std::vector<TraceOutcome>& Traces() const { return traces; }
    uint64_t Thumbnails() const { return thumbnails; }
    uint64_t Recent() const { return recent; }
    uint64_t Shortcuts() const { return shortcuts; }
    uint64_t NotRemoved() const { return notRemoved; }
    // The folders traces were removed from, for the journal to be cleared there.
    const std::vector<wxString>& Folders() const { return folders; }

private:
    // Wipes a trace that is a file of its own and records what came of it.
    void WipeTrace(size_t file, const DesktopTraces::Found& found);
    void Add(TraceOutcome trace);
    void AddFolderOf(const wxString& path);

    const std::vector<wxString> wholeFolders;
    const WipeFile wipe;
    std::vector<TraceOutcome> traces;
    uint64_t thumbnails = 0, recent = 0, shortcuts = 0, notRemoved = 0;
    std::vector<wxString> folders;
};
