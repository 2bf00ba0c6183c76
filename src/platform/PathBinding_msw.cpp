// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PathBinding.h"

#include <windows.h>

#include <string>

#include "platform/NativePath.h"

namespace {

// The path of an open handle as the system sees it, links resolved, without
// the \\?\ prefix; empty when it cannot be told.
std::wstring FinalPath(HANDLE handle)
{
    wchar_t buffer[32768];
    const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer, 32768, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= 32768)
        return std::wstring();
    std::wstring path(buffer, length);
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

}  // namespace

size_t PathBinding::RootLength(const std::wstring& native)
{
    if (native.compare(0, 8, L"\\\\?\\UNC\\") != 0)
        return 7;
    const size_t share = native.find(L'\\', 8);
    const size_t end = share == std::wstring::npos ? std::wstring::npos : native.find(L'\\', share + 1);
    return end == std::wstring::npos ? native.size() : end + 1;
}

bool PathBinding::Locate(const wxString& path, wxString& folder, wxString& name, uint64_t& size, Places&)
{
    // Not here: a folder's place is found through the system's handle for each file.
    return Locate(path, folder, name, size);
}

bool PathBinding::Locate(const wxString& path, wxString& folder, wxString& name, uint64_t& size)
{
    // "dir\.." and "dir\." name no file of their own.
    const wxString last = path.AfterLast('\\').AfterLast('/');
    if (last == "." || last == "..")
        return false;
    std::wstring native;
    if (!NativePath::Encode(path, native))
        return false;
    const size_t root = RootLength(native);
    const size_t separator = native.find_last_of(L'\\');
    if (native.size() <= root || separator == std::wstring::npos || separator + 1 < root)
        return false;
    const std::wstring base = native.substr(separator + 1);
    const std::wstring parent = native.substr(0, separator + 1 == root ? root : separator);

    // Backup semantics open a folder; following its links here is wanted.
    std::wstring real;
    HANDLE handle = ::CreateFileW(parent.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        real = FinalPath(handle);
        ::CloseHandle(handle);
    }
    if (real.empty())
        real = native.compare(0, 8, L"\\\\?\\UNC\\") == 0 ? L"\\\\" + parent.substr(8) : parent.substr(4);
    WIN32_FILE_ATTRIBUTE_DATA data;
    size = UINT64_MAX;
    if (::GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data)
        && !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    folder = wxString(real.c_str(), real.size());
    name = wxString(base.c_str(), base.size());
    return true;
}
