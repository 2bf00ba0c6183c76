#include "StartUp.h"

#include <iostream>

#include "LaterInstance.h"
#include "platform/InstanceLock.h"

namespace {

// Held by the first instance until the process ends.
InstanceLock instanceLock;

}  // namespace

int StartUp::Run(const std::vector<wxString>& paths, const std::function<int(bool reportUnreachable)>& startWindow)
{
    if (instanceLock.Acquire())
        return startWindow(false);
    switch (LaterInstance::HandOver(paths)) {
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
