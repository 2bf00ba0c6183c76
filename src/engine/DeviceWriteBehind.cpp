// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DeviceWriteBehind.h"

#include "platform/DriveDevice.h"

#include <algorithm>

DeviceWriteBehind::DeviceWriteBehind(DriveDevice& device, uint64_t offset, uint64_t length, size_t pieceSize,
                                     size_t alignment, unsigned depth)
    : device(device),
      offset(offset),
      length(length),
      pieceSize(pieceSize),
      depth(std::max(depth, 1u)),
      pieces((length + pieceSize - 1) / pieceSize),
      slots(this->depth + 1),
      unwritten(this->depth)
{
    for (size_t s = 0; s < slots.size(); ++s) {
        slots[s].bytes = AlignedBytes(pieceSize, alignment);
        slots[s].piece = s;
    }
    for (unsigned j = 0; j < this->depth; ++j)
        unwritten[j] = j;
    try {
        for (unsigned j = 0; j < this->depth; ++j)
            writers.emplace_back(&DeviceWriteBehind::OnWriterThread, this, j);
    } catch (...) {
        Join(quit);
        throw;
    }
}

DeviceWriteBehind::~DeviceWriteBehind()
{
    Join(quit);
}

void DeviceWriteBehind::Join(bool& end)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        end = true;
    }
    changed.notify_all();
    for (std::thread& writer : writers)
        if (writer.joinable())
            writer.join();
}

size_t DeviceWriteBehind::PieceLength(uint64_t piece) const
{
    return static_cast<size_t>(std::min<uint64_t>(pieceSize, length - piece * pieceSize));
}

void DeviceWriteBehind::OnWriterThread(unsigned writer)
{
    for (uint64_t k = writer; k < pieces; k += depth) {
        Slot& slot = slots[k % slots.size()];
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return quit || (slot.piece == k && slot.queued) || (finishing && submitted <= k); });
            if (quit || !slot.queued || slot.piece != k)
                return;
        }
        // Written without the lock: the caller leaves a queued slot alone.
        wxString detail;
        const bool wrote = device.Write(offset + k * pieceSize, slot.bytes.get(), PieceLength(k), detail);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (wrote) {
                written.fetch_add(PieceLength(k), std::memory_order_relaxed);
                unwritten[writer] = k + depth;
                slot.piece = k + slots.size();
                slot.queued = false;
            } else {
                failed = true;
                // The other writers go on with what they hold, so that the
                // lowest failure is the one reported whichever came first.
                if (offset + k * pieceSize < firstFailure) {
                    firstFailure = offset + k * pieceSize;
                    failureDetail = detail;
                }
            }
        }
        changed.notify_all();
        if (!wrote)
            return;
    }
}

unsigned char* DeviceWriteBehind::Next(size_t& n)
{
    if (submitted >= pieces)
        return nullptr;
    Slot& slot = slots[submitted % slots.size()];
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return failed || (slot.piece == submitted && !slot.queued); });
    if (failed)
        return nullptr;
    n = PieceLength(submitted);
    return slot.bytes.get();
}

void DeviceWriteBehind::Submit()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        slots[submitted % slots.size()].queued = true;
        ++submitted;
    }
    changed.notify_all();
}

bool DeviceWriteBehind::Finish(uint64_t& failedAt, wxString& detail)
{
    Join(finishing);
    std::lock_guard<std::mutex> lock(mutex);
    if (!failed)
        return true;
    failedAt = firstFailure;
    detail = failureDetail;
    return false;
}

uint64_t DeviceWriteBehind::Reached()
{
    std::lock_guard<std::mutex> lock(mutex);
    const uint64_t piece = *std::min_element(unwritten.begin(), unwritten.end());
    return std::min(length, piece * pieceSize);
}
