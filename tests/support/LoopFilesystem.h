// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

// A filesystem image of its own type mounted on a loop device, unmounted and
// removed at the end. Usable() is false where mounting is not possible (not
// root, no loop devices, no mkfs for the type). The image lives in a new
// folder in under: on tmpfs (/dev/shm) each discard the loop device gets
// becomes a hole in it. An allocated image takes all its blocks at once, so
// that its size there falls only by what is discarded.
class LoopFilesystem {
public:
    explicit LoopFilesystem(const std::string& type = "ext4", const std::string& size = "64M",
                            const std::string& mkfsOptions = "", const std::string& under = "/tmp",
                            bool allocated = false)
    {
        std::string pattern = under + "/vorlix-loop-XXXXXX";
        if (geteuid() != 0 || !::mkdtemp(&pattern[0]))
            return;
        folder = pattern;
        image = folder + "/image";
        mountPoint = folder + "/mnt";
        const std::string format = (type == "ext4" ? "mkfs.ext4 -q -F" : "mkfs." + type + " -q -f") + " " + mkfsOptions;
        usable = Run("mkdir '" + mountPoint + "'") && Run((allocated ? "fallocate -l " : "truncate -s ") + size + " '" + image + "'")
                 && Run(format + " '" + image + "'") && Mount();
    }
    ~LoopFilesystem()
    {
        if (mounted)
            Unmount();
        if (!folder.empty())
            Run("rm -rf '" + folder + "'");
    }
    LoopFilesystem(const LoopFilesystem&) = delete;
    LoopFilesystem& operator=(const LoopFilesystem&) = delete;

    bool Usable() const { return usable; }
    std::string Path(const std::string& name) const { return mountPoint + "/" + name; }
    const std::string& Image() const { return image; }

    bool Mount(const std::string& options = "")
    {
        mounted = Run("mount -o loop" + (options.empty() ? "" : "," + options) + " '" + image + "' '" + mountPoint + "'");
        return mounted;
    }
    bool Unmount()
    {
        mounted = !Run("umount '" + mountPoint + "'");
        return !mounted;
    }

    // The loop device's queue as sysfs shows it ("/sys/block/loop3/queue").
    std::string Queue() const
    {
        struct stat st;
        if (::stat(mountPoint.c_str(), &st) != 0)
            return std::string();
        return "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev))
               + "/queue";
    }
    // Makes the loop device look like a spinning disk (true) or an SSD.
    bool SetRotational(bool rotational)
    {
        std::ofstream flag(Queue() + "/rotational");
        flag << (rotational ? "1" : "0");
        flag.close();
        return flag.good();
    }
    // Whether the loop device takes discard requests: some kernels give loop
    // devices none, and then nothing on it can be discarded.
    bool TakesDiscards() const
    {
        uint64_t most = 0;
        std::ifstream(Queue() + "/discard_max_bytes") >> most;
        return most > 0;
    }
    // The blocks the image takes where it lives, in bytes.
    uint64_t ImageAllocated() const
    {
        struct stat st;
        return ::stat(image.c_str(), &st) == 0 ? uint64_t(st.st_blocks) * 512 : 0;
    }

private:
    static bool Run(const std::string& command)
    {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }

    std::string folder;
    std::string image;
    std::string mountPoint;
    bool usable = false;
    bool mounted = false;
};
