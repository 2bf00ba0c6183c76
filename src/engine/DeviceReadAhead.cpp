// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DeviceReadAhead.h"

#include "platform/DriveDevice.h"

#include <algorithm>

DeviceReadAhead::DeviceReadAhead(DriveDevice& device, uint64_t offset, uint64_t length, size_t pieceSize,
                                 size_t alignment)
    : device(device), offset(offset), length(length), pieceSize(pieceSize)
{
    for (Piece& piece : pieces)
        piece.bytes = std::unique_ptr<unsigned char[], Aligned>(
            new (std::align_val_t(alignment)) unsigned char[pieceSize], Aligned{alignment});
    reader = std::thread(&DeviceReadAhead::OnReaderThread, this);
}

DeviceReadAhead::~DeviceReadAhead()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
    }
    changed.notify_all();
    reader.join();
}

void DeviceReadAhead::OnReaderThread()
{
    for (uint64_t k = 0; k * pieceSize < length; ++k) {
        Piece& piece = pieces[k % 2];
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return quit || !piece.ready; });
            if (quit)
                return;
        }
        // Read without the lock: the caller leaves a piece that is not ready alone.
        const uint64_t at = k * pieceSize;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(pieceSize, length - at));
        wxString detail;
        const bool read = device.Read(offset + at, piece.bytes.get(), n, detail);
        {
            std::lock_guard<std::mutex> lock(mutex);
            piece.failed = !read;
            piece.detail = detail;
            piece.ready = true;
        }
        changed.notify_all();
        if (!read)
            return;
    }
}

const unsigned char* DeviceReadAhead::Next(wxString& detail)
{
    std::unique_lock<std::mutex> lock(mutex);
    // The piece handed out last time is free for the reader again.
    if (handedOut != 0) {
        pieces[(handedOut - 1) % 2].ready = false;
        changed.notify_all();
    }
    Piece& piece = pieces[handedOut % 2];
    changed.wait(lock, [&] { return piece.ready; });
    ++handedOut;
    if (piece.failed) {
        detail = piece.detail;
        return nullptr;
    }
    return piece.bytes.get();
}
