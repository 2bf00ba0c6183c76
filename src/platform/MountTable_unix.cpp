// SPDX-License-Identifier: GPL-3.0-or-later
#include "MountTable.h"

#include <sys/sysmacros.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// mountinfo writes space, tab, newline and backslash in paths as \ooo.
std::string Unescape(const std::string& field)
{
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            text += static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// Every mount, or those of the device "major:minor" when wanted is not empty.
std::vector<MountTable::Mount> Read(const std::string& wanted)
{
    std::vector<MountTable::Mount> mounts;
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line)) {
        // "id parent major:minor root mount-point options [optional...] - type source super-options"
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint;
        fields >> id >> parent >> numbers >> root >> mountPoint;
        const size_t separator = line.find(" - ");
        if ((!wanted.empty() && numbers != wanted) || separator == std::string::npos)
            continue;
        std::istringstream rest(line.substr(separator + 3));
        MountTable::Mount mount;
        rest >> mount.type >> mount.source >> mount.superOptions;
        mount.source = Unescape(mount.source);
        mount.mountPoint = Unescape(mountPoint);
        unsigned high = 0, low = 0;
        if (std::sscanf(numbers.c_str(), "%u:%u", &high, &low) == 2)
            mount.device = makedev(high, low);
        mounts.push_back(mount);
    }
    return mounts;
}

}  // namespace

std::vector<MountTable::Mount> MountTable::Of(uint64_t device)
{
    return Read(std::to_string(major(device)) + ":" + std::to_string(minor(device)));
}

std::vector<MountTable::Mount> MountTable::All()
{
    return Read(std::string());
}
