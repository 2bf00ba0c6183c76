#include "platform/InPlaceFile.h"

#include <windows.h>
#include <winioctl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <string>

namespace {

WipeFailure ReasonFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return WipeFailure::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return WipeFailure::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return WipeFailure::InUse;
    case ERROR_CANT_ACCESS_FILE: return WipeFailure::Link;
    default: return WipeFailure::OverwriteFailed;
    }
}

WipeFailure Refuse(DWORD error, wxString& detail)
{
    wchar_t* text = nullptr;
    if (::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr)
        && text) {
        detail = wxString(text).Trim();
        ::LocalFree(text);
    }
    return ReasonFor(error);
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

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

InPlaceFile::~InPlaceFile()
{
    if (fd >= 0)
        ::_close(fd);
    for (intptr_t folder : folders)
        ::CloseHandle(reinterpret_cast<HANDLE>(folder));
}

bool InPlaceFile::Locate(const wxString& path, wxString& folder, wxString& name, uint64_t& size)
{
    if (path.empty() || path.find(wxUniChar(0)) != wxString::npos)
        return false;
    wchar_t full[32768];
    const DWORD length = ::GetFullPathNameW(path.wc_str(), 32768, full, nullptr);
    if (length == 0 || length >= 32768)
        return false;
    std::wstring absolute(full, length);
    // "dir\" names dir itself.
    while (absolute.size() > 3 && IsSeparator(absolute.back()))
        absolute.pop_back();
    const size_t separator = absolute.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator + 1 >= absolute.size())
        return false;
    const std::wstring base = absolute.substr(separator + 1);
    if (base == L"." || base == L"..")
        return false;
    std::wstring parent = absolute.substr(0, separator);
    if (parent.size() == 2 && parent[1] == L':')
        parent += L'\\';

    // Backup semantics open a folder; following its links here is wanted.
    HANDLE handle = ::CreateFileW(parent.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        const std::wstring real = FinalPath(handle);
        ::CloseHandle(handle);
        if (!real.empty())
            parent = real;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    size = UINT64_MAX;
    if (::GetFileAttributesExW(absolute.c_str(), GetFileExInfoStandard, &data)
        && !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    folder = wxString(parent.c_str(), parent.size());
    name = wxString(base.c_str(), base.size());
    return true;
}

WipeFailure InPlaceFile::Open(const wxString& folder, const wxString& name, uint64_t& size,
                              wxString& detail)
{
    // Names in the device namespace (\\.\PhysicalDrive0, \\.\pipe\...) are never
    // files to wipe, and opening them can act on the device.
    const std::wstring place(folder.wc_str(), folder.length());
    if (place.compare(0, 2, L"\\\\") == 0 && place.size() > 2 && (place[2] == L'.' || place[2] == L'?'))
        return WipeFailure::NotRegular;

    // Every folder from the root down is opened without following a reparse
    // point and held without delete sharing, so none can be swapped meanwhile.
    size_t start = 0;
    if (place.compare(0, 2, L"\\\\") == 0) {  // \\server\share
        start = place.find_first_of(L"\\/", 2);
        start = start == std::wstring::npos ? place.size() : place.find_first_of(L"\\/", start + 1);
    } else {
        start = place.find_first_of(L"\\/");
    }
    for (size_t end = start; end != std::wstring::npos && end <= place.size();) {
        const size_t next = place.find_first_of(L"\\/", end + 1);
        const std::wstring prefix = place.substr(0, next == std::wstring::npos ? place.size() : next);
        end = next;
        if (prefix.empty() || IsSeparator(prefix.back()))
            continue;
        HANDLE handle = ::CreateFileW((prefix.size() == 2 ? prefix + L"\\" : prefix).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return Refuse(::GetLastError(), detail);
        folders.push_back(reinterpret_cast<intptr_t>(handle));
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(handle, &info))
            return Refuse(::GetLastError(), detail);
        if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return WipeFailure::Changed;
        if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return WipeFailure::Changed;
    }

    std::wstring path = place;
    if (!path.empty() && !IsSeparator(path.back()))
        path += L'\\';
    path.append(name.wc_str(), name.length());

    // OPEN_EXISTING neither creates nor cuts the file; OPEN_REPARSE_POINT opens a
    // link itself rather than its target, and the check below refuses it. No
    // sharing: a file another process has open is not wiped under its feet.
    // DELETE lets the same handle delete it afterwards.
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Refuse(::GetLastError(), detail);

    BY_HANDLE_FILE_INFORMATION info;
    WipeFailure kind = WipeFailure::None;
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info))
        kind = WipeFailure::NotRegular;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        kind = WipeFailure::Link;
    else if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        kind = WipeFailure::NotRegular;
    else if (info.nNumberOfLinks != 1)
        kind = WipeFailure::HardLinks;
    if (kind != WipeFailure::None) {
        ::CloseHandle(handle);
        return kind;
    }

    // The engine writes through the runtime's descriptor; it owns the handle
    // from here on and closing it closes the handle.
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
    if (descriptor == -1) {
        ::CloseHandle(handle);
        return WipeFailure::OverwriteFailed;
    }
    fd = descriptor;
    fileName = name;
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return WipeFailure::None;
}

bool InPlaceFile::Sync(int fd)
{
    // The system's flush works on the handle behind the runtime's descriptor.
    const intptr_t handle = ::_get_osfhandle(fd);
    return handle != -1 && ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

std::vector<InPlaceFile::Range> InPlaceFile::AllocatedRanges(int fd, uint64_t from, uint64_t to)
{
    std::vector<Range> ranges;
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    LARGE_INTEGER size;
    if (from >= to || handle == INVALID_HANDLE_VALUE || !::GetFileSizeEx(handle, &size))
        return from < to ? std::vector<Range>{Range{from, to - from}} : ranges;
    const uint64_t end = (std::min)(to, static_cast<uint64_t>(size.QuadPart));
    uint64_t at = from;
    while (at < end) {
        FILE_ALLOCATED_RANGE_BUFFER query;
        query.FileOffset.QuadPart = static_cast<LONGLONG>(at);
        query.Length.QuadPart = static_cast<LONGLONG>(end - at);
        FILE_ALLOCATED_RANGE_BUFFER found[64];
        DWORD bytes = 0;
        const BOOL done = ::DeviceIoControl(handle, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, found,
                                            sizeof found, &bytes, nullptr);
        const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
        const size_t count = bytes / sizeof found[0];
        if ((error != ERROR_SUCCESS && error != ERROR_MORE_DATA) || (error == ERROR_MORE_DATA && count == 0)) {
            // Not a filesystem that can tell (or a handle without read access):
            // take the rest as data.
            ranges.push_back(Range{at, end - at});
            break;
        }
        for (size_t i = 0; i < count; ++i) {
            const uint64_t first = (std::max)(at, static_cast<uint64_t>(found[i].FileOffset.QuadPart));
            const uint64_t last = (std::min)(end, static_cast<uint64_t>(found[i].FileOffset.QuadPart)
                                                    + static_cast<uint64_t>(found[i].Length.QuadPart));
            if (first < last)
                ranges.push_back(Range{first, last - first});
        }
        if (error == ERROR_SUCCESS)
            break;
        // More than fit: ask again from the end of the last one.
        const uint64_t next = static_cast<uint64_t>(found[count - 1].FileOffset.QuadPart)
                              + static_cast<uint64_t>(found[count - 1].Length.QuadPart);
        if (next <= at) {
            ranges.push_back(Range{at, end - at});
            break;
        }
        at = next;
    }
    return ranges;
}

WipeFailure InPlaceFile::CloseAndDelete(wxString& detail)
{
    // Deleting through the handle that was overwritten: no name is looked up
    // again, so nothing put in the file's place can be deleted instead.
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    const bool marked = handle != INVALID_HANDLE_VALUE
                        && ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                                        sizeof disposition);
    const DWORD error = marked ? ERROR_SUCCESS : ::GetLastError();
    const int closed = ::_close(fd);
    fd = -1;
    if (!marked) {
        Refuse(error, detail);
        return WipeFailure::DeleteFailed;
    }
    return closed == 0 ? WipeFailure::None : WipeFailure::OverwriteFailed;
}
