#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "NativePath.h"
#include "RuntimeFolder.h"

bool InstanceLock::Acquire()
{
    const wxString folder = RuntimeFolder::Path();
    std::string path;
    if (folder.empty() || !NativePath::Encode(folder + "/vorlix.lock", path))
        return true;
    // The kernel drops a flock when its holder ends, however it ends.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(fd);
        return !held;
    }
    handle = fd;
    return true;
}

// The lock lives in the user's private folder; the window's module has no
// view of the descriptor the program holds.
bool InstanceLock::HeldHere()
{
    return true;
}
