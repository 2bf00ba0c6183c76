// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CrashRecord.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/FreeSpace.h"
#include "platform/NativePath.h"

namespace {

const char* const stateSuffix = ".state";

int ownFd = -1;  // this process's state file, locked while it lives
pid_t ownPid = 0;  // the process that opened it: a forked child needs its own
std::string ownPath;
bool ownEmpty = true;
size_t ownSize = 0;  // the file's length as last written; SIZE_MAX when unsure
std::atomic<bool> forkedSince{false};  // set in a child process

// A process that ends with nothing noted takes its file, and the folder if
// that is all there was, along.
struct OwnFileAtExit {
    ~OwnFileAtExit()
    {
        if (ownFd < 0 || ownPid != ::getpid() || !ownEmpty)
            return;
        ::unlink(ownPath.c_str());
        ::close(ownFd);
        ::rmdir(ownPath.substr(0, ownPath.rfind('/')).c_str());
    }
} ownFileAtExit;

// The folder, made (with the folders above it) only when make is set: a
// start that finds nothing to finish leaves nothing behind.
std::string StateFolder(bool make)
{
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* user = ::getpwuid(::geteuid());
            home = user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : nullptr;
        }
        if (!home)
            return std::string();
        base = std::string(home) + "/.local/state";
        if (make)
            ::mkdir((std::string(home) + "/.local").c_str(), 0700);
    }
    const std::string folder = base + "/vorlix";
    if (make) {
        ::mkdir(base.c_str(), 0700);
        ::mkdir(folder.c_str(), 0700);
    }
    struct stat st;
    // Only a folder of this user's: another could plant records in one of theirs.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return std::string();
    return folder;
}

// Made under another name and locked first, so that no start takes the new
// file for an ended process's.
bool OpenOwn()
{
    const std::string folder = StateFolder(true);
    if (folder.empty())
        return false;
    std::random_device random;
    const std::string stem = folder + "/" + std::to_string(::getpid()) + "-" + std::to_string(random());
    const int fd = ::open((stem + ".new").c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX) != 0 || ::rename((stem + ".new").c_str(), (stem + stateSuffix).c_str()) != 0) {
        ::unlink((stem + ".new").c_str());
        ::close(fd);
        return false;
    }
    ownFd = fd;
    ownSize = 0;
    ownPid = ::getpid();
    ownPath = stem + stateSuffix;
    return true;
}

bool ReadAll(int fd, std::string& content)
{
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0)
            return false;
        content.append(buffer, size_t(n));
    }
    return true;
}

}  // namespace

wxString CrashRecord::Folder()
{
    return NativePath::Decode(StateFolder(false));
}

bool CrashRecord::WriteOwn(const std::string& content)
{
    // Asked of the kernel only after a fork, not for every file a run deletes.
    static const bool watchingForks = ::pthread_atfork(nullptr, nullptr, [] { forkedSince = true; }) == 0;
    if (ownFd >= 0 && (!watchingForks || forkedSince) && ownPid != ::getpid()) {
        ::close(ownFd);
        ownFd = -1;
    }
    if (ownFd < 0 && (content.empty() || !OpenOwn()))
        return content.empty();
    // A kill between these leaves more than the truth, never less: a line
    // is written before its step and removed after it.
    ownEmpty = content.empty();
    if (ownSize == SIZE_MAX && ::ftruncate(ownFd, 0) == 0)
        ownSize = 0;
    // A shorter content is padded with empty lines, not cut: a cut for every
    // deleted file cost about as much as the rename the line guards.
    static std::string padded;  // its memory kept from one write to the next; under the caller's lock
    padded = content;
    if (padded.size() < ownSize)
        padded.append(ownSize - padded.size(), '\n');
    const bool ok = padded.empty() || ::pwrite(ownFd, padded.data(), padded.size(), 0) == ssize_t(padded.size());
    ownSize = ok ? padded.size() : SIZE_MAX;
    return ok;
}

unsigned CrashRecord::ForEachEnded(const std::function<bool(const std::string& content)>& finish)
{
    const std::string folder = StateFolder(false);
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir)
        return 0;
    unsigned finished = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= 6 || name.compare(name.size() - 6, 6, stateSuffix) != 0)
            continue;
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Locked: its process still runs (this one's own included).
        std::string content;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ReadAll(fd, content)) {
            const bool blank = content.find_first_not_of('\n') == std::string::npos;  // see WriteOwn
            if (blank || finish(content)) {
                ::unlink(path.c_str());
                finished += !blank;
            }
        }
        ::close(fd);
    }
    ::closedir(dir);
    ::rmdir(folder.c_str());  // only once empty
    return finished;
}

bool CrashRecord::RemoveFillFolder(const wxString& folder, uint64_t device)
{
    std::string native;
    struct stat st;
    if (!NativePath::Encode(folder, native) || ::lstat(native.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode) || uint64_t(st.st_dev) != device)
        return true;  // not the folder recorded: left alone
    wxString detail;
    return FreeSpace::RemoveFolder(folder, detail);
}

bool CrashRecord::ThawFrozen(const wxString& root, uint64_t device)
{
    std::string native;
    if (!NativePath::Encode(root, native))
        return true;
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    struct stat st;
    // Not frozen (EINVAL) is as good as thawed; only the filesystem recorded.
    const bool thawed = ::fstat(fd, &st) != 0 || uint64_t(st.st_dev) != device
                        || ::ioctl(fd, FITHAW, 0) == 0 || errno == EINVAL;
    ::close(fd);
    return thawed;
}

bool CrashRecord::DeleteHidden(const wxString& folder, const wxString& name, uint64_t device, uint64_t inode)
{
    std::string nativeFolder, nativeName;
    if (!NativePath::Encode(folder, nativeFolder) || !NativePath::Encode(name, nativeName)
        || nativeName.find('/') != std::string::npos)
        return true;
    const int dir = ::open(nativeFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return errno == ENOENT;
    struct stat st;
    bool done = true;
    if (::fstatat(dir, nativeName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        // Only the very file that was overwritten; anything else under the
        // name is not ours.
        if (S_ISREG(st.st_mode) && uint64_t(st.st_dev) == device && uint64_t(st.st_ino) == inode)
            done = ::unlinkat(dir, nativeName.c_str(), 0) == 0;
    } else {
        done = errno == ENOENT;
    }
    ::close(dir);
    return done;
}
