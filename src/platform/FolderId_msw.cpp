#include "FolderId.h"

#include <windows.h>

wxString FolderId::Of(const wxString& path)
{
    // Backup semantics let CreateFile open a folder; following reparse points
    // gives the identity of the folder a junction leads to.
    HANDLE handle = CreateFileW(path.wc_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return wxString();
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known)
        return wxString();
    return wxString::Format("%lu:%lu:%lu", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                            static_cast<unsigned long>(info.nFileIndexHigh),
                            static_cast<unsigned long>(info.nFileIndexLow));
}
