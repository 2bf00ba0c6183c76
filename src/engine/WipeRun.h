// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>

class RunRecord;

// One run that a face starts and then polls: queued files overwritten and
// deleted (FileRun), or a filesystem's free space overwritten (FreeSpaceRun).
// The engine works on a thread of its own; these methods are called on the
// thread that made the run.
class WipeRun {
public:
    // What the end of a run tells the user.
    struct Outcome {
        wxString message;  // the text of the box at the end
        wxString caption;
        wxString status;   // one or two words for the status bar
        bool clean = true; // nothing failed and nothing was stopped
        // Where the message has them: its summary line, and what it says of the drives.
        wxString summary;
        wxString media;
        // What it says of the desktop's traces: the line of those removed,
        // and a line for each that could not be.
        wxString traces;
        wxString tracesLeft;
        // What it says of a journal that still holds older copies; empty when none does.
        wxString journal;
    };

    // A step after the bytes with a progress of its own (the journal being
    // cleared): its name and how far it has come; no name while there is none.
    struct Step {
        wxString name;
        uint64_t done = 0;
        uint64_t total = 0;
    };

    virtual ~WipeRun() = default;

    // Starts the engine's thread; false, with nothing started, when it cannot.
    virtual bool Start() = 0;
    // Asks the engine to stop at once; IsFinished tells when it has.
    virtual void Stop() = 0;
    // Asks the engine to stop without hurry, once nobody waits for the run:
    // whatever it was doing is finished properly first.
    virtual void Abandon() = 0;
    virtual bool IsFinished() const = 0;

    // Bytes written so far, and the whole run's bytes (0 until it is known).
    // Read IsFinished first: the counters read after it are final.
    virtual uint64_t BytesDone() const = 0;
    virtual uint64_t TotalBytes() const = 0;
    // The status text for the share of the run done.
    virtual wxString ProgressText(double percentage) const = 0;
    // The status text while TotalBytes() is 0; empty leaves the text as it is.
    virtual wxString NoTotalText() const { return wxString(); }
    // The step it is in, once the bytes are written; shown instead of them.
    virtual Step CurrentStep() const { return Step(); }
    // Writes the progress to standard output, where the run has such a line.
    virtual void LogProgress() const {}

    // Whether closing during the run asks first: stopping it leaves a file
    // partly overwritten.
    virtual bool AsksBeforeClosing() const { return false; }

    // Once IsFinished(): waits for the thread and tells what the run did.
    virtual Outcome Finish() = 0;
    // The record a user may keep, complete once Finish() has returned; none
    // where the run has no files to list.
    virtual const RunRecord* Record() const { return nullptr; }
};
