#include "cli/StopSignals.h"

#include <signal.h>

#include <atomic>

namespace {

std::atomic<bool> received{false};

void Note(int)
{
    received = true;
}

sigset_t StopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void StopSignals::Install()
{
    struct sigaction action = {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that went away (| head) must not end a run halfway, nor
    // before the report is written: the write fails instead.
    signal(SIGPIPE, SIG_IGN);
}

bool StopSignals::Received()
{
    return received.load();
}

StopSignals::BlockedHere::BlockedHere()
{
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::BlockedHere::~BlockedHere()
{
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
