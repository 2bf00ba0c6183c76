// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Writeback.h"

#include <fcntl.h>

void Writeback::Start(int fd, uint64_t offset, uint64_t length)
{
#ifdef SYNC_FILE_RANGE_WRITE
    // Queues the range's dirty pages for writing and returns: no waiting for
    // the device, and no promise either (the pass's sync gives that).
    ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)offset;
    (void)length;
#endif
}

void Writeback::Settle(int fd, uint64_t end)
{
#ifdef SYNC_FILE_RANGE_WRITE
    if (end != 0)
        ::sync_file_range(fd, 0, static_cast<off_t>(end),
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#else
    (void)fd;
    (void)end;
#endif
}
