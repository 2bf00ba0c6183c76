// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FillFile.h"

#include <windows.h>

#include <wx/log.h>

#include <string>

#include "platform/NativePath.h"

namespace {

HANDLE Handle(intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

bool IsFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == ERROR_FILE_TOO_LARGE;
}

}  // namespace

FillFile::~FillFile()
{
    Close();
}

FillFile::Outcome FillFile::Fail()
{
    const DWORD error = ::GetLastError();
    detail = wxSysErrorMsgStr(error);
    return IsFull(error) ? Outcome::Full : Outcome::Failed;
}

FillFile::Outcome FillFile::Create(const wxString& path)
{
    std::wstring native;
    if (!NativePath::Encode(path, native, detail))
        return Outcome::Failed;
    // Hidden, not shared, and never an existing file. A file too small for a
    // cluster stays inside its entry of the file table, whose free entries
    // the last, smallest files reach.
    const HANDLE file = ::CreateFileW(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED
                                          | FILE_FLAG_SEQUENTIAL_SCAN,
                                      nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail();
    handle = reinterpret_cast<intptr_t>(file);
    return Outcome::Written;
}

FillFile::Outcome FillFile::Write(const unsigned char* bytes, size_t n, size_t& written)
{
    written = 0;
    while (written < n) {
        const DWORD ask = static_cast<DWORD>(n - written < (1u << 30) ? n - written : (1u << 30));
        DWORD done = 0;
        if (!::WriteFile(Handle(handle), bytes + written, ask, &done, nullptr))
            return Fail();
        if (done == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return Fail();
        }
        written += done;
    }
    return Outcome::Written;
}

bool FillFile::AnnounceSize(uint64_t)
{
    return true;  // NTFS has no pool shared by small files
}

bool FillFile::Rewind()
{
    LARGE_INTEGER start;
    start.QuadPart = 0;
    return ::SetFilePointerEx(Handle(handle), start, nullptr, FILE_BEGIN) || (Fail(), false);
}

bool FillFile::Sync()
{
    return ::FlushFileBuffers(Handle(handle)) || (Fail(), false);
}

bool FillFile::Close()
{
    if (handle == -1)
        return true;
    const HANDLE file = Handle(handle);
    handle = -1;
    return ::CloseHandle(file) || (Fail(), false);
}

bool FillFile::Remove(const wxString& path)
{
    std::wstring native;
    return NativePath::Encode(path, native) && ::DeleteFileW(native.c_str());
}
