// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InPlaceFile.h"

#include <wx/log.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/CrashRecord.h"
#include "platform/NativePath.h"
#include "platform/SystemFilesystem.h"

namespace {

WipeFailure ReasonFor(int error)
{
    switch (error) {
    case ENOENT: return WipeFailure::NotFound;
    case ELOOP: return WipeFailure::Link;
    case EACCES:
    case EPERM:
    case EROFS: return WipeFailure::AccessDenied;
    case ETXTBSY:
    case EBUSY: return WipeFailure::InUse;
    case EISDIR:
    case ENXIO:
    case ENODEV: return WipeFailure::NotRegular;
    default: return WipeFailure::OverwriteFailed;
    }
}

WipeFailure Refuse(int error, wxString& detail)
{
    detail = wxSysErrorMsgStr(error);
    return ReasonFor(error);
}

WipeFailure Kind(const struct stat& st)
{
    if (S_ISLNK(st.st_mode))
        return WipeFailure::Link;
    if (!S_ISREG(st.st_mode))
        return WipeFailure::NotRegular;
    if (st.st_nlink != 1)
        return WipeFailure::HardLinks;
    return WipeFailure::None;
}

// The owner's write permission added to a file the user has allowed to be
// made writable, and the file (reached through /proc, as by Open) opened
// again; the mode goes back as it was when even that fails. -1 with errno
// EACCES when the permission is not the owner's to add.
int OpenMadeWritable(const char* reopen, const struct stat& st)
{
    const mode_t mode = st.st_mode & 07777;
    if ((mode & S_IWUSR) || st.st_uid != ::geteuid() || ::chmod(reopen, mode | S_IWUSR) != 0) {
        errno = EACCES;
        return -1;
    }
    const int opened = ::open(reopen, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (opened < 0) {
        const int error = errno;
        ::chmod(reopen, mode);
        errno = error;
    }
    return opened;
}

}  // namespace

InPlaceFile::~InPlaceFile()
{
    if (readFd >= 0)
        ::close(readFd);
    if (fd >= 0)
        ::close(fd);
    if (keptFolderFd >= 0)
        ::close(keptFolderFd);
}

// Reaches folder without following a link and takes hold of name in it
// without opening it (O_PATH opens nothing: no device acts, no FIFO waits, no
// other program sees an open), then checks what it is. Returns the held
// descriptor, with the entry's stat in st and the folder's descriptor in
// folderFd; -1 with the reason otherwise.
int InPlaceFile::HoldEntry(HeldFolder& holder, const wxString& folder, const wxString& name,
                           std::string& nativeName, struct stat& st, WipeFailure& reason, wxString& detail)
{
    std::string nativeFolder;
    if (!NativePath::Encode(folder, nativeFolder) || !NativePath::Encode(name, nativeName)
        || nativeName.find('/') != std::string::npos) {
        reason = WipeFailure::NotFound;
        return -1;
    }
    int error = 0;
    const int dir = holder.Reach(nativeFolder, error);
    if (dir < 0) {
        reason = Refuse(error, detail);
        if (reason == WipeFailure::Link)
            reason = WipeFailure::Changed;
        return -1;
    }
    folderFd = dir;
    const int entry = ::openat(dir, nativeName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (entry < 0) {
        reason = Refuse(errno, detail);
        return -1;
    }
    // The kernel's own answer first: a folder or device there is its, whatever its kind.
    if (::fstat(entry, &st) != 0) {
        const int error = errno;
        reason = SystemFilesystem::Holds(entry) ? WipeFailure::SystemFile : Refuse(error, detail);
    } else if (holder.OnSystemFilesystem(entry, st))
        reason = WipeFailure::SystemFile;
    else
        reason = Kind(st);
    if (reason != WipeFailure::None) {
        ::close(entry);
        return -1;
    }
    return entry;
}

WipeFailure InPlaceFile::Open(const wxString& folder, const wxString& name, uint64_t& size,
                              wxString& detail, HeldFolder* held)
{
    WipeFailure reason = WipeFailure::None;
    struct stat st;
    std::string nativeName;
    const int entry = HoldEntry(held ? *held : ownFolder, folder, name, nativeName, st, reason, detail);
    if (entry < 0)
        return reason;
    // Only now is that same inode opened for writing, through /proc: a name
    // swapped in since cannot get another file opened.
    const int dir = folderFd;
    char reopen[32];
    std::snprintf(reopen, sizeof reopen, "/proc/self/fd/%d", entry);
    int opened = ::open(reopen, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (opened < 0 && errno == EACCES && clearReadOnly)
        opened = OpenMadeWritable(reopen, st);
    const bool byName = opened < 0 && errno == ENOENT;
    if (byName)  // no /proc: open by name, and check below
        opened = ::openat(dir, nativeName.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const int openError = errno;
    ::close(entry);
    if (opened < 0)
        return Refuse(openError, detail);
    fd = opened;

    // Check again what was really opened, and that it is what was looked at.
    const uint64_t lookedDevice = static_cast<uint64_t>(st.st_dev), lookedInode = static_cast<uint64_t>(st.st_ino);
    if (::fstat(fd, &st) != 0)
        return Refuse(errno, detail);
    if (byName) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return Refuse(errno, detail);
    }
    if (const WipeFailure kind = Kind(st); kind != WipeFailure::None)
        return kind;
    if (static_cast<uint64_t>(st.st_dev) != lookedDevice || static_cast<uint64_t>(st.st_ino) != lookedInode)
        return WipeFailure::Changed;
    fileName = name;
    folderPath = folder;
    device = static_cast<uint64_t>(st.st_dev);
    inode = static_cast<uint64_t>(st.st_ino);
    size = static_cast<uint64_t>(st.st_size);
    return WipeFailure::None;
}

WipeFailure InPlaceFile::Inspect(const wxString& folder, const wxString& name, uint64_t& size,
                                 wxString& detail, HeldFolder* held)
{
    WipeFailure reason = WipeFailure::None;
    struct stat st;
    std::string nativeName;
    const int entry = HoldEntry(held ? *held : ownFolder, folder, name, nativeName, st, reason, detail);
    if (entry < 0)
        return reason;
    // What the write open would be refused for, asked without it: even an
    // open that writes nothing copies a file of an overlay's lower layer up.
    // access() answers for the effective user as open() would: permissions,
    // read-only mounts, immutable files, a running program (ETXTBSY).
    const std::string self = "/proc/self/fd/" + std::to_string(entry);
    struct statvfs vfs;
    int error = 0;
    if (::fstatvfs(entry, &vfs) == 0 && (vfs.f_flag & ST_RDONLY))
        error = EROFS;
    else if (::faccessat(AT_FDCWD, self.c_str(), W_OK, AT_EACCESS) != 0)
        error = errno;
    if (error == ENOENT)  // no /proc: by name, which was just looked at
        error = ::faccessat(folderFd, nativeName.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
    // A file of the user's own that Open would make writable (-f).
    if (error == EACCES && clearReadOnly && !(st.st_mode & S_IWUSR) && st.st_uid == ::geteuid())
        error = 0;
    if (error != 0) {
        ::close(entry);
        return Refuse(error, detail);
    }
    // A run would overwrite the file and then fail to delete it.
    const std::string folderSelf = "/proc/self/fd/" + std::to_string(folderFd);
    if (::faccessat(AT_FDCWD, folderSelf.c_str(), W_OK | X_OK, AT_EACCESS) != 0 && errno != ENOENT) {
        detail = wxSysErrorMsgStr(errno);
        ::close(entry);
        return WipeFailure::DeleteFailed;
    }
    // Read only, for the stretches a pass would write; without the right to
    // read, the whole size counts.
    fd = ::open(self.c_str(), O_RDONLY | O_NOATIME | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == EPERM)  // O_NOATIME is the owner's
        fd = ::open(self.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ::close(entry);
    size = static_cast<uint64_t>(st.st_size);
    return WipeFailure::None;
}

bool InPlaceFile::ReadFromDevice(uint64_t offset, size_t length, unsigned char* data, wxString& detail)
{
    if (readFd < 0) {
        // The same inode through /proc, as Open reached it: no name is looked up again.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        readFd = ::open(self.c_str(), O_RDONLY | O_DIRECT | O_NOCTTY | O_CLOEXEC);
        readDirect = readFd >= 0;
        if (readFd < 0)  // tmpfs and some others refuse direct reads
            readFd = ::open(self.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        if (readFd < 0) {
            detail = wxSysErrorMsgStr(errno);
            return false;
        }
    }
    // Direct reads take whole blocks into aligned memory; 4096 covers every
    // logical block size in use.
    const uint64_t align = readDirect ? 4096 : 1;
    const uint64_t first = offset - offset % align;
    const uint64_t end = (offset + length + align - 1) / align * align;
    unsigned char* into = data;
    std::unique_ptr<void, decltype(&std::free)> aligned(nullptr, &std::free);
    if (readDirect) {
        aligned.reset(std::aligned_alloc(align, end - first));
        if (!aligned) {
            detail = wxSysErrorMsgStr(ENOMEM);
            return false;
        }
        into = static_cast<unsigned char*>(aligned.get());
    } else {
        // Written pages are clean once synced, and clean pages can be
        // dropped: what is read next comes from the device.
        ::fdatasync(fd);
        ::posix_fadvise(readFd, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
    }
    uint64_t got = 0;
    while (first + got < end) {
        const ssize_t n = ::pread(readFd, into + got, static_cast<size_t>(end - first - got),
                                  static_cast<off_t>(first + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            detail = wxSysErrorMsgStr(errno);
            return false;
        }
        if (n == 0)
            break;  // the end of the file, inside the last block
        got += static_cast<uint64_t>(n);
    }
    if (first + got < offset + length) {
        detail = "the file ends before the bytes written";
        return false;
    }
    if (readDirect)
        std::memcpy(data, into + (offset - first), length);
    return true;
}

bool InPlaceFile::Sync(int fd)
{
    return ::fdatasync(fd) == 0;
}

bool InPlaceFile::KeepFolder()
{
    if (keptFolderFd < 0 && folderFd >= 0)
        keptFolderFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    return keptFolderFd >= 0;
}

WipeFailure InPlaceFile::CloseAndDelete(wxString& detail)
{
    if (readFd >= 0)
        ::close(readFd);
    readFd = -1;
    std::string nativeName;
    NativePath::Encode(fileName, nativeName);
    const WipeFailure deleted = DeleteOpenedName(keptFolderFd >= 0 ? keptFolderFd : folderFd, nativeName, detail);
    if (keptFolderFd >= 0)
        ::close(keptFolderFd);
    keptFolderFd = -1;
    // A failed close can mean that written bytes never reached the file.
    const int closed = ::close(fd);
    fd = -1;
    if (deleted == WipeFailure::None && closed != 0) {
        detail = wxSysErrorMsgStr(errno);
        return WipeFailure::OverwriteFailed;
    }
    return deleted;
}

WipeFailure InPlaceFile::DeleteOpenedName(int dir, const std::string& name, wxString& detail)
{
    const auto isOpened = [this](const struct stat& st) {
        return static_cast<uint64_t>(st.st_dev) == device && static_cast<uint64_t>(st.st_ino) == inode;
    };
    // The name must still name the file that was overwritten; anything put in
    // its place since is not ours to delete.
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        detail = wxSysErrorMsgStr(errno);
        return WipeFailure::Changed;
    }
    if (!isOpened(st))
        return WipeFailure::Changed;

    // Between that look and an unlink by name, the name could be swapped for
    // another file's. So the entry is first moved to a name nobody can guess,
    // checked there, and deleted there; if it is not ours it goes back.
    // Made once per thread: setting one up costs more than the rename.
    static thread_local std::random_device random;
    char hidden[48];
    std::snprintf(hidden, sizeof hidden, ".vorlix-%u%u", unsigned(random()), unsigned(random()));
    const char* victim = name.c_str();
    // A crash after the rename leaves the overwritten file under a name
    // nobody knows: the next start deletes it from this record.
    CrashRecord::NoteHidden(folderPath, hidden, device, inode);
    struct Dropped {
        const wxString& folder;
        const char* hidden;
        ~Dropped() { CrashRecord::DropHidden(folder, hidden); }
    } dropped{folderPath, hidden};
    if (::renameat2(dir, name.c_str(), dir, hidden, RENAME_NOREPLACE) == 0) {
        if (afterRename)
            afterRename();
        if (::fstatat(dir, hidden, &st, AT_SYMLINK_NOFOLLOW) != 0 || !isOpened(st)) {
            ::renameat2(dir, hidden, dir, name.c_str(), RENAME_NOREPLACE);
            return WipeFailure::Changed;
        }
        victim = hidden;
    } else if (errno != EINVAL && errno != ENOSYS) {  // else: no such rename here, unlink by name
        detail = wxSysErrorMsgStr(errno);
        return WipeFailure::DeleteFailed;
    }
    if (::unlinkat(dir, victim, 0) != 0) {
        detail = wxSysErrorMsgStr(errno);
        if (victim != name.c_str())
            ::renameat2(dir, victim, dir, name.c_str(), RENAME_NOREPLACE);
        return WipeFailure::DeleteFailed;
    }
    // Whatever name was removed, the opened file must now have none.
    if (::fstat(fd, &st) != 0 || st.st_nlink != 0)
        return WipeFailure::Changed;
    return WipeFailure::None;
}

std::function<void()> InPlaceFile::afterRename;

// Unix has no read-only attribute apart from the permissions, which are the
// owner's to change: only a run told so (vorlix-wipe -f) adds the owner's
// write permission, and the window never asks.

bool InPlaceFile::IsReadOnly(const wxString&)
{
    return false;
}
