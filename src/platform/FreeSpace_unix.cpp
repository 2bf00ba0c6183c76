// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FreeSpace.h"

#include <wx/log.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/MountTable.h"
#include "platform/NativePath.h"
#include "platform/SystemFilesystem.h"

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000  // Linux 5.8
#endif

namespace {

bool Fail(wxString& detail)
{
    detail = wxSysErrorMsgStr(errno);
    return false;
}

// The topmost folder above path (itself included) on the same device.
std::string MountRoot(const std::string& path, dev_t device)
{
    std::string root = path;
    while (root != "/") {
        const size_t slash = root.rfind('/');
        const std::string parent = slash == 0 ? "/" : root.substr(0, slash);
        struct stat st;
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        root = parent;
    }
    return root;
}

// The type the kernel mounted device at root with; the device's first
// mount when root is not among them (a bind mount).
std::string MountType(dev_t device, const std::string& root)
{
    const std::vector<MountTable::Mount> mounts = MountTable::Of(device);
    for (const MountTable::Mount& mount : mounts) {
        if (mount.mountPoint == root)
            return mount.type;
    }
    return mounts.empty() ? "unknown" : mounts.front().type;
}

// The kernel's name for the block device the filesystem is on ("sda1").
std::string DeviceName(const FreeSpace::Filesystem& filesystem)
{
    const dev_t device = static_cast<dev_t>(filesystem.id);
    const std::string link = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0)
        return std::string();
    const std::string path(target, static_cast<size_t>(length));
    return path.substr(path.rfind('/') + 1);
}

// The blocks ext4 keeps back even from root, for its own metadata; 0 where
// they cannot be told.
uint64_t ReservedBlocks(const FreeSpace::Filesystem& filesystem)
{
    const std::string device = filesystem.type == "ext4" ? DeviceName(filesystem) : std::string();
    uint64_t clusters = 0;
    if (!device.empty()) {
        std::ifstream in("/sys/fs/ext4/" + device + "/reserved_clusters");
        in >> clusters;
    }
    return clusters;  // a cluster is a block unless the filesystem uses bigalloc
}

}  // namespace

bool FreeSpace::Examine(const wxString& folder, Filesystem& filesystem, wxString& detail)
{
    std::string native;
    if (!NativePath::Encode(folder, native, detail))
        return false;
    char* real = ::realpath(native.c_str(), nullptr);
    if (!real)
        return Fail(detail);
    const std::string path = real;
    std::free(real);
    struct stat st;
    struct statvfs vfs;
    if (::stat(path.c_str(), &st) != 0 || ::statvfs(path.c_str(), &vfs) != 0)
        return Fail(detail);
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return Fail(detail);
    }
    const std::string root = MountRoot(path, st.st_dev);
    filesystem.root = NativePath::Decode(root);
    filesystem.type = MountType(st.st_dev, root);
    filesystem.id = st.st_dev;
    filesystem.blockSize = static_cast<uint32_t>(vfs.f_frsize);
    filesystem.freeBytes = uint64_t(vfs.f_bfree) * vfs.f_frsize;
    // Blocks reserved for the system are root's to fill.
    uint64_t writable = vfs.f_bavail;
    if (FillsSystemReserve()) {
        const uint64_t reserved = ReservedBlocks(filesystem);
        writable = vfs.f_bfree > reserved ? vfs.f_bfree - reserved : 0;
    }
    filesystem.writableBytes = writable * vfs.f_frsize;
    struct statfs info;
    filesystem.inMemory = ::statfs(path.c_str(), &info) == 0
                          && (info.f_type == TMPFS_MAGIC || info.f_type == RAMFS_MAGIC);
    filesystem.system = SystemFilesystem::Holds(path);
    filesystem.freezable = ::geteuid() == 0 && !filesystem.inMemory
                           && (filesystem.type == "ext2" || filesystem.type == "ext3" || filesystem.type == "ext4");
    return true;
}

bool FreeSpace::FillsSystemReserve()
{
    return ::geteuid() == 0;
}

uint64_t FreeSpace::IdOf(const wxString& folder)
{
    std::string native;
    struct stat st;
    if (!NativePath::Encode(folder, native) || ::stat(native.c_str(), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_dev);
}

bool FreeSpace::IsJournalled(const wxString& type)
{
    return type == "ext3" || type == "ext4" || type == "xfs" || type == "jfs" || type == "reiserfs";
}

bool FreeSpace::MakeHiddenFolder(const wxString& folder, wxString& detail)
{
    std::string native;
    if (!NativePath::Encode(folder, native, detail))
        return false;
    // The leading dot of its name hides it.
    return ::mkdir(native.c_str(), 0700) == 0 || Fail(detail);
}

bool FreeSpace::RemoveFolder(const wxString& folder, wxString& detail)
{
    std::string native;
    if (!NativePath::Encode(folder, native, detail))
        return false;
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || Fail(detail);
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return Fail(detail);
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // Only the names of this folder go: a link is removed, not followed.
        if (::unlinkat(fd, name.c_str(), 0) != 0
            && (errno != EISDIR || ::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0))
            ok = Fail(detail);
    }
    ::closedir(dir);
    return (::rmdir(native.c_str()) == 0 || Fail(detail)) && ok;
}

void FreeSpace::Sync(const wxString& folder)
{
    std::string native;
    if (!NativePath::Encode(folder, native))
        return;
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::syncfs(fd);
    ::close(fd);
}

uint64_t FreeSpace::JournalBlocks(const Filesystem& filesystem)
{
    if (filesystem.type != "ext3" && filesystem.type != "ext4")
        return 0;
    const std::string device = DeviceName(filesystem);
    // "N transactions (M requested), each up to L blocks": jbd2 caps a
    // transaction at a quarter of the journal or less.
    std::ifstream info("/proc/fs/jbd2/" + device + "-8/info");
    std::string line;
    if (device.empty() || !std::getline(info, line))
        return 0;
    const size_t at = line.find("each up to ");
    return at == std::string::npos ? 0 : 4 * std::strtoull(line.c_str() + at + 11, nullptr, 10);
}

bool FreeSpace::ZeroJournal(const Filesystem& filesystem, bool* notAllowed)
{
    // EXT4_IOC_CHECKPOINT (Linux 5.13) with its zero-out flag: the journal's
    // transactions are written to their places, then all its blocks zeroed.
    constexpr unsigned long checkpoint = _IOW('f', 43, uint32_t);
    constexpr uint32_t zeroOut = 0x2;
    if (notAllowed)
        *notAllowed = false;
    if (filesystem.type != "ext3" && filesystem.type != "ext4") {
        errno = ENOTTY;
        return false;
    }
    std::string native;
    if (!NativePath::Encode(filesystem.root, native))
        return false;
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    uint32_t flags = zeroOut;
    const bool zeroed = ::ioctl(fd, checkpoint, &flags) == 0;
    const int error = errno;
    ::close(fd);
    // The kernel asks for CAP_SYS_ADMIN before anything else.
    if (!zeroed && notAllowed)
        *notAllowed = error == EPERM || error == EACCES;
    errno = error;
    return zeroed;
}

bool FreeSpace::IsMountPoint(const wxString& folder)
{
    std::string native;
    if (!NativePath::Encode(folder, native))
        return false;
    struct statx sx;
    if (::statx(AT_FDCWD, native.c_str(), 0, STATX_INO, &sx) != 0)
        return false;
    if (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    // Before Linux 5.8: the folder above is on another device, or is the
    // folder itself (the root); a bind mount inside one filesystem passes unseen.
    struct stat here, above;
    if (::stat(native.c_str(), &here) != 0 || ::stat((native + "/..").c_str(), &above) != 0)
        return false;
    return here.st_dev != above.st_dev || here.st_ino == above.st_ino;
}

wxString FreeSpace::Join(const wxString& folder, const wxString& name)
{
    return folder.EndsWith("/") ? folder + name : folder + "/" + name;
}
