// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DriveDevice.h"

#include <wx/log.h>

#include <cerrno>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

wxString Said(int error)
{
    return wxSysErrorMsgStr(error);
}

}  // namespace

DriveDevice::~DriveDevice()
{
    Close();
}

void DriveDevice::Close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

DriveDevice::Opened DriveDevice::Open(const wxString& path, wxString& detail)
{
    Close();
    struct stat st;
    if (::stat(path.fn_str(), &st) != 0) {
        detail = Said(errno);
        return Opened::Failed;
    }
    blockDevice = S_ISBLK(st.st_mode);
    if (!blockDevice && !S_ISREG(st.st_mode)) {
        detail = Said(ENOTBLK);
        return Opened::Failed;
    }
    // O_EXCL on a block device claims it: a mount, swapon, RAID or
    // device-mapper now gets EBUSY, and so does this open if one of them
    // holds it (or a partition of it) already. A file, which only the tests
    // wipe, goes through the page cache: O_DIRECT would need its tail aligned.
    const int flags = O_RDWR | O_CLOEXEC | (blockDevice ? O_EXCL : 0);
    direct = blockDevice;
    fd = ::open(path.fn_str(), flags | (direct ? O_DIRECT : 0));
    if (fd < 0 && direct && errno == EINVAL) {
        direct = false;
        fd = ::open(path.fn_str(), flags);
    }
    if (fd < 0) {
        const int error = errno;
        detail = Said(error);
        return error == EBUSY ? Opened::Busy : error == EROFS ? Opened::ReadOnly : Opened::Failed;
    }
    if (blockDevice) {
        int readOnly = 0;
        unsigned long long bytes = 0;
        int sector = 0;
        if (::ioctl(fd, BLKROGET, &readOnly) == 0 && readOnly != 0) {
            Close();
            detail = Said(EROFS);
            return Opened::ReadOnly;
        }
        if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0 || ::ioctl(fd, BLKSSZGET, &sector) != 0 || sector <= 0) {
            detail = Said(errno);
            Close();
            return Opened::Failed;
        }
        size = bytes;
        sectorSize = static_cast<uint32_t>(sector);
        device = st.st_rdev;
    } else {
        size = static_cast<uint64_t>(st.st_size);
        sectorSize = 512;
        device = 0;
    }
    return Opened::Yes;
}

bool DriveDevice::Write(uint64_t offset, const void* data, size_t n, wxString& detail)
{
    const char* bytes = static_cast<const char*>(data);
    while (n != 0) {
        const ssize_t written = ::pwrite(fd, bytes, n, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            detail = Said(written == 0 ? ENOSPC : errno);
            return false;
        }
        bytes += written;
        offset += static_cast<uint64_t>(written);
        n -= static_cast<size_t>(written);
    }
    return true;
}

bool DriveDevice::Read(uint64_t offset, void* data, size_t n, wxString& detail)
{
    char* bytes = static_cast<char*>(data);
    while (n != 0) {
        const ssize_t got = ::pread(fd, bytes, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // The device ended before its size: shrunk under the run.
            detail = Said(got == 0 ? EIO : errno);
            return false;
        }
        bytes += got;
        offset += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool DriveDevice::Sync(wxString& detail)
{
    // On a block device fsync also flushes the drive's own write cache.
    if (::fsync(fd) != 0) {
        detail = Said(errno);
        return false;
    }
    // Clean pages may still hold what was written: a read-back must come from the device.
    if (!direct)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    return true;
}

void DriveDevice::StartWriteback(uint64_t offset, uint64_t length)
{
    if (!direct)
        ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
}

void DriveDevice::Settle(uint64_t end)
{
    if (!direct && end != 0)
        ::sync_file_range(fd, 0, static_cast<off_t>(end),
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
}

DriveDevice::DiscardKind DriveDevice::DiscardAll(wxString& detail)
{
    if (!blockDevice) {
        detail = Said(ENOTBLK);
        return DiscardKind::None;
    }
    uint64_t range[2] = {0, size};
    if (::ioctl(fd, BLKSECDISCARD, range) == 0)
        return DiscardKind::Secure;
    // Most drives take no secure discard; the plain one is the next best.
    if (::ioctl(fd, BLKDISCARD, range) == 0)
        return DiscardKind::Plain;
    detail = Said(errno);
    return DiscardKind::None;
}
