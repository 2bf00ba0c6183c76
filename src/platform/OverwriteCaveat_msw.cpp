#include "OverwriteCaveat.h"

#include <windows.h>

wxString OverwriteCaveat::For(const wxString& path)
{
    const DWORD attributes = GetFileAttributesW(path.wc_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return wxString();
    if (attributes & FILE_ATTRIBUTE_COMPRESSED)
        return "compressed NTFS";
    if (attributes & FILE_ATTRIBUTE_SPARSE_FILE)
        return "sparse NTFS";
    if (attributes & FILE_ATTRIBUTE_ENCRYPTED)
        return "encrypted NTFS";
    return wxString();
}
