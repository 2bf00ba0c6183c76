// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SharedSync.h"

#include "platform/InPlaceFile.h"

#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A filesystem on a local block device, whose filesystem-wide sync writes
// every file's data and flushes the device's cache, or one in memory.
bool SyncsAsAWhole(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53UL:      // ext2, ext3, ext4
    case 0x58465342UL:  // XFS
    case 0x9123683EUL:  // Btrfs
    case 0xF2F52010UL:  // F2FS
    case 0x4D44UL:      // FAT
    case 0x2011BAB0UL:  // exFAT
    case 0x01021994UL:  // tmpfs
        return true;
    default: return false;
    }
}

}  // namespace

void SharedSync::Of(const std::vector<File>& files, std::vector<bool>& synced)
{
    synced.assign(files.size(), false);
    std::vector<bool> done(files.size(), false);
    int lastError = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (done[i])
            continue;
        if (!SyncsAsAWhole(files[i].fd)) {
            synced[i] = InPlaceFile::Sync(files[i].fd);
            lastError = synced[i] ? lastError : errno;
            done[i] = true;
            continue;
        }
        // Since Linux 5.8 syncfs also reports a write that failed since
        // this descriptor was opened, whoever's it was: then none counts.
        const bool all = ::syncfs(files[i].fd) == 0;
        lastError = all ? lastError : errno;
        for (size_t j = i; j < files.size(); ++j) {
            if (!done[j] && files[j].device == files[i].device) {
                synced[j] = all;
                done[j] = true;
            }
        }
    }
    if (lastError != 0)
        errno = lastError;
}
