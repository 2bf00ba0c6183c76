#include "InPlaceFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

int InPlaceFile::Open(const wxString& path, uint64_t& size)
{
    // Names in the device namespace (\\.\PhysicalDrive0, \\.\pipe\...) are never
    // files to wipe, and opening them can act on the device.
    if (path.empty() || path.StartsWith(wxS("\\\\.\\")))
        return -1;

    // OPEN_EXISTING neither creates nor cuts the file; OPEN_REPARSE_POINT opens a
    // link itself rather than its target, and the check below refuses it. No
    // sharing: a file another process has open is not wiped under its feet.
    HANDLE handle = ::CreateFileW(path.wc_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;

    BY_HANDLE_FILE_INFORMATION info;
    const DWORD refused =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info)
        || (info.dwFileAttributes & refused) != 0 || info.nNumberOfLinks != 1) {
        ::CloseHandle(handle);
        return -1;
    }

    // wxFile works on C runtime descriptors; the descriptor owns the handle from
    // here on and closing it closes the handle.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
    if (fd == -1) {
        ::CloseHandle(handle);
        return -1;
    }
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return fd;
}

bool InPlaceFile::Sync(int fd)
{
    // The system's flush works on the handle behind the runtime's descriptor.
    const intptr_t handle = ::_get_osfhandle(fd);
    return handle != -1 && ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}
