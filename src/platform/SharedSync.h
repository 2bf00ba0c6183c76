// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

// Many open files' written bytes put on their devices in as few calls as the
// system allows: one filesystem-wide sync for those on a local disk
// filesystem (or in memory), each file's own elsewhere, since a network or
// user-space filesystem may sync only what it is asked to by file.
class SharedSync {
public:
    struct File {
        int fd;           // as InPlaceFile gives it
        uint64_t device;  // InPlaceFile::Device()
    };
    // synced[i] says whether files[i]'s bytes reached its device; errno
    // holds the last failure's reason.
    static void Of(const std::vector<File>& files, std::vector<bool>& synced);
};
