#include "platform/HeldFolder.h"

#include <fcntl.h>
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

// Opens path one component at a time from the root, never following a link.
// Empty components and "." are skipped; ".." stays: in a path with no links it
// means what it says.
int HeldFolder::Walk(const std::string& path, int& error)
{
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
            // A link where a folder was resolved means it was swapped since.
            if (error == ELOOP || error == ENOTDIR)
                error = ELOOP;
            return -1;
        }
        dir = next;
    }
    return dir;
}
