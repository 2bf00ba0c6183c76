// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

class DriveDevice;

// A stretch of a drive read in order on a thread of its own, one piece
// ahead of the caller: the drive reads the next piece while the last one is
// compared, as dd's reads never wait for anything else. Pieces are
// pieceSize bytes (the last may be shorter), in buffers aligned for direct
// reads. One per stretch, owned and called by one thread.
class DeviceReadAhead {
public:
    DeviceReadAhead(DriveDevice& device, uint64_t offset, uint64_t length, size_t pieceSize, size_t alignment);
    // Stops the thread after the read it is in.
    ~DeviceReadAhead();
    DeviceReadAhead(const DeviceReadAhead&) = delete;
    DeviceReadAhead& operator=(const DeviceReadAhead&) = delete;

    // The next piece, valid until the next call; null with the system's
    // words in detail when its read failed.
    const unsigned char* Next(wxString& detail);

private:
    struct Aligned {
        size_t alignment;
        void operator()(unsigned char* bytes) const { ::operator delete[](bytes, std::align_val_t(alignment)); }
    };
    struct Piece {
        std::unique_ptr<unsigned char[], Aligned> bytes;
        bool ready = false;   // read, not yet handed back
        bool failed = false;
        wxString detail;
    };

    void OnReaderThread();

    DriveDevice& device;
    const uint64_t offset;
    const uint64_t length;
    const size_t pieceSize;
    uint64_t handedOut = 0;  // pieces given to the caller; the caller's own

    std::mutex mutex;  // guards the pieces' flags and quit
    Piece pieces[2];
    bool quit = false;
    std::condition_variable changed;
    std::thread reader;
};
