// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InPlaceFile.h"

#include "platform/CrashRecord.h"
#include "platform/NativePath.h"
#include "platform/PathBinding.h"

#include <windows.h>

#include <wx/log.h>
#include <winioctl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Newer than MinGW's headers.
const DWORD recallOnOpen = 0x00040000;        // FILE_ATTRIBUTE_RECALL_ON_OPEN
const DWORD recallOnDataAccess = 0x00400000;  // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
const DWORD notACloudFile = 376;              // ERROR_NOT_A_CLOUD_FILE
const DWORD cloudRequestTimeout = 426;        // ERROR_CLOUD_FILE_REQUEST_TIMEOUT

WipeFailure ReasonFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return WipeFailure::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return WipeFailure::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return WipeFailure::InUse;
    case ERROR_CANT_ACCESS_FILE: return WipeFailure::Link;
    case ERROR_FILENAME_EXCED_RANGE: return WipeFailure::PathTooLong;
    default:
        // The ERROR_CLOUD_FILE_* and virtualization range: the provider that
        // fills a placeholder is missing, busy or refused.
        if ((error >= 358 && error <= 398 && error != notACloudFile) || error == cloudRequestTimeout)
            return WipeFailure::Placeholder;
        return WipeFailure::OverwriteFailed;
    }
}

// A file whose content a cloud provider keeps elsewhere: writing it would
// recall it first, and its old copies are out of reach anyway.
bool IsPlaceholder(DWORD attributes)
{
    return attributes & (FILE_ATTRIBUTE_OFFLINE | recallOnOpen | recallOnDataAccess);
}

// A folder path of the program's own (C:\a or \\server\share\a) in the
// native form, or empty where it has none.
std::wstring Native(const std::wstring& path)
{
    std::wstring native;
    return NativePath::Encode(wxString(path.c_str(), path.size()), native) ? native : std::wstring();
}

WipeFailure Refuse(DWORD error, wxString& detail)
{
    detail = wxSysErrorMsgStr(error);
    return ReasonFor(error);
}

// Clears the read-only attribute of the file at the native path, unless it
// is a link or a folder. True also when it was not set. By name: a handle
// with attribute rights cannot be had on a read-only file everywhere (Wine),
// and the folders above it are held, so the name still leads where it did;
// what is opened afterwards is checked as always.
bool ClearReadOnly(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)
        || (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return true;
    const DWORD cleared = attributes & ~FILE_ATTRIBUTE_READONLY;
    return ::SetFileAttributesW(path.c_str(), cleared ? cleared : FILE_ATTRIBUTE_NORMAL) != 0;
}

// Opens every named data stream of the file open as handle, whose native path
// is path, for writing without sharing. A system or volume that keeps no
// streams (FAT; Wine) has none to open. On failure returns the reason.
WipeFailure OpenNamedStreams(HANDLE handle, const std::wstring& path, std::vector<InPlaceFile::Stream>& streams,
                             wxString& detail)
{
    std::vector<unsigned char> buffer(64 * 1024);
    while (!::GetFileInformationByHandleEx(handle, FileStreamInfo, buffer.data(), static_cast<DWORD>(buffer.size()))) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED
            || error == ERROR_HANDLE_EOF)
            return WipeFailure::None;
        if (error != ERROR_MORE_DATA || buffer.size() >= 16 * 1024 * 1024) {
            Refuse(error, detail);
            return WipeFailure::StreamFailed;
        }
        buffer.resize(buffer.size() * 4);
    }
    for (size_t at = 0;;) {
        const auto* info = reinterpret_cast<const FILE_STREAM_INFO*>(buffer.data() + at);
        const std::wstring name(info->StreamName, info->StreamNameLength / sizeof(wchar_t));
        // "::$DATA" is the file itself; other kinds than $DATA hold no content.
        const size_t kind = name.rfind(L':');
        if (name != L"::$DATA" && kind != std::wstring::npos && name.compare(kind, std::wstring::npos, L":$DATA") == 0) {
            HANDLE stream = ::CreateFileW((path + name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (stream == INVALID_HANDLE_VALUE) {
                Refuse(::GetLastError(), detail);
                return WipeFailure::StreamFailed;
            }
            const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(stream), 0);
            if (descriptor == -1) {
                ::CloseHandle(stream);
                return WipeFailure::StreamFailed;
            }
            const std::wstring shown = name.substr(0, kind);
            streams.push_back({descriptor, static_cast<uint64_t>(info->StreamSize.QuadPart),
                               wxString(shown.c_str(), shown.size())});
        }
        if (info->NextEntryOffset == 0)
            break;
        at += info->NextEntryOffset;
    }
    return WipeFailure::None;
}

void CloseStreams(std::vector<InPlaceFile::Stream>& streams)
{
    for (const InPlaceFile::Stream& stream : streams)
        ::_close(stream.fd);
    streams.clear();
}

}  // namespace

std::function<void()> InPlaceFile::afterRename;

bool InPlaceFile::IsReadOnly(const wxString& path)
{
    std::wstring native;
    if (!NativePath::Encode(path, native))
        return false;
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)
           && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

InPlaceFile::~InPlaceFile()
{
    CloseStreams(streams);
    if (fd >= 0)
        ::_close(fd);
    for (intptr_t folder : folders)
        ::CloseHandle(reinterpret_cast<HANDLE>(folder));
}

WipeFailure InPlaceFile::Open(const wxString& folder, const wxString& name, uint64_t& size,
                              wxString& detail, HeldFolder*)
{
    // Only drive-letter and share paths have a native form, so nothing in the
    // device namespace (\\.\PhysicalDrive0, \\?\GLOBALROOT\...) gets here.
    const std::wstring place = Native(std::wstring(folder.wc_str(), folder.length()));
    if (place.empty())
        return folder.length() > 32000 ? WipeFailure::PathTooLong : WipeFailure::NotRegular;

    // Every folder from the root down is opened without following a reparse
    // point and held without delete sharing, so none can be swapped meanwhile.
    const size_t root = PathBinding::RootLength(place);
    std::vector<std::wstring> steps = {place.substr(0, root)};
    for (size_t i = root + 1; i <= place.size(); ++i)
        if (i == place.size() || place[i] == L'\\')
            steps.push_back(place.substr(0, i));
    for (const std::wstring& step : steps) {
        HANDLE handle = ::CreateFileW(step.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING,
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

    const std::wstring path = place + (place.back() == L'\\' ? L"" : L"\\") + std::wstring(name.wc_str(), name.length());
    if (path.size() > 32767)
        return WipeFailure::PathTooLong;
    // Only once the user has agreed, and only on the file that is then opened.
    if (clearReadOnly && !lookOnly && !ClearReadOnly(path))
        return Refuse(::GetLastError(), detail);

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
    else if (IsPlaceholder(info.dwFileAttributes))
        kind = WipeFailure::Placeholder;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        kind = WipeFailure::Link;
    else if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        kind = WipeFailure::NotRegular;
    else if (info.nNumberOfLinks != 1)
        kind = WipeFailure::HardLinks;
    if (kind == WipeFailure::None)
        kind = OpenNamedStreams(handle, path, streams, detail);
    if (kind != WipeFailure::None) {
        CloseStreams(streams);
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
    folderPath = folder;
    device = info.dwVolumeSerialNumber;
    inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return WipeFailure::None;
}

// Opening for writing changes nothing here (no layer is copied up), so the
// look is the open itself, minus clearing a read-only attribute.
WipeFailure InPlaceFile::Inspect(const wxString& folder, const wxString& name, uint64_t& size,
                                 wxString& detail, HeldFolder* held)
{
    lookOnly = true;
    return Open(folder, name, size, detail, held);
}

bool InPlaceFile::Sync(int fd)
{
    // The system's flush works on the handle behind the runtime's descriptor.
    const intptr_t handle = ::_get_osfhandle(fd);
    return handle != -1 && ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

// The file's own open holds every folder above it until it is deleted.
bool InPlaceFile::KeepFolder()
{
    return true;
}

namespace {

// A name of `length` letters and digits that no other file in the folder is
// likely to have.
std::wstring RandomName(size_t length)
{
    static const wchar_t characters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::wstring name;
    for (size_t i = 0; i < length; ++i)
        name += characters[random() % 36];
    return name;
}

// Renames the open file within its folder (native form); false when the
// system refuses.
bool RenameOpen(HANDLE handle, const std::wstring& folder, const std::wstring& name)
{
    const std::wstring path = folder + (folder.back() == L'\\' ? L"" : L"\\") + name;
    const size_t bytes = path.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(rename->FileName, path.c_str(), bytes);
    return ::SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

// How many random names a file goes through before it is deleted.
const int renameRounds = 7;

}  // namespace

WipeFailure InPlaceFile::CloseAndDelete(wxString& detail)
{
    // Deleting through the handle that was overwritten: no name is looked up
    // again, so nothing put in the file's place can be deleted instead.
    // The streams go with the file; their handles must not keep it.
    CloseStreams(streams);
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    // NTFS keeps a deleted file's last name in its file record and its log:
    // the file goes through random names of the same length first. Each is
    // noted before it is taken, so that a crash leaves nothing unnoted.
    const std::wstring place = Native(std::wstring(folderPath.wc_str(), folderPath.length()));
    wxString current;
    for (int round = 0; round < renameRounds && handle != INVALID_HANDLE_VALUE && !place.empty(); ++round) {
        const std::wstring next = RandomName(fileName.length());
        const wxString nextText(next.c_str(), next.size());
        CrashRecord::NoteHidden(folderPath, nextText, device, inode);
        if (!RenameOpen(handle, place, next)) {
            CrashRecord::DropHidden(folderPath, nextText);
            break;
        }
        if (afterRename)
            afterRename();
        if (!current.empty())
            CrashRecord::DropHidden(folderPath, current);
        current = nextText;
    }
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    const bool marked = handle != INVALID_HANDLE_VALUE
                        && ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                                        sizeof disposition);
    const DWORD error = marked ? ERROR_SUCCESS : ::GetLastError();
    const int closed = ::_close(fd);
    fd = -1;
    // Deleted, or left under the random name the failure names.
    if (!current.empty())
        CrashRecord::DropHidden(folderPath, current);
    if (!marked) {
        Refuse(error, detail);
        return WipeFailure::DeleteFailed;
    }
    return closed == 0 ? WipeFailure::None : WipeFailure::OverwriteFailed;
}

// Not done here yet: a read that bypasses the cache needs a handle of its own
// with FILE_FLAG_NO_BUFFERING and sector-aligned buffers.
bool InPlaceFile::ReadFromDevice(uint64_t, size_t, unsigned char*, wxString& detail)
{
    detail = "reading back from the device is not available on this system";
    return false;
}
