// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DriveList.h"

#include "platform/MountTable.h"

#include <wx/translation.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

// Deep enough for LVM on LUKS on md; a longer chain is taken for a loop.
const int maximumDepth = 12;

std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string Trimmed(std::string text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
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
    std::sort(names.begin(), names.end());
    return names;
}

uint64_t Number(const std::string& path)
{
    return std::strtoull(FirstLine(path).c_str(), nullptr, 10);
}

// "8:16" in a sysfs dev file.
uint64_t DeviceOf(const std::string& sys)
{
    unsigned high = 0, low = 0;
    if (std::sscanf(FirstLine(sys + "/dev").c_str(), "%u:%u", &high, &low) != 2)
        return 0;
    return makedev(high, low);
}

std::string SysOf(uint64_t device)
{
    char* resolved = ::realpath(("/sys/dev/block/" + std::to_string(major(device)) + ":"
                                 + std::to_string(minor(device))).c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string sys = resolved;
    std::free(resolved);
    return sys;
}

// A field of udev's record of the device ("ID_SERIAL_SHORT").
std::string UdevValue(uint64_t device, const std::string& key)
{
    std::ifstream in("/run/udev/data/b" + std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    const std::string prefix = "E:" + key + "=";
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return Trimmed(line.substr(prefix.size()));
    return std::string();
}

// SCSI's unit serial number page: a four-byte header, then the number.
std::string SerialPage(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (page.size() <= 4)
        return std::string();
    std::string serial;
    for (const char c : page.substr(4))
        if (c >= 0x20 && c < 0x7f)
            serial += c;
    return Trimmed(serial);
}

wxString Text(const std::string& text)
{
    return wxString::FromUTF8(text.c_str());
}

// Every device number the running system stands on: those of /, /boot and
// /usr and of the active swap areas, with the partitions and disks below
// them (a partition's disk, device-mapper's and RAID's members).
void AddBelow(uint64_t device, std::set<uint64_t>& into, int depth)
{
    if (device == 0 || depth > maximumDepth || !into.insert(device).second)
        return;
    std::string sys = SysOf(device);
    if (sys.empty())
        return;
    if (Exists(sys + "/partition"))
        AddBelow(DeviceOf(sys.substr(0, sys.rfind('/'))), into, depth + 1);
    for (const std::string& member : Entries(sys + "/slaves"))
        AddBelow(DeviceOf(sys + "/slaves/" + member), into, depth + 1);
}

struct InUse {
    std::vector<MountTable::Mount> mounts;
    // Each mount's source device where it names one: btrfs numbers its mounts on its own.
    std::vector<uint64_t> sources;
    std::set<uint64_t> swaps;
    std::set<uint64_t> system;
};

InUse FindUse()
{
    InUse use;
    use.mounts = MountTable::All();
    for (const MountTable::Mount& mount : use.mounts) {
        struct stat source {};
        const bool device = mount.source.compare(0, 5, "/dev/") == 0 && ::stat(mount.source.c_str(), &source) == 0
                            && S_ISBLK(source.st_mode);
        use.sources.push_back(device ? source.st_rdev : 0);
    }
    std::ifstream swaps("/proc/swaps");
    std::string line;
    std::getline(swaps, line);  // the heading
    while (std::getline(swaps, line)) {
        // The name is written with spaces escaped as \040; a device has none.
        const std::string name = line.substr(0, line.find_first_of(" \t"));
        struct stat st;
        if (::stat(name.c_str(), &st) != 0)
            continue;
        const uint64_t device = S_ISBLK(st.st_mode) ? st.st_rdev : st.st_dev;
        if (S_ISBLK(st.st_mode))
            use.swaps.insert(device);
        AddBelow(device, use.system, 0);
    }
    for (size_t i = 0; i < use.mounts.size(); ++i) {
        const std::string& at = use.mounts[i].mountPoint;
        if (at != "/" && at != "/boot" && at != "/boot/efi" && at != "/usr")
            continue;
        AddBelow(use.mounts[i].device, use.system, 0);
        AddBelow(use.sources[i], use.system, 0);
    }
    return use;
}

// Why one device (a disk or one of its partitions) is in use.
void AddReasons(const std::string& sys, const std::string& name, const InUse& use, std::vector<wxString>& into)
{
    const uint64_t device = DeviceOf(sys);
    for (size_t i = 0; i < use.mounts.size(); ++i)
        if (use.mounts[i].device == device || use.sources[i] == device)
            into.push_back(wxString::Format(_("%s holds a filesystem mounted on %s."), Text(name),
                                            Text(use.mounts[i].mountPoint)));
    if (use.swaps.count(device))
        into.push_back(wxString::Format(_("%s is an active swap area."), Text(name)));
    const std::vector<std::string> holders = Entries(sys + "/holders");
    if (!holders.empty()) {
        std::string names;
        for (const std::string& holder : holders)
            names += (names.empty() ? "" : ", ") + holder;
        into.push_back(wxString::Format(
            _("%s is in use by %s (LVM, device-mapper, RAID or encryption)."), Text(name), Text(names)));
    }
}

std::vector<wxString> ReasonsFor(const std::string& sys, const InUse& use)
{
    std::vector<wxString> reasons;
    const std::string name = sys.substr(sys.rfind('/') + 1);
    const uint64_t device = DeviceOf(sys);
    if (use.system.count(device))
        reasons.push_back(_("It holds the running system (/, /boot, /usr or swap)."));
    AddReasons(sys, name, use, reasons);
    if (!Exists(sys + "/partition"))
        for (const std::string& entry : Entries(sys))
            if (Exists(sys + "/" + entry + "/partition"))
                AddReasons(sys + "/" + entry, entry, use, reasons);
    if (FirstLine(sys + "/ro") == "1")
        reasons.push_back(_("It is read-only."));
    if (Number(sys + "/size") == 0)
        reasons.push_back(_("It holds no medium (its size is 0)."));
    return reasons;
}

wxString BusOf(const std::string& name, const std::string& sys)
{
    if (name.compare(0, 4, "loop") == 0)
        return "loop";
    if (sys.find("/usb") != std::string::npos)
        return "USB";
    if (name.compare(0, 4, "nvme") == 0)
        return "NVMe";
    if (name.compare(0, 6, "mmcblk") == 0 || sys.find("/mmc_host/") != std::string::npos)
        return "MMC";
    if (sys.find("/ata") != std::string::npos)
        return "SATA";
    if (name.compare(0, 2, "vd") == 0)
        return "virtio";
    if (sys.find("/target") != std::string::npos)
        return "SCSI";
    if (sys.find("/virtio") != std::string::npos)
        return "virtio";
    return wxString();
}

DriveList::Drive Describe(const std::string& sys, const std::string& disk, const InUse& use)
{
    DriveList::Drive drive;
    const std::string name = sys.substr(sys.rfind('/') + 1);
    drive.name = Text(name);
    drive.path = "/dev/" + drive.name;
    drive.device = DeviceOf(sys);
    drive.size = Number(sys + "/size") * 512;  // sysfs counts 512-byte sectors, whatever the device's
    const std::string diskSys = disk.empty() ? sys : sys.substr(0, sys.rfind('/'));
    if (!disk.empty())
        drive.parent = Text(disk);
    const std::string diskName = disk.empty() ? name : disk;
    const uint64_t diskDevice = DeviceOf(diskSys);
    // The bus shows in the device's place under /sys/devices, past the link.
    drive.bus = BusOf(diskName, SysOf(diskDevice));
    if (drive.bus == "loop") {
        drive.serial = Text(FirstLine(diskSys + "/loop/backing_file"));
        drive.model = "Loop device";
    } else {
        drive.vendor = Text(Trimmed(FirstLine(diskSys + "/device/vendor")));
        drive.model = Text(Trimmed(FirstLine(diskSys + "/device/model")));
        // virtio's PCI vendor number names no manufacturer.
        if (drive.vendor.StartsWith("0x"))
            drive.vendor.clear();
        std::string serial = Trimmed(FirstLine(diskSys + "/device/serial"));
        if (serial.empty())
            serial = Trimmed(FirstLine(diskSys + "/serial"));  // virtio
        if (serial.empty())
            serial = SerialPage(diskSys + "/device/vpd_pg80");
        if (serial.empty())
            serial = UdevValue(diskDevice, "ID_SERIAL_SHORT");
        drive.serial = Text(serial);
        if (drive.vendor.empty())
            drive.vendor = Text(UdevValue(diskDevice, "ID_VENDOR"));
        if (drive.model.empty())
            drive.model = Text(UdevValue(diskDevice, "ID_MODEL"));
    }
    const std::string rotational = FirstLine(diskSys + "/queue/rotational");
    drive.media = rotational == "0" ? DriveList::Media::Flash
                  : rotational == "1" ? DriveList::Media::Spinning
                                      : DriveList::Media::Unknown;
    // Memory cards, and USB sticks behind bridges that claim to spin.
    if (drive.bus == "MMC" || drive.bus == "USB")
        drive.media = DriveList::Media::Flash;
    drive.discard = Number(diskSys + "/queue/discard_max_bytes") != 0;
    drive.readOnly = FirstLine(sys + "/ro") == "1";
    drive.refusals = ReasonsFor(sys, use);
    return drive;
}

// Disks worth listing: a loop device only with a backing file; no RAM disks,
// and no device-mapper or RAID device, which are made of other drives.
bool Listed(const std::string& name, const std::string& sys)
{
    if (name.compare(0, 3, "ram") == 0 || name.compare(0, 4, "zram") == 0)
        return false;
    if (name.compare(0, 4, "loop") == 0)
        return !FirstLine(sys + "/loop/backing_file").empty();
    return Entries(sys + "/slaves").empty();
}

}  // namespace

std::vector<DriveList::Drive> DriveList::List()
{
    std::vector<Drive> drives;
    const InUse use = FindUse();
    for (const std::string& name : Entries("/sys/block")) {
        const std::string sys = "/sys/block/" + name;
        if (!Listed(name, sys))
            continue;
        drives.push_back(Describe(sys, std::string(), use));
        for (const std::string& entry : Entries(sys))
            if (Exists(sys + "/" + entry + "/partition"))
                drives.push_back(Describe(sys + "/" + entry, name, use));
    }
    return drives;
}

bool DriveList::Find(const wxString& path, Drive& drive)
{
    struct stat st;
    if (::stat(path.fn_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return false;
    for (const Drive& listed : List()) {
        if (listed.device == st.st_rdev) {
            drive = listed;
            return true;
        }
    }
    return false;
}

std::vector<wxString> DriveList::Refusals(uint64_t device)
{
    const std::string sys = SysOf(device);
    if (sys.empty())
        return {_("It is no longer there.")};
    return ReasonsFor(sys, FindUse());
}

wxString DriveList::MediaName(Media media)
{
    switch (media) {
    case Media::Flash: return "flash";
    case Media::Spinning: return "spinning";
    case Media::Unknown: break;
    }
    return "unknown";
}
