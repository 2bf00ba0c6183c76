// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AlignedBytes.h"

#include <wx/string.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class DriveDevice;

// A stretch of a drive read in order by `depth` threads of its own, that
// many pieces ahead of the caller: the drive reads the next pieces while the
// last one is compared, and a drive past the page cache takes two reads at
// once faster than one after the other. Pieces are pieceSize bytes (the
// last may be shorter), in depth + 1 buffers aligned for direct reads;
// reader j reads the pieces k with k % depth == j, in order. One per
// stretch, owned and called by one thread.
class DeviceReadAhead {
public:
    static constexpr unsigned defaultDepth = 2;

    DeviceReadAhead(DriveDevice& device, uint64_t offset, uint64_t length, size_t pieceSize, size_t alignment,
                    unsigned depth = defaultDepth);
    // Stops the threads after the reads they are in.
    ~DeviceReadAhead();
    DeviceReadAhead(const DeviceReadAhead&) = delete;
    DeviceReadAhead& operator=(const DeviceReadAhead&) = delete;

    // The next piece, valid until the next call; null with the system's
    // words in detail when its read failed.
    const unsigned char* Next(wxString& detail);

private:
    // Piece k goes through slot k % (depth + 1); a slot holds the next piece
    // that will use it, ready from the end of its read until the caller is
    // done with it.
    struct Slot {
        AlignedBytes bytes;
        uint64_t piece = 0;
        bool ready = false;
        bool failed = false;
        wxString detail;
    };

    void OnReaderThread(unsigned reader);
    void Stop();

    DriveDevice& device;
    const uint64_t offset;
    const uint64_t length;
    const size_t pieceSize;
    const unsigned depth;
    uint64_t handedOut = 0;  // pieces given to the caller; the caller's own

    std::mutex mutex;  // guards the slots' fields but their bytes, and quit
    std::vector<Slot> slots;
    bool quit = false;
    std::condition_variable changed;
    std::vector<std::thread> readers;
};
