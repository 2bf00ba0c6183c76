// SPDX-License-Identifier: GPL-3.0-or-later
#include "Discard.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "MountTable.h"
#include "NativePath.h"

namespace {

bool MountedWithDiscard(uint64_t device)
{
    for (const MountTable::Mount& mount : MountTable::Of(device)) {
        if (("," + mount.superOptions + ",").find(",discard,") != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace

void Discard::Before(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        unmapped = true;
        return;
    }
    device = static_cast<uint64_t>(st.st_dev);
    if (!FileExtents::OnDevice(fd, extents))
        unmapped = true;
}

void Discard::BeforeFile(const wxString& path)
{
    std::string native;
    const int fd = NativePath::Encode(path, native)
                       ? ::open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC)
                       : -1;
    if (fd < 0) {
        unmapped = true;
        return;
    }
    Before(fd);
    ::close(fd);
}

Discard::Outcome Discard::After(const wxString& folder)
{
    // An empty file leaves nothing to discard.
    if (extents.empty() && !unmapped)
        return outcome = Outcome::NotAsked;
    std::string native;
    const int fd = NativePath::Encode(folder, native)
                       ? ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                       : -1;
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_dev) != device) {
        if (fd >= 0)
            ::close(fd);
        return outcome = Outcome::Failed;
    }
    // The blocks of a deleted file are free only once the journal has
    // committed the delete; until then FITRIM passes them by.
    ::syncfs(fd);
    outcome = Outcome::Discarded;
    for (const FileExtents::Range& extent : extents) {
        fstrim_range range{extent.offset, extent.length, 0};
        if (::ioctl(fd, FITRIM, &range) == 0) {
            // ext4 goes on to the end of a free stretch that begins in the
            // range: what it reports can include free space beside the file.
            bytes += std::min<uint64_t>(range.len, extent.length);
            continue;
        }
        outcome = Refusal(errno, device);
        break;
    }
    ::close(fd);
    if (outcome == Outcome::Discarded && unmapped)
        outcome = Outcome::Failed;
    // Blocks still held (the file open elsewhere), or fewer than the drive
    // discards at once, are passed by.
    else if (outcome == Outcome::Discarded && bytes == 0)
        outcome = Outcome::NotFree;
    return outcome;
}

Discard::Outcome Discard::Refusal(int error, uint64_t device)
{
    Outcome refused = Outcome::Failed;
    if (error == EPERM || error == EACCES)
        refused = Outcome::Deferred;
    else if (error == EOPNOTSUPP || error == ENOTTY)
        refused = Outcome::Unsupported;
    else
        return refused;
    return MountedWithDiscard(device) ? Outcome::Automatic : refused;
}

bool Discard::RefusedForGood(int error)
{
    return error == EPERM || error == EACCES || error == EOPNOTSUPP || error == ENOTTY;
}

bool Discard::AllowedNow()
{
    return ::geteuid() == 0;
}

bool Discard::PeriodicTrimEnabled()
{
    struct stat st;
    for (const char* folder : {"/etc/systemd/system/", "/usr/lib/systemd/system/", "/lib/systemd/system/"}) {
        if (::stat((std::string(folder) + "timers.target.wants/fstrim.timer").c_str(), &st) == 0)
            return true;
    }
    return false;
}
