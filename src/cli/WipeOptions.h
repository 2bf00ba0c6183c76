// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/DriveWiper.h"
#include "engine/WipeMethod.h"

#include <wx/string.h>

#include <vector>

// What `vorlix-wipe` was asked to do, read from its arguments alone: nothing
// is looked up on disk here, so a usage error is found before anything is
// touched.
class WipeOptions {
public:
    enum class Action { Wipe, Help, Version, Invalid };

    Action action = Action::Wipe;
    wxString error;  // why the arguments were refused (Invalid)

    bool recursive = false;
    bool dryRun = false;
    bool verify = false;
    bool quiet = false;
    bool trash = false;  // everything in the user's Trash too
    bool keepTraces = false;  // the desktop's thumbnails and recent entries of wiped files stay
    bool zero = false;        // a last pass of zeros over each file
    bool verbose = false;     // each pass named as it begins
    bool force = false;       // a read-only file is made writable to wipe it
    WipeMethod method = WipeMethod::Random;
    wxString freeSpaceFolder;  // empty: no free-space wipe
    wxString reportFile;       // empty: no report
    wxString namesFrom;        // --files0-from: a list of NUL-ended names ("-": standard input); empty: none
    std::vector<wxString> paths;

    // A whole drive: --list-drives, or --drive DEVICE with its name again in
    // --yes-wipe-NAME (needed where standard input is no terminal).
    bool listDrives = false;
    wxString drive;
    wxString confirmedName;
    // --verify=all|sample|none; a bare --verify is all (and, for files, on).
    DriveWiper::Verification driveVerify = DriveWiper::Verification::All;
    wxString certificateFile;  // empty: no certificate

    // args without the program's name. Short flags may be bundled (-rq); an
    // option's value may follow as the next argument or after '='; "--" ends
    // the options.
    static WipeOptions Parse(const std::vector<wxString>& args);
    static wxString Usage();
};
