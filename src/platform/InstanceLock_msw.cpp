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
