// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <functional>
#include <vector>

// What a process does before its window exists: the single-instance test and,
// for a later instance, the hand-off of every path. It needs neither a display
// nor the GUI libraries.
class StartUp {
public:
    // `paths` are the command line after the program's name, as exact path
    // text. `startWindow` starts the toolkit and the window; it runs only for
    // the first instance, or with `reportUnreachable` set to tell the user that
    // the running instance could not be reached. Returns the exit status.
    static int Run(const std::vector<wxString>& paths,
                   const std::function<int(bool reportUnreachable)>& startWindow);

    // Called by a startWindow that executes the window's own program in place
    // of this one: what Run found (the lock this process holds, or that the
    // running instance could not be reached) passes to that program's Run.
    static void PassOnAtExec(bool reportUnreachable);

    // The option the file managers' entries pass first: each folder that
    // follows stands for the files found in it by FolderWalk. Without it a
    // folder is queued as one entry, as before.
    static const char* const walkOption;
    // Removes the walk option from the front of paths; true when it was there.
    static bool TakeWalkOption(std::vector<wxString>& paths);
    // The paths with each folder replaced by its files, in walk order; folders
    // that cannot be listed are named on standard error.
    static std::vector<wxString> WalkFolders(const std::vector<wxString>& paths);
};
