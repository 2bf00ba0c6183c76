// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <cstdint>

// A whole drive (a block device) opened for overwriting every block of it,
// or, for the tests, a regular file standing for one. A block device is
// held exclusively (O_EXCL): nothing can mount it or claim it for a RAID or
// device-mapper while it is open. Writes and reads go past the page cache
// (O_DIRECT) where the device allows it; buffers and offsets are then
// multiples of Alignment(). Not on Windows: Open() fails there.
class DriveDevice {
public:
    enum class Opened {
        Yes,
        Busy,      // EBUSY: mounted, used or claimed by someone else
        ReadOnly,  // the kernel refuses writes to it
        Failed,    // detail: the system's words
    };
    enum class DiscardKind { None, Secure, Plain };

    DriveDevice() = default;
    ~DriveDevice();
    DriveDevice(const DriveDevice&) = delete;
    DriveDevice& operator=(const DriveDevice&) = delete;

    // path: a block device or a regular file. detail: the system's words.
    Opened Open(const wxString& path, wxString& detail);
    bool IsBlockDevice() const { return blockDevice; }
    uint64_t Device() const { return device; }  // the device number; 0 for a file
    uint64_t Size() const { return size; }
    uint32_t SectorSize() const { return sectorSize; }
    // What buffers, offsets and lengths must be multiples of: the sector
    // size with O_DIRECT, 1 without.
    size_t Alignment() const { return direct ? sectorSize : 1; }
    bool Direct() const { return direct; }

    // n bytes at offset, all of them or false with detail set.
    bool Write(uint64_t offset, const void* data, size_t n, wxString& detail);
    bool Read(uint64_t offset, void* data, size_t n, wxString& detail);
    // Everything written is on the device, its cache flushed, and nothing of
    // it is left in the page cache, so that a read comes from the device.
    bool Sync(wxString& detail);
    // Without O_DIRECT: starts putting written bytes on the device and
    // waits for those before end (as Writeback does for files).
    void StartWriteback(uint64_t offset, uint64_t length);
    void Settle(uint64_t end);
    // Discards the whole device: a secure discard where the device takes
    // one, else a plain one. None, with detail, when it takes neither or
    // the request failed.
    DiscardKind DiscardAll(wxString& detail);
    void Close();

private:
    int fd = -1;
    bool blockDevice = false;
    bool direct = false;
    uint64_t device = 0;
    uint64_t size = 0;
    uint32_t sectorSize = 512;
};
