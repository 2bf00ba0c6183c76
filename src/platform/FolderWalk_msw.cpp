// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderWalk.h"

#include "NativePath.h"

#include <windows.h>

#include <wx/log.h>

namespace {

// path is the program's text for the folder, native its \\?\ form: found
// names are reported in the first and looked up in the second.
void Walk(const wxString& path, const std::wstring& native, const FolderWalk::FileFound& onFile,
          const FolderWalk::FolderFailed& onUnreadable, const FolderWalk::FileFound& onLink)
{
    const wxString prefix = path.EndsWith("\\") || path.EndsWith("/") ? path : path + "\\";
    const std::wstring nativePrefix = native.back() == L'\\' ? native : native + L'\\';
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW((nativePrefix + L"*").c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        if (::GetLastError() != ERROR_FILE_NOT_FOUND)
            onUnreadable(path);
        return;
    }
    do {
        const std::wstring name(found.cFileName);
        if (name == L"." || name == L"..")
            continue;
        const wxString child = prefix + wxString(name.c_str(), name.size());
        // Junctions, symbolic links and other reparse points are not followed.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (onLink)
                onLink(child);
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(child, nativePrefix + name, onFile, onUnreadable, onLink);
        else
            onFile(child);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// Removes the emptied folders below native, whose text is path, then reports
// whether it is left empty.
bool RemoveEmptiedBelow(const std::wstring& native, const wxString& path,
                        const FolderWalk::FolderNotRemoved& onNotRemoved)
{
    const std::wstring prefix = native.back() == L'\\' ? native : native + L'\\';
    const wxString shownPrefix = path.EndsWith("\\") || path.EndsWith("/") ? path : path + "\\";
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW((prefix + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    bool empty = true;
    do {
        const std::wstring name(found.cFileName);
        if (name == L"." || name == L"..")
            continue;
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                            && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        const wxString child = shownPrefix + wxString(name);
        if (!folder || !RemoveEmptiedBelow(prefix + name, child, onNotRemoved)) {
            empty = false;
        } else if (!::RemoveDirectoryW((prefix + name).c_str())) {
            if (onNotRemoved)
                onNotRemoved(child, wxSysErrorMsgStr(::GetLastError()));
            empty = false;
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return empty;
}

}  // namespace

// Without following links no folder can be reached twice.
void FolderWalk::Run(const wxString& folder, const FileFound& onFile, const FolderFailed& onUnreadable,
                     const FileFound& onLink)
{
    wxString path = folder;
    while (path.length() > 3 && (path.EndsWith("\\") || path.EndsWith("/")))
        path.RemoveLast();
    std::wstring native;
    if (!NativePath::Encode(path, native)) {
        onUnreadable(path);
        return;
    }
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        onUnreadable(path);
        return;
    }
    Walk(path, native, onFile, onUnreadable, onLink);
}

bool FolderWalk::IsFolder(const wxString& path)
{
    std::wstring native;
    if (!NativePath::Encode(path, native))
        return false;
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderWalk::RemoveEmptied(const wxString& folder, const FolderNotRemoved& onNotRemoved)
{
    std::wstring native;
    if (!NativePath::Encode(folder, native))
        return false;
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)
        || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !RemoveEmptiedBelow(native, folder, onNotRemoved))
        return false;
    // "." and ".." are resolved by Encode: the name as given says what was meant.
    wxString base = folder;
    while (base.length() > 1 && (base.EndsWith("\\") || base.EndsWith("/")))
        base.RemoveLast();
    base = base.AfterLast('\\').AfterLast('/');
    if (base == "." || base == "..")
        return false;
    if (::RemoveDirectoryW(native.c_str()))
        return true;
    if (onNotRemoved)
        onNotRemoved(folder, wxSysErrorMsgStr(::GetLastError()));
    return false;
}
