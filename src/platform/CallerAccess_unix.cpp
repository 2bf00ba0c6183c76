// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CallerAccess.h"

#include "platform/NativePath.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

bool CallerAccess::Caller(unsigned long& uid)
{
    const char* given = std::getenv("PKEXEC_UID");
    if (!given) {
        uid = ::getuid();
        return true;
    }
    const std::string text = given;
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    uid = std::stoul(text);
    return uid <= 0xFFFFFFFEul;  // (uid_t)-1 names nobody
}

int CallerAccess::HoldFolder(const wxString& path)
{
    std::string native;
    if (!NativePath::Encode(path, native))
        return -1;
    return ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

wxString CallerAccess::HeldPath(int held)
{
    return wxString::Format("/proc/self/fd/%d", held);
}

bool CallerAccess::CanWriteIn(unsigned long uid, int held)
{
    if (held < 0)
        return false;
    if (uid == ::geteuid())
        return ::faccessat(held, ".", W_OK | X_OK, 0) == 0;
    if (::geteuid() != 0)
        return false;  // cannot become another user to ask
    // The user's groups, looked up before the fork.
    const passwd* user = ::getpwuid(static_cast<uid_t>(uid));
    if (!user)
        return false;
    const gid_t gid = user->pw_gid;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(user->pw_name, gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(user->pw_name, gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<size_t>(count));
    const pid_t child = ::fork();
    if (child == 0) {
        const bool became = ::setgroups(groups.size(), groups.data()) == 0 && ::setgid(gid) == 0
                            && ::setuid(static_cast<uid_t>(uid)) == 0 && ::geteuid() == uid;
        // The held folder itself: /proc/self/fd is not this user's to read.
        ::_exit(became && ::faccessat(held, ".", W_OK | X_OK, 0) == 0 ? 0 : 1);
    }
    if (child < 0)
        return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
