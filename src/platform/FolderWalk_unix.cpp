#include "FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "NativePath.h"

namespace {

using FolderIds = std::set<std::pair<dev_t, ino_t>>;

// Walks the open folder dir (owned here) whose text is path. Every entry is
// reached through its folder's descriptor, so a folder renamed or swapped for
// a link during the walk cannot lead it elsewhere.
void Walk(int dir, const wxString& path, FolderIds& entered, const FolderWalk::FileFound& onFile,
          const FolderWalk::FolderFailed& onUnreadable)
{
    struct stat st;
    if (::fstat(dir, &st) != 0 || !entered.insert({st.st_dev, st.st_ino}).second) {
        ::close(dir);
        return;
    }
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
        if (::fstatat(::dirfd(listing), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone since it was listed
        if (S_ISLNK(st.st_mode))
            continue;
        if (!S_ISDIR(st.st_mode)) {
            onFile(child);
            continue;
        }
        const int sub = ::openat(::dirfd(listing), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0)
            onUnreadable(child);
        else
            Walk(sub, child, entered, onFile, onUnreadable);
    }
    ::closedir(listing);
}

}  // namespace

void FolderWalk::Run(const wxString& folder, const FileFound& onFile, const FolderFailed& onUnreadable)
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
    FolderIds entered;
    Walk(dir, path, entered, onFile, onUnreadable);
}

bool FolderWalk::IsFolder(const wxString& path)
{
    std::string native;
    struct stat st;
    return NativePath::Encode(path, native) && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
