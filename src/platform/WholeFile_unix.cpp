// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WholeFile.h"

#include "platform/NativePath.h"

#include <wx/log.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace {

using Result = WholeFile::Result;

Result Fail(int error, wxString& detail)
{
    detail = wxSysErrorMsgStr(error);
    return Result::Failed;
}

// Splits a native path into its folder and its last name; false (EISDIR) for
// a path that names no file of its own ("dir/", "..").
bool Split(const std::string& path, std::string& folder, std::string& name)
{
    const size_t slash = path.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return !name.empty() && name != "." && name != "..";
}

// What stands at name in the folder dir: a regular file (mode set to its
// permissions), nothing (mode 0) or something that must not be replaced.
Result Existing(int dir, const std::string& name, mode_t& mode, wxString& detail)
{
    struct stat st;
    mode = 0;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Result::Done : Fail(errno, detail);
    if (S_ISLNK(st.st_mode))
        return Result::Link;
    if (!S_ISREG(st.st_mode))
        return Result::NotRegular;
    mode = st.st_mode & 07777;
    return Result::Done;
}

bool WriteAll(int fd, const std::string& bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        at += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

WholeFile::Result WholeFile::Check(const wxString& path, wxString& detail)
{
    std::string native, folder, name;
    if (!NativePath::Encode(path, native, detail))
        return Result::Failed;
    if (!Split(native, folder, name))
        return Fail(EISDIR, detail);
    mode_t mode = 0;
    const Result existing = Existing(AT_FDCWD, native, mode, detail);
    if (existing != Result::Done)
        return existing;
    // A file the user made read-only stays as it is.
    if (mode != 0 && ::faccessat(AT_FDCWD, native.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(errno, detail);
    // The new file is made in the folder and renamed there.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return Fail(errno, detail);
    // In a sticky folder (/tmp) only the owner may replace a file.
    struct stat file, dir;
    if (mode != 0 && ::geteuid() != 0 && ::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX)
        && ::lstat(native.c_str(), &file) == 0 && file.st_uid != ::geteuid() && dir.st_uid != ::geteuid())
        return Fail(EPERM, detail);
    return Result::Done;
}

WholeFile::Result WholeFile::Write(const wxString& path, const std::function<void(const Writer& write)>& produce,
                                   wxString& detail)
{
    std::string native, folder, name;
    if (!NativePath::Encode(path, native, detail))
        return Result::Failed;
    if (!Split(native, folder, name))
        return Fail(EISDIR, detail);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return Fail(errno, detail);
    mode_t mode = 0;
    Result result = Existing(dir, name, mode, detail);
    // A name of its own, not derived from the target's, which may already be
    // as long as a name can be; O_EXCL with O_NOFOLLOW: never anyone else's.
    std::random_device random;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; result == Result::Done && fd < 0 && attempt < 10; ++attempt) {
        temporary = ".vorlix-report-" + std::to_string(random()) + std::to_string(random());
        fd = ::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            result = Fail(errno, detail);
    }
    if (result == Result::Done && fd < 0)
        result = Fail(EEXIST, detail);
    if (fd >= 0) {
        // The file replaced keeps its permissions: a report kept private stays so.
        if (mode != 0)
            ::fchmod(fd, mode);
        int error = 0;
        produce([fd, &error](const std::string& piece) {
            if (error == 0 && !WriteAll(fd, piece))
                error = errno;
            return error == 0;
        });
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (error != 0)
            result = Fail(error, detail);
        if (::close(fd) != 0 && result == Result::Done)
            result = Fail(errno, detail);
        // A link put at the name meanwhile is replaced itself, never followed.
        if (result == Result::Done && ::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0)
            result = Fail(errno, detail);
        if (result != Result::Done)
            ::unlinkat(dir, temporary.c_str(), 0);
        else
            ::fsync(dir);  // the new name, too, on the device
    }
    ::close(dir);
    return result;
}
