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
