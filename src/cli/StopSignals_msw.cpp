// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StopSignals.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> received{false};

// Ctrl-C, Ctrl-Break and the console closing; the wipe stops as from the
// window. Returning TRUE keeps the process alive until the engine has stopped.
BOOL WINAPI Note(DWORD)
{
    received = true;
    return TRUE;
}

}  // namespace

void StopSignals::Install()
{
    SetConsoleCtrlHandler(Note, TRUE);
}

bool StopSignals::Received()
{
    return received.load();
}
