// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/StartUp.h"

#include <wx/utils.h>

#include <iostream>

#include "shell/LaterInstance.h"
#include "engine/ConsoleText.h"
#include "engine/QueueIntake.h"
#include "platform/CrashRecord.h"
#include "platform/InstanceLock.h"
#include "platform/NativePath.h"

namespace {

// Held by the first instance until the process ends.
InstanceLock instanceLock;

// Set for a program executed only to tell the user that the running instance
// could not be reached.
const char* const unreachableVariable = "VORLIX_REPORT_UNREACHABLE";

}  // namespace

const char* const StartUp::walkOption = "--walk";

int StartUp::Run(const std::vector<wxString>& paths, const std::function<int(bool reportUnreachable)>& startWindow)
{
    // What a crashed run left (filler files keeping the disk full, an
    // overwritten file under its hidden name) goes first, whatever this start is for.
    CrashRecord::FinishLeftovers();
    if (wxGetEnv(unreachableVariable, nullptr)) {
        wxUnsetEnv(unreachableVariable);
        startWindow(true);
        return 1;
    }
    if (instanceLock.Acquire())
        return startWindow(false);
    // The wire carries one file per connection: a later instance walks the
    // folders itself and hands over what it found.
    std::vector<wxString> handed = paths;
    if (TakeWalkOption(handed))
        handed = WalkFolders(handed);
    switch (LaterInstance::HandOver(handed)) {
    case LaterInstance::Outcome::AllSent:
        return 0;
    case LaterInstance::Outcome::SomeCannotTravel:
        return 1;
    case LaterInstance::Outcome::Unreachable:
        break;
    case LaterInstance::Outcome::HeldByAnother:
        // Its names must not reach a program that is not this user's.
        std::cerr << "Another program holds Vorlix's place: nothing was handed over." << std::endl;
        return 2;
    }
    // Started from a file manager, the user sees no terminal: only this needs the window's toolkit.
    std::cerr << "Failed to communicate with the running instance." << std::endl;
    startWindow(true);
    return 1;
}

void StartUp::PassOnAtExec(bool reportUnreachable)
{
    if (reportUnreachable)
        wxSetEnv(unreachableVariable, "1");
#ifndef __WINDOWS__
    else
        instanceLock.PassOnAtExec();
#endif
}

bool StartUp::TakeWalkOption(std::vector<wxString>& paths)
{
    if (paths.empty() || paths.front() != walkOption)
        return false;
    paths.erase(paths.begin());
    return true;
}

std::vector<wxString> StartUp::WalkFolders(const std::vector<wxString>& paths)
{
    std::vector<wxString> files;
    QueueIntake intake(files);
    intake.Add(paths);
    for (const wxString& unreadable : intake.Refused().unreadable)
        std::cerr << "Cannot list the folder: " << ConsoleText::Of(NativePath::Display(unreadable)) << std::endl;
    return files;
}
