// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <vector>

// The drives a whole-drive wipe may be pointed at: whole disks and their
// partitions as the kernel lists them (/sys/block), loop devices that have a
// backing file, and for each why it must not be wiped. Linux only: on
// Windows the list is empty.
class DriveList {
public:
    enum class Media { Unknown, Flash, Spinning };

    struct Drive {
        wxString path;    // "/dev/sdb"
        wxString name;    // "sdb", "loop3", "sdb1"
        wxString parent;  // a partition's disk ("sdb"); empty for a whole disk
        wxString vendor;  // may be empty
        wxString model;
        // The drive's serial number; a loop device's backing file.
        wxString serial;
        wxString bus;     // "USB", "SATA", "NVMe", "SCSI", "virtio", "loop", "MMC", or empty
        uint64_t size = 0;  // bytes
        uint64_t device = 0;  // the device number
        Media media = Media::Unknown;
        bool discard = false;  // takes discard requests (queue/discard_max_bytes)
        // Not told by the kernel before a request: false means "not known",
        // and the wipe tries it first (DriveDevice::Discard).
        bool secureDiscard = false;
        bool readOnly = false;
        // Why it cannot be wiped, each a sentence for the user; empty: it can.
        // Nothing overrides any of them.
        std::vector<wxString> refusals;
    };

    // Every drive in the kernel's order, disks each followed by their
    // partitions; loop devices without a backing file, ram and zram left out.
    static std::vector<Drive> List();
    // The drive whose device node path names (a link, /dev/disk/by-id/...,
    // is followed to it); false when path names no block device in the list.
    static bool Find(const wxString& path, Drive& drive);
    // Why the drive with this device number cannot be wiped, as found now.
    static std::vector<wxString> Refusals(uint64_t device);
    // "flash", "spinning", "unknown".
    static wxString MediaName(Media media);
};
