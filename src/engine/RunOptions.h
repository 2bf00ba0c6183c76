// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <vector>

// How one file run goes, chosen by a face before the run and handed to it as
// a value: no face sets anything in the floors below.
struct RunOptions {
    // Each file's last pass is read back from the device and compared before
    // the file is deleted.
    bool verify = false;
    // A read-only file's attribute (Windows) may be cleared to wipe it: only
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
};
