// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstanceLock.h"

#include <windows.h>

bool InstanceLock::Acquire()
{
    // "Global\" makes the name machine-wide, across sessions.
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, L"Global\\Vorlix");
    if (mutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    // Kept open until the process ends; the system releases it then, also on a
    // crash. Without a handle the program still starts.
    if (mutex != nullptr) {
        handle = reinterpret_cast<intptr_t>(mutex);
    }
    return true;
}

bool InstanceLock::HeldHere()
{
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Global\\Vorlix");
    if (!mutex)
        return false;
    // The owner acquires it again at once (and gives that back); anyone else waits.
    const bool ours = ::WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0;
    if (ours)
        ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
    return ours;
}
