// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DeviceReadAhead.h"

#include "platform/DriveDevice.h"

#include <algorithm>

DeviceReadAhead::DeviceReadAhead(DriveDevice& device, uint64_t offset, uint64_t length, size_t pieceSize,
                                 size_t alignment, unsigned depth)
    : device(device), offset(offset), length(length), pieceSize(pieceSize), depth(std::max(depth, 1u)),
      slots(this->depth + 1)
{
    for (size_t s = 0; s < slots.size(); ++s) {
        slots[s].bytes = AlignedBytes(pieceSize, alignment);
        slots[s].piece = s;
    }
    try {
        for (unsigned j = 0; j < this->depth; ++j)
            readers.emplace_back(&DeviceReadAhead::OnReaderThread, this, j);
    } catch (...) {
        Stop();
        throw;
    }
}

DeviceReadAhead::~DeviceReadAhead()
{
    Stop();
}

void DeviceReadAhead::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
    }
    changed.notify_all();
    for (std::thread& reader : readers)
        if (reader.joinable())
            reader.join();
}

void DeviceReadAhead::OnReaderThread(unsigned reader)
{
    for (uint64_t k = reader; k * pieceSize < length; k += depth) {
        Slot& slot = slots[k % slots.size()];
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return quit || (slot.piece == k && !slot.ready); });
            if (quit)
                return;
        }
        // Read without the lock: the caller leaves a slot that is not ready alone.
        const uint64_t at = k * pieceSize;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(pieceSize, length - at));
        wxString detail;
        const bool read = device.Read(offset + at, slot.bytes.get(), n, detail);
        {
            std::lock_guard<std::mutex> lock(mutex);
            slot.failed = !read;
            slot.detail = detail;
            slot.ready = true;
        }
        changed.notify_all();
        if (!read)
            return;
    }
}

const unsigned char* DeviceReadAhead::Next(wxString& detail)
{
    std::unique_lock<std::mutex> lock(mutex);
    // The slot handed out last time is free for the piece that comes next to it.
    if (handedOut != 0) {
        Slot& last = slots[(handedOut - 1) % slots.size()];
        last.piece += slots.size();
        last.ready = false;
        changed.notify_all();
    }
    Slot& slot = slots[handedOut % slots.size()];
    changed.wait(lock, [&] { return slot.ready; });
    ++handedOut;
    if (slot.failed) {
        detail = slot.detail;
        return nullptr;
    }
    return slot.bytes.get();
}
