// SPDX-License-Identifier: GPL-3.0-or-later
#include "RuntimeFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "NativePath.h"

namespace {

// Another user who could write to the folder could plant the lock or the
// socket, and one who could enter it could reach the socket: only an owned
// real folder (not a link to one) closed to others is accepted.
bool IsPrivateFolder(const wxString& path)
{
    std::string native;
    struct stat info;
    if (!NativePath::Encode(path, native) || lstat(native.c_str(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

void MakeFolder(const wxString& path)
{
    std::string native;
    if (NativePath::Encode(path, native))
        mkdir(native.c_str(), 0700);
}

// An absolute path from the environment; relative ones are ignored, as the
// XDG rules ask.
wxString FromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? NativePath::Decode(value) : wxString();
}

wxString CacheFolder()
{
    const wxString cache = FromEnvironment("XDG_CACHE_HOME");
    if (!cache.empty())
        return cache;
    wxString home = FromEnvironment("HOME");
    if (home.empty()) {
        if (const passwd* user = getpwuid(geteuid()); user && user->pw_dir && user->pw_dir[0] == '/')
            home = NativePath::Decode(user->pw_dir);
    }
    if (home.empty())
        return wxString();
    MakeFolder(home + "/.cache");
    return home + "/.cache";
}

}  // namespace

wxString RuntimeFolder::Path()
{
    const wxString given = FromEnvironment("XDG_RUNTIME_DIR");
    if (!given.empty() && IsPrivateFolder(given))
        return given;

    const wxString system = wxString::Format("/run/user/%lu", static_cast<unsigned long>(geteuid()));
    if (IsPrivateFolder(system))
        return system;

    const wxString cache = CacheFolder();
    if (cache.empty())
        return wxString();
    const wxString own = cache + "/vorlix-runtime";
    MakeFolder(own);
    return IsPrivateFolder(own) ? own : wxString();
}
