// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FreeSpace.h"

#include <wx/string.h>

#include <cstdint>
#include <vector>

// A mounted filesystem held still for a moment, so that the blocks it keeps
// free can be written on the device beneath it: while frozen the kernel
// allocates nothing there and other programs' writes wait instead of
// failing. Only root may do it, only on ext2/3/4 is the free-space map read.
// A watchdog process thaws the filesystem the moment this process ends,
// however it ends; a crash record covers the watchdog's own end.
class FrozenFilesystem {
public:
    struct Extent {
        uint64_t offset = 0;  // bytes from the start of the device
        uint64_t length = 0;
    };

    // The size of the buffer Write takes its bytes from.
    static constexpr size_t bufferSize = 1 << 20;

    FrozenFilesystem();
    // Thaws the filesystem if it is still frozen.
    ~FrozenFilesystem();
    FrozenFilesystem(const FrozenFilesystem&) = delete;
    FrozenFilesystem& operator=(const FrozenFilesystem&) = delete;

    // Opens the device under filesystem for direct writes, starts the
    // watchdog and freezes; false, with the reason in detail, when any of it
    // cannot be done (then nothing is frozen).
    bool Freeze(const FreeSpace::Filesystem& filesystem, wxString& detail);
    // The free extents, in device order: those on the disk's own bitmap, or
    // where it cannot be read the ones the kernel's map lists.
    bool FreeExtents(std::vector<Extent>& extents, wxString& detail);
    // bufferSize bytes, aligned for direct writes, for the caller to fill.
    unsigned char* Buffer() { return buffer; }
    // Writes the first length bytes of the buffer at offset (both multiples
    // of the filesystem's block size) straight to the device.
    bool Write(uint64_t offset, size_t length, wxString& detail);
    // Waits until everything written has reached the device.
    bool Flush(wxString& detail);
    // Lets the filesystem go on; the watchdog ends.
    void Thaw();

private:
    // The extents the kernel's free-space map (GETFSMAP) lists.
    bool MappedFree(std::vector<Extent>& extents, wxString& detail);

    wxString device;  // the node written to
    int rootFd = -1;
    int deviceFd = -1;
    int watchdogFd = -1;  // the watchdog thaws when this closes unannounced
    long watchdogPid = 0;
    bool frozen = false;
    wxString root;
    unsigned char* buffer = nullptr;
};
