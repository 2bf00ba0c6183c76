// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/FreeSpaceWiper.h"
#include "engine/WipeMethod.h"
#include "platform/ExtVolume.h"

#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// Overwrites everything unused on an ext2/3/4 filesystem that is not mounted,
// a block device or an image file, directly through ExtVolume: the names and
// slack left in directory blocks, the slots of unused inodes, the journal
// (emptied already, as Open makes sure) and every free block, the last two
// with each of the method's passes, each flushed to the device before the
// next. Every write leaves the filesystem consistent, so a stop at any point
// does too. One run per object; Run() works on the caller's thread.
class VolumeWiper {
public:
    // Whether path is a device or image for this wiper rather than a folder.
    static bool IsVolume(const wxString& path) { return ExtVolume::IsDeviceOrImage(path); }
    // Whether this system can wipe one, and the unmounted ext drives found.
    static bool Supported() { return ExtVolume::Supported(); }
    static std::vector<wxString> FindUnmounted() { return ExtVolume::FindUnmounted(); }
    // Opens path read-only to see what a run would do; false with the reason
    // for the user in refusal (a mounted one names its mount point).
    static bool Inspect(const wxString& path, ExtVolume::Facts& facts, wxString& refusal);
    // The bytes a run writes over free blocks and the journal, all passes.
    static uint64_t BytesToWrite(const ExtVolume::Facts& facts, WipeMethod method);

    VolumeWiper(const wxString& path, WipeMethod method);
    VolumeWiper(const VolumeWiper&) = delete;
    VolumeWiper& operator=(const VolumeWiper&) = delete;

    void Run();
    // Stops at the next write, with the filesystem consistent.
    void RequestStop() { stopRequested = true; }
    uint64_t BytesWritten() const { return bytesWritten.load(std::memory_order_relaxed); }
    // 0 until the directories and inodes are done and the rest is known.
    uint64_t TotalBytes() const { return totalBytes.load(); }
    bool IsFinished() const { return finished.load(); }
    FreeSpaceWiper::Result GetResult() const;

private:
    enum class Pattern { Random, Zeros, Ones };

    bool ShouldStop() const;
    // Each pass over runs, flushed after; false when it failed or was stopped.
    bool Overwrite(ExtVolume& volume, const std::vector<ExtVolume::Blocks>& runs, const std::vector<Pattern>& passes);
    // Text of the refusal Open() gave.
    static wxString RefusalText(ExtVolume::Refusal refusal, const wxString& path, const wxString& detail);
    void Fail(const wxString& what);

    const wxString path;
    const WipeMethod method;
    std::vector<unsigned char> buffer;  // worker thread only

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
    std::atomic<uint64_t> bytesWritten{0};
    std::atomic<uint64_t> totalBytes{0};

    mutable std::mutex resultMutex;  // guards result
    FreeSpaceWiper::Result result;
};
