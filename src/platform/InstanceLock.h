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
    bool Acquire();
    // Whether this process holds the lock. On Windows false when the mutex
    // could not be made (another user's instance may hold it): later starts
    // then cannot find this one. Elsewhere the lock is the user's own: true.
    static bool HeldHere();

private:
    intptr_t handle = -1;  // the lock file's descriptor or the mutex handle
};
