// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileExtents.h"

#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

using Range = FileExtents::Range;

// Hands each extent the filesystem maps in [from, end) of fd to each, in
// order. Unlike SEEK_DATA, the map includes unwritten extents (fallocate,
// FALLOC_FL_ZERO_RANGE): they read as zeros but their blocks still hold the
// old bytes. False where the filesystem has no such map.
template <class Each>
bool ForEachExtent(int fd, uint64_t from, uint64_t end, Each each)
{
    constexpr unsigned count = 64;
    std::vector<unsigned char> space(sizeof(fiemap) + count * sizeof(fiemap_extent));
    for (uint64_t at = from; at < end;) {
        std::fill(space.begin(), space.end(), 0);
        auto* map = reinterpret_cast<fiemap*>(space.data());
        map->fm_start = at;
        map->fm_length = end - at;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = count;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0)
            return false;
        if (map->fm_mapped_extents == 0)
            break;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& extent = map->fm_extents[i];
            each(extent);
            at = std::max<uint64_t>(at, extent.fe_logical + extent.fe_length);
            if (extent.fe_flags & FIEMAP_EXTENT_LAST)
                return true;
        }
    }
    return true;
}

// Adds [first, stop) to ranges, joined to the last one where they meet.
void Append(std::vector<Range>& ranges, uint64_t first, uint64_t stop)
{
    if (!ranges.empty() && ranges.back().offset + ranges.back().length == first)
        ranges.back().length += stop - first;
    else
        ranges.push_back(Range{first, stop - first});
}

// Extents whose physical address says nothing about where the bytes are.
const unsigned unplaced = FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_ENCODED
                          | FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_DATA_TAIL | FIEMAP_EXTENT_NOT_ALIGNED;

}  // namespace

std::vector<Range> FileExtents::Allocated(int fd, uint64_t from, uint64_t to)
{
    std::vector<Range> ranges;
    struct stat st;
    if (from >= to)
        return ranges;
    if (::fstat(fd, &st) != 0)
        return {Range{from, to - from}};
    const uint64_t end = std::min(to, static_cast<uint64_t>(st.st_size));
    // As many blocks as bytes: no hole worth looking for (preallocated blocks
    // count too, and writing them is harmless).
    if (static_cast<uint64_t>(st.st_blocks) * 512 >= static_cast<uint64_t>(st.st_size))
        return from < end ? std::vector<Range>{Range{from, end - from}} : ranges;
    const bool mapped = ForEachExtent(fd, from, end, [&](const fiemap_extent& extent) {
        const uint64_t first = std::max(from, static_cast<uint64_t>(extent.fe_logical));
        const uint64_t stop = std::min(end, static_cast<uint64_t>(extent.fe_logical + extent.fe_length));
        if (first < stop)
            Append(ranges, first, stop);
    });
    if (mapped)
        return ranges;
    ranges.clear();
    for (uint64_t at = from; at < end;) {
        const off_t data = ::lseek(fd, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;  // only a hole from here to the end
        const off_t hole = data < 0 ? data : ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0) {
            // The filesystem cannot tell: take the rest as data.
            ranges.push_back(Range{at, end - at});
            break;
        }
        const uint64_t first = static_cast<uint64_t>(data);
        if (first >= end)
            break;
        const uint64_t last = std::min(end, static_cast<uint64_t>(hole));
        ranges.push_back(Range{first, last - first});
        at = last;
    }
    return ranges;
}

bool FileExtents::OnDevice(int fd, std::vector<Range>& onDevice)
{
    bool placed = true;
    const bool mapped = ForEachExtent(fd, 0, FIEMAP_MAX_OFFSET, [&](const fiemap_extent& extent) {
        if (extent.fe_flags & unplaced)
            placed = false;
        else
            Append(onDevice, extent.fe_physical, extent.fe_physical + extent.fe_length);
    });
    return mapped && placed;
}
