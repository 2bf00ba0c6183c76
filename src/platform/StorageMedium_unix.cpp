// SPDX-License-Identifier: GPL-3.0-or-later
#include "StorageMedium.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "MountTable.h"
#include "NativePath.h"

namespace {

using Kind = StorageMedium::Kind;

// Deep enough for a loop device on a filesystem on LVM on LUKS on md; a
// longer chain is taken for a loop and given up on.
const int maximumDepth = 12;

std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    return names;
}

// Flash wins: a copy on any flash member is out of the overwrite's reach.
Kind Worse(Kind a, Kind b)
{
    if (a == Kind::Flash || b == Kind::Flash)
        return Kind::Flash;
    if (a == Kind::Unknown || b == Kind::Unknown)
        return Kind::Unknown;
    if (a == Kind::Spinning || b == Kind::Spinning)
        return Kind::Spinning;
    return Kind::Memory;
}

Kind OfFile(const std::string& path, int depth);

Kind OfBlockDevice(dev_t device, int depth)
{
    if (depth > maximumDepth)
        return Kind::Unknown;
    char* resolved = ::realpath(("/sys/dev/block/" + std::to_string(major(device)) + ":"
                                 + std::to_string(minor(device))).c_str(), nullptr);
    if (!resolved)
        return Kind::Unknown;
    std::string sys = resolved;
    std::free(resolved);
    // A partition's queue and members are its disk's.
    if (Exists(sys + "/partition"))
        sys = sys.substr(0, sys.rfind('/'));
    const std::string name = sys.substr(sys.rfind('/') + 1);
    const std::string rotational = FirstLine(sys + "/queue/rotational");
    const Kind own = rotational == "0" ? Kind::Flash : rotational == "1" ? Kind::Spinning : Kind::Unknown;

    if (name.compare(0, 4, "zram") == 0 || name.compare(0, 3, "ram") == 0)
        return Kind::Memory;
    // A loop device's blocks are its backing file's. The kernel sets the loop's
    // own flag from that file's disk; a flag set by hand counts too.
    if (Exists(sys + "/loop")) {
        const std::string backing = FirstLine(sys + "/loop/backing_file");
        const Kind under = backing.empty() ? Kind::Unknown : OfFile(backing, depth + 1);
        if (under == Kind::Flash || own == Kind::Flash)
            return Kind::Flash;
        return under == Kind::Spinning || under == Kind::Memory ? own : Worse(own, under);
    }
    // Device-mapper (LVM, LUKS) and md RAID: the disks underneath.
    const std::vector<std::string> members = Entries(sys + "/slaves");
    if (!members.empty()) {
        Kind kind = Kind::Memory;
        for (const std::string& member : members) {
            unsigned memberMajor = 0, memberMinor = 0;
            const std::string numbers = FirstLine(sys + "/slaves/" + member + "/dev");
            if (std::sscanf(numbers.c_str(), "%u:%u", &memberMajor, &memberMinor) != 2)
                return Kind::Unknown;
            kind = Worse(kind, OfBlockDevice(makedev(memberMajor, memberMinor), depth + 1));
        }
        return kind;
    }
    // Memory cards, and USB mass storage, whose bridges often claim to spin.
    if (name.compare(0, 6, "mmcblk") == 0 || sys.find("/mmc_host/") != std::string::npos
        || sys.find("/usb") != std::string::npos)
        return Kind::Flash;
    return own;
}

Kind OfFile(const std::string& path, int depth)
{
    struct statfs fs;
    struct stat st;
    if (::statfs(path.c_str(), &fs) != 0 || ::stat(path.c_str(), &st) != 0)
        return Kind::Unknown;
    if (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC)
        return Kind::Memory;
    if (major(st.st_dev) != 0)
        return OfBlockDevice(st.st_dev, depth);
    // btrfs and others give their files a device number of their own: the
    // mount table names the real device.
    for (const MountTable::Mount& mount : MountTable::Of(st.st_dev)) {
        struct stat source;
        if (mount.source.compare(0, 5, "/dev/") == 0 && ::stat(mount.source.c_str(), &source) == 0
            && S_ISBLK(source.st_mode))
            return OfBlockDevice(source.st_rdev, depth);
    }
    return Kind::Unknown;
}

}  // namespace

StorageMedium::Kind StorageMedium::Of(const wxString& path)
{
    std::string native;
    struct stat st;
    if (!NativePath::Encode(path, native) || ::stat(native.c_str(), &st) != 0)
        return Kind::Unknown;
    const auto found = known.find(static_cast<uint64_t>(st.st_dev));
    if (found != known.end())
        return found->second;
    const Kind kind = OfFile(native, 0);
    known[static_cast<uint64_t>(st.st_dev)] = kind;
    return kind;
}
