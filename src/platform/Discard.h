// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <vector>

#include "platform/FileExtents.h"

// Asks a flash drive to discard (TRIM) the blocks that wiped files leave
// free, so that its controller can erase the cells behind them instead of
// keeping them as they are until it reuses them.
//
// On Linux the file's blocks are noted while it is still open and discarded
// after it has been deleted, with FITRIM over exactly those ranges of the
// filesystem: FITRIM only ever discards free blocks, so nothing that another
// file took meanwhile is touched (ext4 may go on into free space beside them). On Windows the file's own clusters are
// trimmed (FSCTL_FILE_LEVEL_TRIM) before the delete.
class Discard {
public:
    enum class Outcome {
        NotAsked,     // not on flash, or nothing to discard
        Discarded,    // the drive was asked to discard them
        Deferred,     // not allowed to this user: the system's next fstrim run does it
        Automatic,    // the filesystem discards freed blocks itself (mounted with discard)
        Unsupported,  // the filesystem or the drive takes no discard requests
        NotFree,      // asked, but none of the blocks was free to discard
        Failed,       // where the blocks lie could not be told, or the request failed
    };

    // With the file open (fd as InPlaceFile gives it) and before its delete.
    void Before(int fd);
    // The same for a file of this program's own (a free-space wipe's fill file).
    void BeforeFile(const wxString& path);
    // Once every file noted has been deleted and closed; folder is on the
    // same filesystem. Bytes() is then what the drive was asked to discard.
    Outcome After(const wxString& folder);

    uint64_t Bytes() const { return bytes; }
    Outcome Result() const { return outcome; }

    // True where this process may ask the drive itself (Linux: root).
    static bool AllowedNow();
    // True where the system discards the free space of its filesystems on a
    // schedule of its own (systemd's fstrim.timer).
    static bool PeriodicTrimEnabled();

#ifndef __WINDOWS__
    // What a FITRIM refused with error means for the files of device.
    static Outcome Refusal(int error, uint64_t device);
    // True for the refusals every later request on the filesystem meets too.
    static bool RefusedForGood(int error);
#endif

private:
    std::vector<FileExtents::Range> extents;  // on the filesystem's device, in bytes
    uint64_t device = 0;
    bool unmapped = false;  // a file's blocks could not all be found
    uint64_t bytes = 0;
    Outcome outcome = Outcome::NotAsked;
};
