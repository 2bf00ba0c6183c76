// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CrashRecord.h"

#include <windows.h>

#include <string>

#include "platform/FreeSpace.h"
#include "platform/NativePath.h"

namespace {

const wchar_t* const stateSuffix = L".state";

// This process's state file, opened without sharing: no other process can
// open it while this one lives.
HANDLE ownFile = INVALID_HANDLE_VALUE;
std::wstring ownPath;
bool ownEmpty = true;

// A process that ends with nothing noted takes its file, and the folder if
// that is all there was, along.
struct OwnFileAtExit {
    ~OwnFileAtExit()
    {
        if (ownFile == INVALID_HANDLE_VALUE || !ownEmpty)
            return;
        ::CloseHandle(ownFile);
        ::DeleteFileW(ownPath.c_str());
        ::RemoveDirectoryW(ownPath.substr(0, ownPath.rfind(L'\\')).c_str());
    }
} ownFileAtExit;

// The folder, made only when make is set: a start that finds nothing to
// finish leaves nothing behind.
std::wstring StateFolder(bool make)
{
    wchar_t base[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    const std::wstring folder = std::wstring(base, length) + L"\\Vorlix";
    if (make)
        ::CreateDirectoryW(folder.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)
        || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::wstring();
    return folder;
}

bool OpenOwn()
{
    const std::wstring folder = StateFolder(true);
    if (folder.empty())
        return false;
    const std::wstring path = folder + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L"-"
                              + std::to_wstring(::GetTickCount64()) + stateSuffix;
    // Opened for deletion too, without sharing: gone with the process only
    // when it is removed by the next start.
    ownFile = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    ownPath = path;
    return ownFile != INVALID_HANDLE_VALUE;
}

}  // namespace

wxString CrashRecord::Folder()
{
    return NativePath::Decode(StateFolder(false));
}

bool CrashRecord::WriteOwn(const std::string& content)
{
    if (ownFile == INVALID_HANDLE_VALUE && (content.empty() || !OpenOwn()))
        return content.empty();
    ownEmpty = content.empty();
    LARGE_INTEGER start;
    start.QuadPart = 0;
    DWORD written = 0;
    return ::SetFilePointerEx(ownFile, start, nullptr, FILE_BEGIN)
           && ::WriteFile(ownFile, content.data(), static_cast<DWORD>(content.size()), &written, nullptr)
           && written == content.size() && ::SetEndOfFile(ownFile);
}

unsigned CrashRecord::ForEachEnded(const std::function<bool(const std::string& content)>& finish)
{
    const std::wstring folder = StateFolder(false);
    if (folder.empty())
        return 0;
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*" + stateSuffix).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    unsigned finished = 0;
    do {
        const std::wstring path = folder + L"\\" + entry.cFileName;
        // A sharing violation: its process still runs.
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        std::string content;
        char buffer[4096];
        DWORD count = 0;
        bool read = true;
        while ((read = ::ReadFile(file, buffer, sizeof buffer, &count, nullptr) != 0) && count != 0)
            content.append(buffer, count);
        if (read && (content.empty() || finish(content))) {
            FILE_DISPOSITION_INFO disposition;
            disposition.DeleteFile = TRUE;
            ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
            finished += !content.empty();
        }
        ::CloseHandle(file);
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    ::RemoveDirectoryW(folder.c_str());  // only once empty
    return finished;
}

bool CrashRecord::RemoveFillFolder(const wxString& folder, uint64_t device)
{
    std::wstring native;
    if (!NativePath::Encode(folder, native))
        return true;
    const HANDLE handle = ::CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND;
    BY_HANDLE_FILE_INFORMATION info;
    const bool same = ::GetFileInformationByHandle(handle, &info) && info.dwVolumeSerialNumber == device
                      && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                      && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    ::CloseHandle(handle);
    if (!same)
        return true;  // not the folder recorded: left alone
    wxString detail;
    return FreeSpace::RemoveFolder(folder, detail);
}

bool CrashRecord::ThawFrozen(const wxString&, uint64_t)
{
    return true;  // nothing is frozen on Windows
}

bool CrashRecord::DeleteHidden(const wxString& folder, const wxString& name, uint64_t device, uint64_t inode)
{
    std::wstring native;
    if (name.find_first_of("\\/:") != wxString::npos || !NativePath::Encode(FreeSpace::Join(folder, name), native))
        return true;
    const HANDLE handle = ::CreateFileW(native.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    // Only the very file that was overwritten: volume and file index.
    BY_HANDLE_FILE_INFORMATION info;
    bool done = true;
    if (::GetFileInformationByHandle(handle, &info) && info.dwVolumeSerialNumber == device
        && ((uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow) == inode
        && !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        FILE_DISPOSITION_INFO disposition;
        disposition.DeleteFile = TRUE;
        done = ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
    }
    ::CloseHandle(handle);
    return done;
}
