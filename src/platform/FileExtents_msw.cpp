// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileExtents.h"

#include <windows.h>

#include <winioctl.h>

#include <io.h>

#include <algorithm>

std::vector<FileExtents::Range> FileExtents::Allocated(int fd, uint64_t from, uint64_t to)
{
    std::vector<Range> ranges;
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    LARGE_INTEGER size;
    if (from >= to || handle == INVALID_HANDLE_VALUE || !::GetFileSizeEx(handle, &size))
        return from < to ? std::vector<Range>{Range{from, to - from}} : ranges;
    const uint64_t end = (std::min)(to, static_cast<uint64_t>(size.QuadPart));
    uint64_t at = from;
    while (at < end) {
        FILE_ALLOCATED_RANGE_BUFFER query;
        query.FileOffset.QuadPart = static_cast<LONGLONG>(at);
        query.Length.QuadPart = static_cast<LONGLONG>(end - at);
        FILE_ALLOCATED_RANGE_BUFFER found[64];
        DWORD bytes = 0;
        const BOOL done = ::DeviceIoControl(handle, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, found,
                                            sizeof found, &bytes, nullptr);
        const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
        const size_t count = bytes / sizeof found[0];
        if ((error != ERROR_SUCCESS && error != ERROR_MORE_DATA) || (error == ERROR_MORE_DATA && count == 0)) {
            // Not a filesystem that can tell (or a handle without read access):
            // take the rest as data.
            ranges.push_back(Range{at, end - at});
            break;
        }
        for (size_t i = 0; i < count; ++i) {
            const uint64_t first = (std::max)(at, static_cast<uint64_t>(found[i].FileOffset.QuadPart));
            const uint64_t last = (std::min)(end, static_cast<uint64_t>(found[i].FileOffset.QuadPart)
                                                    + static_cast<uint64_t>(found[i].Length.QuadPart));
            if (first < last)
                ranges.push_back(Range{first, last - first});
        }
        if (error == ERROR_SUCCESS)
            break;
        // More than fit: ask again from the end of the last one.
        const uint64_t next = static_cast<uint64_t>(found[count - 1].FileOffset.QuadPart)
                              + static_cast<uint64_t>(found[count - 1].Length.QuadPart);
        if (next <= at) {
            ranges.push_back(Range{at, end - at});
            break;
        }
        at = next;
    }
    return ranges;
}
