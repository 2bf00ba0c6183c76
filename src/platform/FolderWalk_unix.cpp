// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "NativePath.h"
#include "SystemFilesystem.h"

#include <wx/log.h>

namespace {

using FolderIds = std::set<std::pair<dev_t, ino_t>>;

// A folder of the kernel's own (a proc or sysfs mount) holds settings, not
// files: it is handed over whole as one entry, which a run refuses by name,
// and never entered. True when dir (then closed) was one.
bool HandedOverWhole(int dir, const wxString& path, const FolderWalk::FileFound& onFile)
{
    if (!SystemFilesystem::Holds(dir))
        return false;
    ::close(dir);
    onFile(path);
    return true;
}

// Walks the open folder dir (owned here) whose text is path, on a folder of
// the device above. Every entry is reached through its folder's descriptor,
// so a folder renamed or swapped for a link during the walk cannot lead it
// elsewhere.
void Walk(int dir, const wxString& path, dev_t above, FolderIds& entered, const FolderWalk::FileFound& onFile,
          const FolderWalk::FolderFailed& onUnreadable, const FolderWalk::FileFound& onLink)
{
    struct stat st;
    if (::fstat(dir, &st) != 0 || !entered.insert({st.st_dev, st.st_ino}).second) {
        ::close(dir);
        return;
    }
    // Only where a mount begins can the filesystem change.
    const dev_t device = st.st_dev;
    if (device != above && HandedOverWhole(dir, path, onFile))
        return;
    DIR* listing = ::fdopendir(dir);
    if (!listing) {
        ::close(dir);
        onUnreadable(path);
        return;
    }
    const wxString prefix = path.EndsWith("/") ? path : path + "/";
    while (const dirent* entry = ::readdir(listing)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        const wxString child = prefix + NativePath::Decode(name);
        // The listing's own type spares a call per file where the filesystem
        // gives one; it is as old as asking now would be.
        mode_t type = DTTOIF(entry->d_type);
        if (entry->d_type == DT_UNKNOWN) {
            if (::fstatat(::dirfd(listing), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone since it was listed
            type = st.st_mode;
        }
        if (S_ISLNK(type)) {
            if (onLink)
                onLink(child);
            continue;
        }
        if (!S_ISDIR(type)) {
            onFile(child);
            continue;
        }
        const int sub = ::openat(::dirfd(listing), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0)
            onUnreadable(child);
        else
            Walk(sub, child, device, entered, onFile, onUnreadable, onLink);
    }
    ::closedir(listing);
}

// Removes the emptied folders below the open folder dir (closed here), whose
// text is path, then reports whether dir itself is left empty.
bool RemoveEmptiedBelow(int dir, const wxString& path, const FolderWalk::FolderNotRemoved& onNotRemoved)
{
    DIR* listing = ::fdopendir(dir);
    if (!listing) {
        ::close(dir);
        return false;
    }
    const wxString prefix = path.EndsWith("/") ? path : path + "/";
    bool empty = true;
    while (const dirent* entry = ::readdir(listing)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st;
        const int parent = ::dirfd(listing);
        if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) {
            empty = false;
            continue;
        }
        const wxString child = prefix + NativePath::Decode(name);
        const int sub = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0 || !RemoveEmptiedBelow(sub, child, onNotRemoved)) {
            empty = false;
        } else if (::unlinkat(parent, name, AT_REMOVEDIR) != 0) {
            if (onNotRemoved)
                onNotRemoved(child, wxSysErrorMsgStr(errno));
            empty = false;
        }
    }
    ::closedir(listing);
    return empty;
}

}  // namespace

void FolderWalk::Run(const wxString& folder, const FileFound& onFile, const FolderFailed& onUnreadable,
                     const FileFound& onLink)
{
    std::string native;
    wxString path = folder;
    while (path.length() > 1 && path.EndsWith("/"))
        path.RemoveLast();
    const int dir = NativePath::Encode(path, native)
                        ? ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                        : -1;
    if (dir < 0) {
        onUnreadable(path);
        return;
    }
    struct stat st;
    if (HandedOverWhole(dir, path, onFile))
        return;
    FolderIds entered;
    Walk(dir, path, ::fstat(dir, &st) == 0 ? st.st_dev : 0, entered, onFile, onUnreadable, onLink);
}

bool FolderWalk::IsFolder(const wxString& path)
{
    std::string native;
    struct stat st;
    return NativePath::Encode(path, native) && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FolderWalk::RemoveEmptied(const wxString& folder, const FolderNotRemoved& onNotRemoved)
{
    std::string native;
    if (!NativePath::Encode(folder, native))
        return false;
    const int dir = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0 || !RemoveEmptiedBelow(dir, folder, onNotRemoved))
        return false;
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    const std::string base = native.substr(native.find_last_of('/') + 1);
    if (base == "." || base == "..")
        return false;
    if (::rmdir(native.c_str()) == 0)
        return true;
    if (onNotRemoved)
        onNotRemoved(folder, wxSysErrorMsgStr(errno));
    return false;
}
