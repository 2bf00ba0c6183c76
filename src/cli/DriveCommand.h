// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/WipeOptions.h"
#include "engine/DriveWiper.h"
#include "platform/DriveList.h"

#include <wx/string.h>

#include <iosfwd>
#include <string>

class DriveRun;

// `vorlix-wipe --list-drives` and `--drive DEVICE`: the drives in a table,
// and one drive wiped whole after its name is typed again (on the terminal,
// or as --yes-wipe-NAME). A drive DriveList refuses is never opened for
// writing; with -n nothing is. Returns WipeCommand's exit statuses.
class DriveCommand {
public:
    DriveCommand(const WipeOptions& options, std::ostream& out, std::ostream& err);
    int Run();

private:
    int ListDrives();
    int DryRun(const DriveList::Drive& drive);
    int Wipe(const DriveList::Drive& drive);
    // The name typed again, or given; false (status set) when it was not.
    bool Confirmed(const DriveList::Drive& drive, int& status);
    // Polls run to its end with the progress line on a terminal; true when stopped.
    bool Follow(DriveRun& run);
    wxString Facts(const DriveList::Drive& drive) const;
    void Say(const wxString& text);
    void Complain(const wxString& text);

    const WipeOptions& options;
    std::ostream& out;
    std::ostream& err;
};
