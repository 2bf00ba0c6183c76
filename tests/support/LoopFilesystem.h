#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

// A filesystem image of its own type mounted on a loop device, unmounted and
// removed at the end. Usable() is false where mounting is not possible (not
// root, no loop devices, no mkfs for the type).
class LoopFilesystem {
public:
    explicit LoopFilesystem(const std::string& type = "ext4", const std::string& size = "64M",
                            const std::string& mkfsOptions = "")
    {
        char pattern[] = "/tmp/vorlix-loop-XXXXXX";
        if (geteuid() != 0 || !::mkdtemp(pattern))
            return;
        folder = pattern;
        image = folder + "/image";
        mountPoint = folder + "/mnt";
        const std::string format = (type == "ext4" ? "mkfs.ext4 -q -F" : "mkfs." + type + " -q -f") + " " + mkfsOptions;
        usable = Run("mkdir '" + mountPoint + "'") && Run("truncate -s " + size + " '" + image + "'")
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
