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
};
