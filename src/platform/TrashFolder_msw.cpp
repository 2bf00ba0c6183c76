// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrashFolder.h"

#include "NativePath.h"

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <map>
#include <string>

namespace {

// The string form of this process's user SID ("S-1-5-21-…"); empty when unknown.
wxString UserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return wxString();
    wxString sid;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    LPWSTR text = nullptr;
    if (size && ::GetTokenInformation(token, TokenUser, &buffer[0], size, &size)
        && ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid, &text)) {
        sid = wxString(text);
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

DWORD Attributes(const wxString& path)
{
    std::wstring native;
    return NativePath::Encode(path, native) ? ::GetFileAttributesW(native.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool IsRealFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
           && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

std::vector<wxString> TrashFolder::OfUser()
{
    std::vector<wxString> folders;
    const wxString sid = UserSid();
    if (sid.empty())
        return folders;
    const DWORD drives = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i)))
            continue;
        const wxString root = wxString::Format("%c:\\", wxChar('A' + i));
        // Only local drives keep a recycle bin; asking a network drive can hang.
        const UINT type = ::GetDriveTypeW(root.wc_str());
        if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE)
            continue;
        const wxString folder = root + "$Recycle.Bin\\" + sid;
        if (IsRealFolder(Attributes(folder)))
            folders.push_back(folder);
    }
    return folders;
}

TrashFolder::Contents TrashFolder::List(const wxString& folder)
{
    Contents contents;
    std::wstring native;
    if (!NativePath::Encode(folder, native))
        return contents;
    // Name -> attributes of every entry; Windows names are compared without case.
    std::map<wxString, DWORD> entries;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW((native + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return contents;
    do {
        const wxString name(found.cFileName);
        if (name != "." && name != "..")
            entries[name] = found.dwFileAttributes;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);

    auto has = [&entries](const wxString& name) {
        return std::any_of(entries.begin(), entries.end(),
                           [&name](const auto& entry) { return entry.first.IsSameAs(name, false); });
    };
    const wxString prefix = folder + "\\";
    for (const auto& [name, attributes] : entries) {
        const wxString kind = name.Left(2).Upper();
        if (kind == "$R") {
            Item item;
            item.path = prefix + name;
            item.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            item.isFolder = IsRealFolder(attributes);
            const wxString record = "$I" + name.Mid(2);
            if (has(record) && !(entries.count(record) && (entries[record] & FILE_ATTRIBUTE_DIRECTORY)))
                item.record = prefix + record;
            contents.items.push_back(item);
        } else if (kind == "$I" && !has("$R" + name.Mid(2)) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            contents.others.push_back(prefix + name);
        }
    }
    return contents;
}
