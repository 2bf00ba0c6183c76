// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "NativePath.h"
#include "RuntimeFolder.h"

namespace {

// Names the descriptor of a lock passed on through exec.
const char* const passedOnVariable = "VORLIX_LOCK_FD";

bool heldHere = false;

// The lock file passed on by the process that executed this one: the same
// file as path, still locked by this process's open description of it.
int PassedOn(const std::string& path)
{
    const char* value = std::getenv(passedOnVariable);
    if (!value)
        return -1;
    const std::string text = value;
    unsetenv(passedOnVariable);
    char* end = nullptr;
    const long fd = std::strtol(text.c_str(), &end, 10);
    struct stat held, named;
    if (text.empty() || *end != '\0' || fd < 0 || fd > 65535 || fstat(int(fd), &held) != 0
        || lstat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev || held.st_ino != named.st_ino)
        return -1;
    // Locking again what this description holds already succeeds at once;
    // anything else means the lock is not ours.
    if (flock(int(fd), LOCK_EX | LOCK_NB) != 0)
        return -1;
    fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    return int(fd);
}

}  // namespace

bool InstanceLock::Acquire()
{
    const wxString folder = RuntimeFolder::Path();
    std::string path;
    if (folder.empty() || !NativePath::Encode(folder + "/vorlix.lock", path))
        return true;
    const int passed = PassedOn(path);
    if (passed >= 0) {
        handle = passed;
        heldHere = true;
        return true;
    }
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
    heldHere = true;
    return true;
}

bool InstanceLock::HeldHere()
{
    return heldHere;
}

void InstanceLock::PassOnAtExec()
{
    if (handle < 0)
        return;
    fcntl(int(handle), F_SETFD, 0);
    setenv(passedOnVariable, std::to_string(handle).c_str(), 1);
}
