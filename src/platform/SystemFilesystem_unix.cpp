// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemFilesystem.h"

#include "platform/MountTable.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <mutex>

namespace {

// Filesystem magic numbers, as in the kernel's magic.h (configfs, mqueue and
// fusectl keep theirs in their own sources).
const uint32_t systemMagics[] = {
    PROC_SUPER_MAGIC,  SYSFS_MAGIC,      CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, DEBUGFS_MAGIC,
    TRACEFS_MAGIC,     SECURITYFS_MAGIC, 0x62656570 /* configfs */, EFIVARFS_MAGIC, BPF_FS_MAGIC,
    PSTOREFS_MAGIC,    DEVPTS_SUPER_MAGIC, BINFMTFS_MAGIC, SELINUX_MAGIC, SMACK_MAGIC, NSFS_MAGIC,
    0x19800202 /* mqueue */, 0x65735543 /* fusectl */,
};

// devtmpfs is a tmpfs to statfs; only the mount table names it. Asked once
// per device: a run over many files on /tmp or /dev/shm reads it once.
bool IsDevtmpfs(dev_t device)
{
    static std::mutex mutex;  // guards known
    static std::map<dev_t, bool> known;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = known.find(device);
        if (found != known.end())
            return found->second;
    }
    bool devtmpfs = false;
    for (const MountTable::Mount& mount : MountTable::Of(device))
        devtmpfs = devtmpfs || mount.type == "devtmpfs";
    std::lock_guard<std::mutex> lock(mutex);
    known[device] = devtmpfs;
    return devtmpfs;
}

}  // namespace

bool SystemFilesystem::Holds(int fd)
{
    struct statfs info;
    if (::fstatfs(fd, &info) != 0)
        return false;
    const uint32_t magic = static_cast<uint32_t>(info.f_type);
    for (const uint32_t system : systemMagics) {
        if (magic == system)
            return true;
    }
    struct stat st;
    return magic == TMPFS_MAGIC && ::fstat(fd, &st) == 0 && IsDevtmpfs(st.st_dev);
}

bool SystemFilesystem::Holds(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool system = Holds(fd);
    ::close(fd);
    return system;
}
