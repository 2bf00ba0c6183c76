#include "FolderWalk.h"

#include <windows.h>

namespace {

void Walk(const wxString& path, const FolderWalk::FileFound& onFile, const FolderWalk::FolderFailed& onUnreadable)
{
    const wxString prefix = path.EndsWith("\\") || path.EndsWith("/") ? path : path + "\\";
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW((prefix + "*").wc_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        if (::GetLastError() != ERROR_FILE_NOT_FOUND)
            onUnreadable(path);
        return;
    }
    do {
        const wxString name(found.cFileName);
        if (name == "." || name == "..")
            continue;
        // Junctions, symbolic links and other reparse points are not followed.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(prefix + name, onFile, onUnreadable);
        else
            onFile(prefix + name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

}  // namespace

// Without following links no folder can be reached twice.
void FolderWalk::Run(const wxString& folder, const FileFound& onFile, const FolderFailed& onUnreadable)
{
    wxString path = folder;
    while (path.length() > 3 && (path.EndsWith("\\") || path.EndsWith("/")))
        path.RemoveLast();
    const DWORD attributes = ::GetFileAttributesW(path.wc_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        onUnreadable(path);
        return;
    }
    Walk(path, onFile, onUnreadable);
}

bool FolderWalk::IsFolder(const wxString& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.wc_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
