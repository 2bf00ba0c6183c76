// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrashFolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/utils.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "MountTable.h"
#include "NativePath.h"

namespace {

const char* const recordSuffix = ".trashinfo";

bool Lstat(const wxString& path, struct stat& st)
{
    std::string native;
    return NativePath::Encode(path, native) && ::lstat(native.c_str(), &st) == 0;
}

// A folder that is no link and belongs to this user: a trash anyone else
// could have made, or pointed elsewhere, is not this user's.
bool IsOwnFolder(const wxString& path, struct stat& st)
{
    return Lstat(path, st) && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

std::vector<wxString> Names(const wxString& folder)
{
    std::vector<wxString> names;
    std::string native;
    DIR* listing = NativePath::Encode(folder, native) ? ::opendir(native.c_str()) : nullptr;
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(NativePath::Decode(entry->d_name));
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

// Filesystems with no files of the user's, where a look for a trash only costs.
bool IsVirtual(const std::string& type)
{
    static const std::set<std::string> types{"proc",   "sysfs",    "cgroup",     "cgroup2",   "devpts",
                                             "mqueue", "debugfs",  "tracefs",    "securityfs", "pstore",
                                             "bpf",    "configfs", "fusectl",    "hugetlbfs", "autofs",
                                             "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs"};
    return types.count(type) != 0;
}

}  // namespace

std::vector<wxString> TrashFolder::OfUser()
{
    const wxString uid = wxString::Format("%lu", static_cast<unsigned long>(::getuid()));
    wxString dataHome;
    if (!wxGetEnv("XDG_DATA_HOME", &dataHome) || !dataHome.StartsWith("/"))
        dataHome = wxGetHomeDir() + "/.local/share";
    std::vector<wxString> candidates{dataHome + "/Trash"};
    for (const MountTable::Mount& mount : MountTable::All()) {
        if (IsVirtual(mount.type))
            continue;
        wxString top = NativePath::Decode(mount.mountPoint);
        if (!top.EndsWith("/"))
            top += "/";
        // A shared .Trash counts only as the XDG trash layout asks: a real
        // folder with the sticky bit, so that no user can replace another's.
        struct stat st;
        if (Lstat(top + ".Trash", st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
            candidates.push_back(top + ".Trash/" + uid);
        candidates.push_back(top + ".Trash-" + uid);
    }
    std::vector<wxString> folders;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const wxString& candidate : candidates) {
        struct stat st;
        if (IsOwnFolder(candidate, st) && seen.insert({st.st_dev, st.st_ino}).second)
            folders.push_back(candidate);
    }
    return folders;
}

TrashFolder::Contents TrashFolder::List(const wxString& folder)
{
    Contents contents;
    const wxString files = folder + "/files", info = folder + "/info";
    struct stat st;
    // Either half may be a link planted to lead the wipe elsewhere, or a
    // folder someone else made in a trash left open to them: what is in it
    // was never this user's to throw away.
    const bool filesOk = IsOwnFolder(files, st);
    const bool infoOk = IsOwnFolder(info, st);
    for (const wxString& half : {files, info}) {
        if (!(half == files ? filesOk : infoOk) && Lstat(half, st))
            contents.refused.push_back(half);
    }
    std::set<wxString> itemNames;
    if (filesOk) {
        for (const wxString& name : Names(files)) {
            Item item;
            item.path = files + "/" + name;
            if (!Lstat(item.path, st))
                continue;
            item.isLink = S_ISLNK(st.st_mode);
            item.isFolder = S_ISDIR(st.st_mode);
            const wxString record = info + "/" + name + recordSuffix;
            if (infoOk && Lstat(record, st) && !S_ISDIR(st.st_mode))
                item.record = record;
            itemNames.insert(name);
            contents.items.push_back(item);
        }
    }
    if (infoOk) {
        for (const wxString& name : Names(info)) {
            const wxString path = info + "/" + name;
            if (name.EndsWith(recordSuffix) && !itemNames.count(name.Left(name.length() - std::strlen(recordSuffix)))
                && Lstat(path, st) && !S_ISDIR(st.st_mode))
                contents.others.push_back(path);
        }
    }
    const wxString sizes = folder + "/directorysizes";
    if (Lstat(sizes, st) && !S_ISDIR(st.st_mode))
        contents.others.push_back(sizes);
    return contents;
}
