// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverwriteCaveat.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "MountTable.h"
#include "NativePath.h"

namespace {

struct Kind {
    uint32_t magic;
    const char* name;
};

// Filesystem magic numbers, as in the kernel's magic.h.
const Kind caveats[] = {
    {0x9123683E, "btrfs"},        {0x2FC12FC1, "ZFS"},       {0xCA451A4E, "bcachefs"},
    {0xF2F52010, "F2FS"},         {0x3434, "NILFS"},         {0x794C7630, "overlay"},
    {0x6969, "NFS"},              {0xFF534D42, "CIFS"},      {0xFE534D42, "SMB2"},
    {0x517B, "SMB"},              {0x00C36400, "Ceph"},      {0x01021997, "9P"},
    {0x5346414F, "AFS"},          {0x6B414653, "AFS"},       {0x47504653, "GPFS"},
    {0x65735546, "FUSE"},
};

const uint32_t ext4Magic = 0xEF53;

// True when the ext4 filesystem on device is mounted with data=journal: its
// journal then keeps copies of the data written, the old bytes included.
bool JournalsData(dev_t device)
{
    for (const MountTable::Mount& mount : MountTable::Of(device)) {
        if (("," + mount.superOptions + ",").find(",data=journal,") != std::string::npos)
            return true;
    }
    return false;
}

// True for a small ext4 file kept inside its inode, whose every change goes
// through the journal.
bool HasInlineData(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    long flags = 0;
    const bool inlined = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_INLINE_DATA_FL);
    ::close(fd);
    return inlined;
}

}  // namespace

OverwriteCaveat::Ground OverwriteCaveat::OfFilesystem(const wxString& path)
{
    std::string native;
    struct statfs info;
    if (!NativePath::Encode(path, native) || statfs(native.c_str(), &info) != 0)
        return Ground();
    const uint32_t magic = static_cast<uint32_t>(info.f_type);
    for (const Kind& kind : caveats) {
        if (kind.magic == magic)
            return Ground{wxString(kind.name) + " filesystem", false};
    }
    struct stat st;
    if (magic != ext4Magic || ::lstat(native.c_str(), &st) != 0)
        return Ground();
    if (JournalsData(st.st_dev))
        return Ground{"ext4 filesystem (data=journal)", false};
    // A small file may still be kept in its inode.
    return Ground{wxString(), true};
}

wxString OverwriteCaveat::OfFile(const wxString& path, const Ground& ground)
{
    if (!ground.fileDecides)
        return ground.kind;
    std::string native;
    struct stat st;
    // An inode holds less than a block: a file of a block or more keeps its
    // data in blocks, and needs no open to tell.
    if (NativePath::Encode(path, native) && ::lstat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode)
        && (st.st_blksize <= 0 || st.st_size < st.st_blksize) && HasInlineData(native))
        return "ext4 filesystem (inline data)";
    return wxString();
}
