// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Filesystems through which the kernel shows its own state and settings
// (proc, sysfs, cgroups, debugfs, efivarfs...): what looks like a file there is
// a live setting, a device or a firmware variable, and writing "random bytes"
// into it changes the system instead of destroying stored data. Nothing on
// them is ever opened for writing, and no walk enters them.
class SystemFilesystem {
public:
#ifndef __WINDOWS__
    // True when fd (any open descriptor, O_PATH included) lies on such a
    // filesystem. Costs one fstatfs; a tmpfs is looked up once in the mount
    // table, as devtmpfs shares its magic number.
    static bool Holds(int fd);
    // The same for a native path, links followed; false when it cannot be
    // looked at.
    static bool Holds(const std::string& path);
#endif
};
