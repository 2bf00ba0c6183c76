// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WipeMethod.h"

#include <wx/datetime.h>
#include <wx/string.h>

#include <cstdint>

// What one whole-drive wipe did, as plain facts: what a certificate of the
// wipe states and what the end of the run tells. Filled in by DriveWiper;
// complete once its run has finished. Texts meant for people (verifyResult,
// stopReason) are in the user's language; the short codes are not.
struct DriveWipeFacts {
    // The drive, as DriveList found it when the run began.
    wxString device;        // "/dev/sdb"
    wxString name;          // "sdb"
    wxString manufacturer;  // vendor as the drive or udev names it; may be empty
    wxString model;
    wxString serial;        // a loop device's backing file
    wxString bus;           // "USB", "SATA", "NVMe", "SCSI", "virtio", "loop", "MMC", or empty
    wxString media;         // "flash", "spinning" or "unknown"
    uint64_t size = 0;      // bytes
    uint32_t sectorSize = 0;  // logical block size, bytes

    // How it was overwritten.
    WipeMethod method = WipeMethod::Random;
    int passes = 1;
    // The passes in order, e.g. "random" or "0x00, 0xFF, random block".
    wxString pattern;
    // "all" (every block read back), "sample" or "none".
    wxString verification;
    // The last pass was read back (all or the sample) and matched.
    bool verified = false;
    // What the read-back found: "every block matched", the first offset
    // that differs, why it could not read, or empty when not done.
    wxString verifyResult;
    uint64_t bytesVerified = 0;
    // The first byte that differed; meaningful only when mismatch is set.
    bool mismatch = false;
    uint64_t mismatchOffset = 0;

    // After the verification, where the drive takes discards.
    bool discarded = false;
    // "secure discard" (BLKSECDISCARD), "discard" (BLKDISCARD), or empty
    // when none was done.
    wxString discardKind;
    // Why no discard was done, or how it failed; empty when done.
    wxString discardNote;

    wxDateTime start, end;  // UTC
    // Every pass written over every block, verified as asked and nothing
    // failed.
    bool complete = false;
    // Written over all passes; passesDone whole passes, and how far the
    // pass that was cut short got (bytes from the drive's start).
    uint64_t bytesWritten = 0;
    int passesDone = 0;
    uint64_t reached = 0;
    bool stopped = false;  // stopped by the user (or a signal)
    // Why it is not complete, for people; empty when it is.
    wxString stopReason;

    // Who and what did it; the face fills these in.
    wxString host;
    wxString operatorName;
    wxString toolVersion;  // "Vorlix 1.0.0"
};
