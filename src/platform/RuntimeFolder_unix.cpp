#include "RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A folder another user could write to would let them plant the lock or the
// socket, so only an owned folder closed to others (or the system's per-user
// runtime folder, which is made so) is accepted.
bool IsPrivateFolder(const wxString& path, bool requireClosed)
{
    struct stat info;
    if (lstat(path.fn_str(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return false;
    return !requireClosed || (info.st_mode & 077) == 0;
}

}  // namespace

wxString RuntimeFolder::Path()
{
    const unsigned long uid = static_cast<unsigned long>(geteuid());
    const wxString system = wxString::Format("/run/user/%lu", uid);
    if (IsPrivateFolder(system, false))
        return system;

    const wxString own = wxString::Format("/tmp/vorlix-%lu", uid);
    if (mkdir(own.fn_str(), 0700) != 0 && errno != EEXIST)
        return wxString();
    return IsPrivateFolder(own, true) ? own : wxString();
}
