// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <functional>
#include <vector>

// What one pass writes, for the faces that name the passes.
enum class PassPattern { Random, Zeros, Ones };

// Called on the wipe thread as a pass over a queued file begins: pass counts
// from 1 up to passes.
using PassStarting = std::function<void(const wxString& path, unsigned pass, unsigned passes, PassPattern pattern)>;

// How one file run goes, chosen by a face before the run and handed to it as
// a value: no face sets anything in the floors below.
struct RunOptions {
    // Each file's last pass is read back from the device and compared before
    // the file is deleted.
    bool verify = false;
    // A last pass of zeros over each file after the method's own: a disk image
    // then compacts, and the wipe does not stand out. With verify it is the
    // pass read back.
    bool zeroPass = false;
    // A read-only file's attribute (Windows) may be cleared, or a file of the
    // user's own without write permission made writable, to wipe it: only
    // once the user has agreed.
    bool clearReadOnly = false;
    // The window's log lines: the total and final lines on standard output and
    // the failed step before each "Not wiped" line. The command line keeps to
    // one line per file not wiped.
    bool logSteps = true;
    // What the desktop keeps of each wiped file (thumbnails, recent-files
    // entries) stays: for scripts that want a run to touch nothing else.
    bool keepTraces = false;
    // The folders the user chose to wipe as a whole (walked into the queue):
    // the recent-files entries inside them go with them too, where their
    // files are gone.
    std::vector<wxString> wholeFolders;
    // Told of each pass over a queued file (not over its traces); none when empty.
    PassStarting passStarting;
};
