#include "Discard.h"

#include <fcntl.h>
#include <linux/fiemap.h>
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

// Extents whose physical address says nothing about where the bytes are.
const unsigned unplaced = FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_ENCODED
                          | FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_DATA_TAIL | FIEMAP_EXTENT_NOT_ALIGNED;

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
    constexpr unsigned count = 64;
    std::vector<unsigned char> space(sizeof(fiemap) + count * sizeof(fiemap_extent));
    for (uint64_t at = 0;;) {
        std::fill(space.begin(), space.end(), 0);
        auto* map = reinterpret_cast<fiemap*>(space.data());
        map->fm_start = at;
        map->fm_length = FIEMAP_MAX_OFFSET - at;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = count;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0) {
            unmapped = true;
            return;
        }
        if (map->fm_mapped_extents == 0)
            return;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& extent = map->fm_extents[i];
            at = extent.fe_logical + extent.fe_length;
            if (extent.fe_flags & unplaced) {
                unmapped = true;
            } else if (!extents.empty() && extents.back().start + extents.back().length == extent.fe_physical) {
                extents.back().length += extent.fe_length;
            } else {
                extents.push_back(Extent{extent.fe_physical, extent.fe_length});
            }
            if (extent.fe_flags & FIEMAP_EXTENT_LAST)
                return;
        }
    }
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
    for (const Extent& extent : extents) {
        fstrim_range range{extent.start, extent.length, 0};
        if (::ioctl(fd, FITRIM, &range) == 0) {
            // ext4 goes on to the end of a free stretch that begins in the
            // range: what it reports can include free space beside the file.
            bytes += std::min<uint64_t>(range.len, extent.length);
            continue;
        }
        if (errno == EPERM || errno == EACCES)
            outcome = Outcome::Deferred;
        else if (errno == EOPNOTSUPP || errno == ENOTTY)
            outcome = Outcome::Unsupported;
        else
            outcome = Outcome::Failed;
        break;
    }
    ::close(fd);
    if ((outcome == Outcome::Deferred || outcome == Outcome::Unsupported) && MountedWithDiscard(device))
        outcome = Outcome::Automatic;
    else if (outcome == Outcome::Discarded && unmapped)
        outcome = Outcome::Failed;
    // Blocks still held (the file open elsewhere), or fewer than the drive
    // discards at once, are passed by.
    else if (outcome == Outcome::Discarded && bytes == 0)
        outcome = Outcome::NotFree;
    return outcome;
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
