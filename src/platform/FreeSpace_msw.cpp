// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FreeSpace.h"

#include <windows.h>

#include <wx/log.h>

#include <string>

#include "platform/NativePath.h"

namespace {

bool Fail(wxString& detail, DWORD error = ::GetLastError())
{
    detail = wxSysErrorMsgStr(error);
    return false;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

}  // namespace

bool FreeSpace::Examine(const wxString& folder, Filesystem& filesystem, wxString& detail)
{
    std::wstring native;
    if (!NativePath::Encode(folder, native, detail))
        return false;
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(detail);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(detail, ERROR_DIRECTORY);
    wchar_t root[MAX_PATH + 1];
    if (!::GetVolumePathNameW(native.c_str(), root, MAX_PATH + 1))
        return Fail(detail);
    wchar_t type[MAX_PATH + 1] = L"";
    DWORD serial = 0;
    if (!::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, type, MAX_PATH + 1))
        return Fail(detail);
    ULARGE_INTEGER available, total, free;
    if (!::GetDiskFreeSpaceExW(native.c_str(), &available, &total, &free))
        return Fail(detail);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (::GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        filesystem.blockSize = sectorsPerCluster * bytesPerSector;
    filesystem.root = NativePath::Decode(root);
    filesystem.type = NativePath::Decode(type);
    filesystem.id = serial;
    filesystem.freeBytes = free.QuadPart;
    // Less than free when a disk quota applies to this user.
    filesystem.writableBytes = available.QuadPart;
    filesystem.caveat.clear();
    filesystem.system = filesystem.inMemory = false;  // no such filesystems here
    if (::GetDriveTypeW(root) == DRIVE_REMOTE)
        filesystem.caveat = "network";
    else if (filesystem.type == "ReFS")
        filesystem.caveat = "ReFS";  // writes new data next to the old
    return true;
}

bool FreeSpace::FillsSystemReserve()
{
    return true;  // NTFS keeps no blocks back for administrators
}

uint64_t FreeSpace::IdOf(const wxString& folder)
{
    std::wstring native;
    wchar_t root[MAX_PATH + 1];
    DWORD serial = 0;
    if (!NativePath::Encode(folder, native) || !::GetVolumePathNameW(native.c_str(), root, MAX_PATH + 1)
        || !::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return 0;
    return serial;
}

bool FreeSpace::IsJournalled(const wxString& type)
{
    return type == "NTFS";
}

bool FreeSpace::MakeHiddenFolder(const wxString& folder, wxString& detail)
{
    std::wstring native;
    if (!NativePath::Encode(folder, native, detail))
        return false;
    if (!::CreateDirectoryW(native.c_str(), nullptr))
        return Fail(detail);
    ::SetFileAttributesW(native.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return true;
}

bool FreeSpace::RemoveFolder(const wxString& folder, wxString& detail)
{
    std::wstring native;
    if (!NativePath::Encode(folder, native, detail))
        return false;
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || Fail(detail, error);
    }
    // A junction in its place is removed, not followed.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        const std::wstring base = native + L"\\";
        const HANDLE find = ::FindFirstFileW((base + L"*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            bool ok = true;
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring path = base + name;
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                if (!(folder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())))
                    ok = Fail(detail);
            } while (::FindNextFileW(find, &entry));
            ::FindClose(find);
            if (!ok) {
                ::RemoveDirectoryW(native.c_str());
                return false;
            }
        }
    }
    return ::RemoveDirectoryW(native.c_str()) || Fail(detail);
}

void FreeSpace::Sync(const wxString&)
{
    // Each file was flushed before it was closed; flushing a whole volume
    // needs an administrator.
}

uint64_t FreeSpace::JournalBlocks(const Filesystem&)
{
    // NTFS keeps its log in $LogFile, whose size no plain call tells.
    return 0;
}

bool FreeSpace::ZeroJournal(const Filesystem&, bool* notAllowed)
{
    if (notAllowed)
        *notAllowed = false;
    return false;
}

// Only vorlix-privileged asks, which Windows does not have.
bool FreeSpace::IsMountPoint(const wxString&)
{
    return false;
}

wxString FreeSpace::Join(const wxString& folder, const wxString& name)
{
    return !folder.empty() && IsSeparator(folder.Last()) ? folder + name : folder + "\\" + name;
}
