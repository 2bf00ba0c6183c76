// SPDX-License-Identifier: GPL-3.0-or-later
#include "Discard.h"

#include <windows.h>

#include <winioctl.h>

#include <io.h>

#include <string>

#include "NativePath.h"

namespace {

// Newer than MinGW's headers: FSCTL_FILE_LEVEL_TRIM and its structures.
const DWORD fileLevelTrim = CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 130, METHOD_BUFFERED, FILE_WRITE_DATA);
struct TrimRange {
    DWORDLONG offset;
    DWORDLONG length;
};
struct TrimRequest {
    DWORD key;
    DWORD rangeCount;
    TrimRange ranges[1];
};
struct TrimAnswer {
    DWORD rangesProcessed;
};

}  // namespace

// The volume trims the file's clusters while the file still holds them; the
// delete that follows frees them.
void Discard::Before(int fd)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    LARGE_INTEGER size;
    if (handle == INVALID_HANDLE_VALUE || !::GetFileSizeEx(handle, &size)) {
        outcome = Outcome::Failed;
        return;
    }
    if (size.QuadPart == 0)
        return;  // nothing to discard
    TrimRequest request{0, 1, {{0, static_cast<DWORDLONG>(size.QuadPart)}}};
    TrimAnswer answer{0};
    DWORD returned = 0;
    if (::DeviceIoControl(handle, fileLevelTrim, &request, sizeof request, &answer, sizeof answer, &returned,
                          nullptr)) {
        bytes += static_cast<uint64_t>(size.QuadPart);
        if (outcome == Outcome::NotAsked)
            outcome = Outcome::Discarded;
        return;
    }
    const DWORD error = ::GetLastError();
    outcome = error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER
                  ? Outcome::Unsupported
                  : Outcome::Failed;
}

void Discard::BeforeFile(const wxString& path)
{
    std::wstring native;
    const HANDLE handle = NativePath::Encode(path, native)
                              ? ::CreateFileW(native.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)
                              : INVALID_HANDLE_VALUE;
    const int fd = handle == INVALID_HANDLE_VALUE ? -1 : ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
    if (fd < 0) {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
        outcome = Outcome::Failed;
        return;
    }
    Before(fd);
    ::_close(fd);
}

Discard::Outcome Discard::After(const wxString&)
{
    return outcome;
}

bool Discard::AllowedNow()
{
    return true;
}

// Windows trims its volumes on a schedule of its own ("Optimize drives").
bool Discard::PeriodicTrimEnabled()
{
    return true;
}
