#include "platform/InPlaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsLoneRegularFile(const struct stat& st)
{
    return S_ISREG(st.st_mode) && st.st_nlink == 1;
}

}  // namespace

int InPlaceFile::Open(const wxString& path, uint64_t& size)
{
    // The same conversion as wxFile and wxRemoveFile use, so that the file
    // overwritten is the one deleted afterwards.
    const auto name = path.fn_str();
    if (!name.data() || !*name.data())
        return -1;

    // Look before opening: opening a device can act on it by itself.
    struct stat st;
    if (::lstat(name, &st) != 0 || !IsLoneRegularFile(st))
        return -1;

    // O_NONBLOCK: should the name have become a FIFO since, the open must not
    // wait for a reader.
    const int fd = ::open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;

    // Check again what was really opened; the name may have changed meanwhile.
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !IsLoneRegularFile(st) || flags == -1
        || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

bool InPlaceFile::Sync(int fd)
{
    return ::fsync(fd) == 0;
}
