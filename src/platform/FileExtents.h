// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

// Where an open file keeps its bytes: the stretches of it that hold data (for
// the passes, which skip a sparse file's holes) and, on Linux, the device
// blocks behind them (for the discard after the delete). One map of the file
// answers both.
class FileExtents {
public:
    // A stretch of a file or a device: its first byte's offset and its length.
    struct Range {
        uint64_t offset;
        uint64_t length;
    };

    // The stretches of [from, to) that the open file fd holds data in, in
    // order: a sparse file's holes and anything past its end are left out.
    // Where the system cannot tell, all of [from, to) up to the end is one
    // stretch: writing a hole costs room, skipping data would leave it behind.
    // Moves fd's position.
    static std::vector<Range> Allocated(int fd, uint64_t from, uint64_t to);

#ifndef __WINDOWS__
    // The device's byte ranges that hold the open file fd's data, adjacent
    // ones joined, appended to onDevice. False when some of it could not be
    // placed (no map, or extents that are inline, delayed or encoded); what
    // was placed is still appended.
    static bool OnDevice(int fd, std::vector<Range>& onDevice);
#endif
};
