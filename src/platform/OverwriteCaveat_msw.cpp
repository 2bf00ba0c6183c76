// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverwriteCaveat.h"

#include "NativePath.h"

#include <windows.h>

namespace {

// The root of the volume that holds native (\\?\C:\ or \\?\UNC\server\share\),
// as the volume calls take it.
std::wstring VolumeRoot(const std::wstring& native)
{
    wchar_t root[MAX_PATH + 1];
    if (::GetVolumePathNameW(native.c_str(), root, MAX_PATH + 1))
        return root;
    return std::wstring();
}

}  // namespace

OverwriteCaveat::Ground OverwriteCaveat::OfFilesystem(const wxString& path)
{
    std::wstring native;
    if (!NativePath::Encode(path, native))
        return Ground();
    // The volume decides for every file on it.
    if (native.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return Ground{"network share", false};
    const std::wstring root = VolumeRoot(native);
    if (!root.empty() && ::GetDriveTypeW(root.c_str()) == DRIVE_REMOTE)
        return Ground{"network drive", false};
    wchar_t system[MAX_PATH + 1] = L"";
    if (!root.empty()
        && ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1)) {
        const std::wstring name(system);
        // ReFS writes changed blocks elsewhere (integrity streams, block cloning).
        if (name == L"ReFS")
            return Ground{"ReFS filesystem", false};
        // No journal, but the rest of a file's last cluster is never written.
        if (name == L"FAT" || name == L"FAT32" || name == L"exFAT")
            return Ground{wxString(name.c_str()) + " filesystem (cluster slack)", false};
    }
    return Ground{wxString(), true};
}

wxString OverwriteCaveat::OfFile(const wxString& path, const Ground& ground)
{
    std::wstring native;
    if (!NativePath::Encode(path, native))
        return wxString();
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !ground.fileDecides)
        return attributes == INVALID_FILE_ATTRIBUTES ? wxString() : ground.kind;
    if (attributes & FILE_ATTRIBUTE_COMPRESSED)
        return "compressed file";
    if (attributes & FILE_ATTRIBUTE_SPARSE_FILE)
        return "sparse file";
    if (attributes & FILE_ATTRIBUTE_ENCRYPTED)
        return "encrypted file";
    return wxString();
}
