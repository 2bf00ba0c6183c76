// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AlignedBytes.h"

#include <wx/string.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class DriveDevice;

// A stretch of a drive written in order by `depth` threads of its own while
// the caller fills the next piece: a drive past the page cache takes two
// writes at once faster than one after the other, as two dd's over halves
// show. Pieces are pieceSize bytes (the last may be shorter), in depth + 1
// buffers aligned for direct writes; writer j writes the pieces k with
// k % depth == j, in order. One per stretch, owned and called by one thread.
class DeviceWriteBehind {
public:
    static constexpr unsigned defaultDepth = 2;

    DeviceWriteBehind(DriveDevice& device, uint64_t offset, uint64_t length, size_t pieceSize, size_t alignment,
                      unsigned depth = defaultDepth);
    // Ends the threads after the writes they are in; pieces submitted but
    // not begun are left unwritten.
    ~DeviceWriteBehind();
    DeviceWriteBehind(const DeviceWriteBehind&) = delete;
    DeviceWriteBehind& operator=(const DeviceWriteBehind&) = delete;

    // Room for the next piece, n of its bytes to fill, once the write that
    // last used the buffer is done; null once a write failed or every piece
    // was handed out. Submit() before asking for another.
    unsigned char* Next(size_t& n);
    void Submit();
    // Waits for every piece submitted. False when a write failed: the
    // lowest failing piece's offset on the drive, and the system's words.
    bool Finish(uint64_t& failedAt, wxString& detail);

    // Bytes written so far, from any thread.
    uint64_t Written() const { return written.load(std::memory_order_relaxed); }
    // How far from the stretch's start every byte is written.
    uint64_t Reached();

private:
    // Piece k goes through slot k % (depth + 1); a slot holds the next piece
    // that will use it, Queued from its Submit() to the end of its write.
    struct Slot {
        AlignedBytes bytes;
        uint64_t piece = 0;
        bool queued = false;
    };

    void OnWriterThread(unsigned writer);
    size_t PieceLength(uint64_t piece) const;
    // Sets end (quit, or finishing) and waits for the writers to leave.
    void Join(bool& end);

    DriveDevice& device;
    const uint64_t offset;
    const uint64_t length;
    const size_t pieceSize;
    const unsigned depth;
    const uint64_t pieces;
    uint64_t submitted = 0;  // written by the caller only, under the lock

    std::mutex mutex;  // guards the slots' fields but their bytes, and all below
    std::vector<Slot> slots;
    std::vector<uint64_t> unwritten;  // each writer's next piece
    bool finishing = false;
    bool quit = false;
    bool failed = false;
    uint64_t firstFailure = UINT64_MAX;
    wxString failureDetail;
    std::condition_variable changed;
    std::atomic<uint64_t> written{0};
    std::vector<std::thread> writers;
};
