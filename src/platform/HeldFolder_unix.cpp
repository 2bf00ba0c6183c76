// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HeldFolder.h"

#include "platform/SystemFilesystem.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

int HeldFolder::Reach(const std::string& path, int& error)
{
    if (fd >= 0 && path == heldPath && StillNamed())
        return fd;
    Release();
    fd = Walk(path, error);
    if (fd >= 0) {
        heldPath = path;
        selfLink = "/proc/self/fd/" + std::to_string(fd);
    }
    return fd;
}

void HeldFolder::Release()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    heldPath.clear();
    systemHeld = -1;
}

bool HeldFolder::OnSystemFilesystem(int entryFd, const struct stat& st)
{
    if (fd < 0)
        return SystemFilesystem::Holds(entryFd);
    if (systemHeld < 0) {
        struct stat folder;
        if (::fstat(fd, &folder) != 0)
            return SystemFilesystem::Holds(entryFd);
        device = static_cast<unsigned long long>(folder.st_dev);
        systemHeld = SystemFilesystem::Holds(fd) ? 1 : 0;
    }
    // Another device is a mount on the entry itself (a bind mount of a file).
    if (static_cast<unsigned long long>(st.st_dev) != device)
        return SystemFilesystem::Holds(entryFd);
    return systemHeld == 1;
}

// The kernel names an open folder by the names its folder and each one above
// currently have; a folder has one name, so when that is heldPath, walking
// heldPath without links leads to this very folder. A deleted one is named
// with " (deleted)" added; without /proc nothing matches and every file walks.
bool HeldFolder::StillNamed() const
{
    char named[PATH_MAX + 1];
    const ssize_t n = ::readlink(selfLink.c_str(), named, sizeof named);
    return n > 0 && size_t(n) < sizeof named && heldPath.compare(0, std::string::npos, named, size_t(n)) == 0;
}

// Opens path from the root without following a link: in one call where the
// kernel resolves a whole path so (openat2, Linux 5.6), else one component at
// a time. Empty components and "." are skipped; ".." stays: in a path with no
// links it means what it says.
int HeldFolder::Walk(const std::string& path, int& error)
{
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const int whole = path.empty() || path[0] != '/'
                          ? -1
                          : static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how));
    if (whole >= 0)
        return whole;
    error = errno;
    // Refused by the walk itself: the same answer component by component.
    if (!path.empty() && path[0] == '/' && error != ENOSYS && error != EPERM && error != EINVAL && error != E2BIG) {
        // A link where a folder was resolved means it was swapped since.
        if (error == ELOOP || error == ENOTDIR)
            error = ELOOP;
        return -1;
    }
    int dir = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        error = errno;
        return -1;
    }
    for (size_t start = 0; start < path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        const int next = ::openat(dir, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        error = errno;
        ::close(dir);
        if (next < 0) {
            if (error == ELOOP || error == ENOTDIR)
                error = ELOOP;
            return -1;
        }
        dir = next;
    }
    return dir;
}
