// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The kernel's list of mounts (/proc/self/mountinfo), read where a file's
// filesystem must be told apart beyond what statfs says. Linux only.
class MountTable {
public:
    struct Mount {
        std::string mountPoint;    // unescaped
        std::string type;          // "ext4"
        std::string source;        // "/dev/sda2", or what the filesystem names there
        std::string superOptions;  // the filesystem's own options ("rw,data=journal")
        uint64_t device = 0;       // the filesystem's device number, as mountinfo gives it
    };

    // Every mount of the filesystem on this device number, in the kernel's order.
    static std::vector<Mount> Of(uint64_t device);
    // Every mount this process sees, in the kernel's order.
    static std::vector<Mount> All();
};
