// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The machine-wide (Windows) or per-user (elsewhere) sign that an instance runs.
// It is released however the holding process ends, also when it is killed.
class InstanceLock {
public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when no other instance holds the lock; this object then holds it for
    // the rest of the process. Also true when the lock cannot be made at all:
    // the program still has to start.
    // Elsewhere than on Windows, a lock that the process that started this
    // one passed on (PassOnAtExec) is taken over here.
    bool Acquire();
    // Whether this process holds the lock. False when it could not be made
    // (on Windows another user's instance may hold the mutex): later starts
    // then cannot find this one.
    static bool HeldHere();

#ifndef __WINDOWS__
    // Keeps the lock held through an exec of another program, which takes it
    // over with Acquire.
    void PassOnAtExec();
#endif

private:
    intptr_t handle = -1;  // the lock file's descriptor or the mutex handle
};
