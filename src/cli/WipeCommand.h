// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/WipeOptions.h"
#include "engine/FreeSpaceWiper.h"
#include "engine/RunOptions.h"
#include "engine/RunRecord.h"
#include "engine/RunSurvey.h"
#include "engine/WipeQueue.h"

#include <wx/string.h>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <vector>

class WipeRun;

// `vorlix-wipe` once its arguments are read: queues the paths through the
// intake every face uses (folders only with -r), prints the filesystem
// warnings instead of asking, runs the engine and prints what it says.
// Returns the exit status.
class WipeCommand {
public:
    enum Status { AllWiped = 0, SomeNotWiped = 1, UsageError = 2, Stopped = 130 };

    WipeCommand(const WipeOptions& options, std::ostream& out, std::ostream& err);
    int Run();
    // errno of the first line that could not be written to out; 0 if none.
    int OutputError() const { return outputError; }

private:
    // Queues every path (folders walked with -r) and, with --trash, the
    // Trash; false when one could not be queued or a folder was given
    // without -r (each is said on err).
    bool QueueAll();
    // Removes the folders the run emptied below and including each folder
    // -r walked; false when one was empty but could not go (said on err).
    bool RemoveEmptiedFolders();
    // The warning kind of each queued file, printed once per kind.
    void WarnAboutFilesystems();
    int DryRun();
    int DryRunFreeSpace();
    // Examines the free-space folder's filesystem; false, said on err, when it
    // cannot be examined or its free space cannot be wiped. A note is printed
    // as a warning.
    bool Inspect(FreeSpaceWiper::Check& check);
    int WipeFiles();
    int WipeFreeSpace();
    // --free-space on a device or image: its filesystem overwritten directly.
    int WipeVolume();
    // Polls run until it has finished, showing the progress line on a terminal
    // and passing a stop signal on; true when it was stopped.
    bool Follow(WipeRun& run, uint64_t files);
    // Writes the record of the files and the free space where --report
    // asked; false (said on err) when it cannot.
    bool WriteReport();
    // -v: "vorlix-wipe: NAME: pass 2/4 (random)..." on err, from the wipe
    // thread, as shred says it.
    void NamePass(const wxString& path, unsigned pass, unsigned passes, PassPattern pattern);
    void Say(const wxString& text);
    void Complain(const wxString& text);

    const WipeOptions& options;
    std::ostream& out;
    std::ostream& err;
    WipeQueue queue;
    std::vector<wxString> trashFolders;  // trashed folders queued by --trash
    std::vector<wxString> walkedFolders;  // folders named with -r
    std::vector<wxString> listedPaths;    // read from --files0-from
    // Guards err's lines and progressShown: the wipe thread names passes
    // while the progress line is drawn.
    std::mutex errMutex;
    bool progressShown = false;
    // The queued files' places, looked at once for the warnings and the run.
    std::shared_ptr<RunSurvey> survey;
    RunRecord record;       // the files run's, then the free space added
    bool recorded = false;  // record holds a run
    int outputError = 0;
};
