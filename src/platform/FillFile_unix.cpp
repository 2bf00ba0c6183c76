// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FillFile.h"

#include <wx/log.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/NativePath.h"
#include "platform/Writeback.h"

namespace {

bool IsFull(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

}  // namespace

FillFile::~FillFile()
{
    Close();
}

FillFile::Outcome FillFile::Fail()
{
    const int error = errno;
    detail = wxSysErrorMsgStr(error);
    return IsFull(error) ? Outcome::Full : Outcome::Failed;
}

FillFile::Outcome FillFile::Create(const wxString& path)
{
    std::string native;
    if (!NativePath::Encode(path, native, detail))
        return Outcome::Failed;
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Fail();
    handle = fd;
    return Outcome::Written;
}

bool FillFile::AnnounceSize(uint64_t size)
{
    // A size past the end allocates nothing: only the allocator's view of
    // the file changes.
    return ::ftruncate(static_cast<int>(handle), off_t(size)) == 0 || (Fail(), false);
}

FillFile::Outcome FillFile::Write(const unsigned char* bytes, size_t n, size_t& written)
{
    written = 0;
    while (written < n) {
        const ssize_t result = ::write(static_cast<int>(handle), bytes + written, n - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return Fail();
        if (result == 0) {
            errno = ENOSPC;
            return Fail();
        }
        written += static_cast<size_t>(result);
        position += static_cast<uint64_t>(result);
    }
    if (position - unpushed >= Writeback::stretch) {
        Writeback::Start(static_cast<int>(handle), unpushed, position - unpushed);
        Writeback::Settle(static_cast<int>(handle), unpushed);
        unpushed = position;
    }
    return Outcome::Written;
}

bool FillFile::Rewind()
{
    position = unpushed = 0;
    return ::lseek(static_cast<int>(handle), 0, SEEK_SET) == 0 || (Fail(), false);
}

bool FillFile::Sync()
{
    // The size is part of what fdatasync pushes; times are not needed.
    return ::fdatasync(static_cast<int>(handle)) == 0 || (Fail(), false);
}

bool FillFile::Close()
{
    if (handle < 0)
        return true;
    const int fd = static_cast<int>(handle);
    handle = -1;
    return ::close(fd) == 0 || (Fail(), false);
}

bool FillFile::Remove(const wxString& path)
{
    std::string native;
    return NativePath::Encode(path, native) && ::unlink(native.c_str()) == 0;
}
