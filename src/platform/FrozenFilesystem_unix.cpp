// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FrozenFilesystem.h"

#include "platform/CrashRecord.h"
#include "platform/ExtVolume.h"
#include "platform/NativePath.h"

#include <wx/log.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/fsmap.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

bool Fail(wxString& detail)
{
    detail = wxSysErrorMsgStr(errno);
    return false;
}

// The block device node the filesystem id names ("/dev/sda1").
std::string DeviceNode(uint64_t id)
{
    const dev_t device = static_cast<dev_t>(id);
    const std::string link = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0)
        return std::string();
    const std::string path(target, static_cast<size_t>(length));
    return "/dev/" + path.substr(path.rfind('/') + 1);
}

// The watchdog: a child that holds the read end of a pipe and thaws the
// filesystem unless told, before the pipe closes, that it was thawed. Only
// calls that are safe after fork() in a process with threads.
[[noreturn]] void Watch(int rootFd, int pipeFd)
{
    // Signals that end a run end it in the parent, not here: only SIGKILL
    // takes the watchdog down before its work is done.
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, nullptr);
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3 && null >= 0; ++fd)
        ::dup2(null, fd);
    // Nothing of the parent's stays open here (its state-file lock, the
    // device, pipes a reader waits on), only the two it needs.
    const int low = rootFd < pipeFd ? rootFd : pipeFd, high = rootFd < pipeFd ? pipeFd : rootFd;
    if (low > 3)
        ::close_range(3, low - 1, 0);
    if (high > low + 1)
        ::close_range(low + 1, high - 1, 0);
    ::close_range(high + 1, ~0U, 0);
    char said = 0;
    ssize_t got;
    while ((got = ::read(pipeFd, &said, 1)) < 0 && errno == EINTR) {
    }
    if (got != 1 || said != 'T')
        ::ioctl(rootFd, FITHAW, 0);
    ::_exit(0);
}

}  // namespace

FrozenFilesystem::FrozenFilesystem()
{
    void* memory = nullptr;
    // Direct writes need an address aligned to the device's block.
    if (::posix_memalign(&memory, 4096, bufferSize) == 0)
        buffer = static_cast<unsigned char*>(memory);
}

FrozenFilesystem::~FrozenFilesystem()
{
    Thaw();
    if (deviceFd >= 0)
        ::close(deviceFd);
    if (rootFd >= 0)
        ::close(rootFd);
    std::free(buffer);
}

bool FrozenFilesystem::Freeze(const FreeSpace::Filesystem& filesystem, wxString& detail)
{
    if (!buffer) {
        errno = ENOMEM;
        return Fail(detail);
    }
    std::string nativeRoot;
    if (!NativePath::Encode(filesystem.root, nativeRoot, detail))
        return false;
    rootFd = ::open(nativeRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (rootFd < 0 || ::fstat(rootFd, &st) != 0)
        return Fail(detail);
    if (uint64_t(st.st_dev) != filesystem.id) {
        errno = ESTALE;  // something else is mounted there now
        return Fail(detail);
    }
    const std::string node = DeviceNode(filesystem.id);
    device = wxString(node.c_str(), wxConvFile);
    deviceFd = node.empty() ? -1 : ::open(node.c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
    struct stat device;
    if (deviceFd < 0 || ::fstat(deviceFd, &device) != 0)
        return Fail(detail);
    if (!S_ISBLK(device.st_mode) || uint64_t(device.st_rdev) != filesystem.id) {
        errno = ENODEV;
        return Fail(detail);
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return Fail(detail);
    const pid_t child = ::fork();
    if (child == 0)
        Watch(rootFd, ends[0]);
    ::close(ends[0]);
    if (child < 0) {
        ::close(ends[1]);
        return Fail(detail);
    }
    watchdogPid = child;
    watchdogFd = ends[1];
    root = filesystem.root;
    // Noted first: should the watchdog die with this process, the next start
    // thaws it.
    CrashRecord::NoteFrozen(root, filesystem.id);
    if (::ioctl(rootFd, FIFREEZE, 0) != 0) {
        Fail(detail);
        Thaw();
        return false;
    }
    frozen = true;
    return true;
}

bool FrozenFilesystem::FreeExtents(std::vector<Extent>& extents, wxString& detail)
{
    if (!MappedFree(extents, detail))
        return false;
    // The kernel's map counts as used the rest of the stretches it set aside
    // for files still growing: free on the disk, holding what was there
    // before. The bitmap has them free; it is taken only when it agrees with
    // the kernel's count and map, so that no block in use is ever written.
    ExtVolume volume;
    wxString why;
    struct statvfs vfs;
    if (!volume.ReadHeldStill(device, why) || ::fstatvfs(rootFd, &vfs) != 0) {
        wxLogDebug("free space: bitmap not read: %s", why);
        return true;
    }
    const uint64_t blockSize = volume.GetFacts().blockSize;
    if (volume.GetFacts().freeBlocks * blockSize != uint64_t(vfs.f_bfree) * vfs.f_frsize)
        return true;
    std::vector<Extent> runs;
    for (const ExtVolume::Blocks& run : volume.FreeRuns())
        runs.push_back(Extent{run.first * blockSize, run.count * blockSize});
    size_t in = 0;
    for (const Extent& mapped : extents) {
        while (in < runs.size() && runs[in].offset + runs[in].length <= mapped.offset)
            ++in;
        if (in == runs.size() || mapped.offset < runs[in].offset
            || mapped.offset + mapped.length > runs[in].offset + runs[in].length)
            return true;
    }
    extents.swap(runs);
    return true;
}

bool FrozenFilesystem::MappedFree(std::vector<Extent>& extents, wxString& detail)
{
    extents.clear();
    constexpr unsigned count = 256;
    std::unique_ptr<unsigned char[]> memory(new unsigned char[fsmap_sizeof(count)]());
    auto* head = reinterpret_cast<fsmap_head*>(memory.get());
    head->fmh_count = count;
    head->fmh_keys[1].fmr_device = UINT32_MAX;
    head->fmh_keys[1].fmr_physical = UINT64_MAX;
    head->fmh_keys[1].fmr_owner = UINT64_MAX;
    head->fmh_keys[1].fmr_offset = UINT64_MAX;
    head->fmh_keys[1].fmr_flags = UINT32_MAX;
    struct stat st;
    if (::fstat(rootFd, &st) != 0)
        return Fail(detail);
    for (;;) {
        if (::ioctl(rootFd, FS_IOC_GETFSMAP, head) != 0)
            return Fail(detail);
        if (head->fmh_entries == 0)
            return true;
        for (unsigned i = 0; i < head->fmh_entries; ++i) {
            const fsmap& record = head->fmh_recs[i];
            // Only the filesystem's own device: an outside journal is not ours.
            if (record.fmr_owner == FMR_OWN_FREE && (record.fmr_flags & FMR_OF_SPECIAL_OWNER)
                && record.fmr_device == uint32_t(st.st_dev) && record.fmr_length != 0)
                extents.push_back(Extent{record.fmr_physical, record.fmr_length});
        }
        if (head->fmh_recs[head->fmh_entries - 1].fmr_flags & FMR_OF_LAST)
            return true;
        fsmap_advance(head);
    }
}

bool FrozenFilesystem::Write(uint64_t offset, size_t length, wxString& detail)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(deviceFd, buffer + done, length - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 ? (errno = EIO, Fail(detail)) : Fail(detail);
        done += size_t(n);
    }
    return true;
}

bool FrozenFilesystem::Flush(wxString& detail)
{
    return ::fdatasync(deviceFd) == 0 || Fail(detail);
}

void FrozenFilesystem::Thaw()
{
    if (frozen && ::ioctl(rootFd, FITHAW, 0) != 0)
        wxLogDebug("thaw: %s", wxSysErrorMsgStr(errno));
    frozen = false;
    if (watchdogFd >= 0) {
        // Thawed here: the watchdog must not thaw a freeze someone else
        // makes later.
        const char thawed = 'T';
        if (::write(watchdogFd, &thawed, 1) != 1)
            wxLogDebug("watchdog: %s", wxSysErrorMsgStr(errno));
        ::close(watchdogFd);
        watchdogFd = -1;
        int status;
        ::waitpid(pid_t(watchdogPid), &status, 0);
        CrashRecord::DropFrozen(root);
    }
}
