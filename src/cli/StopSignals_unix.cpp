// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StopSignals.h"

#include <signal.h>

#include <atomic>
#include <initializer_list>

namespace {

std::atomic<bool> received{false};

void Note(int)
{
    received = true;
}

}  // namespace

void StopSignals::Install()
{
    struct sigaction action = {};
    action.sa_handler = Note;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP})
        sigaction(stop, &action, nullptr);
    // A reader that went away (| head) must not end a run halfway, nor
    // before the report is written: the write fails instead.
    signal(SIGPIPE, SIG_IGN);
}

bool StopSignals::Received()
{
    return received.load();
}
