// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PathBinding.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/NativePath.h"

namespace {

// Splits an absolute path into its components, dropping empty ones and ".".
// ".." stays: in a path with no links it means what it says.
std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(std::move(part));
        start = end + 1;
    }
    return parts;
}

// Lexically normalised absolute form of a folder that does not exist (yet).
std::string Absolute(const std::string& folder)
{
    std::string absolute = folder;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return std::string();
        absolute = std::string(cwd) + "/" + absolute;
    }
    std::vector<std::string> kept;
    for (std::string& part : Components(absolute)) {
        if (part == "..") {
            if (!kept.empty())
                kept.pop_back();
        } else {
            kept.push_back(std::move(part));
        }
    }
    std::string result;
    for (const std::string& part : kept)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

}  // namespace

bool PathBinding::Locate(const wxString& path, wxString& folder, wxString& name, uint64_t& size)
{
    Places once;
    return Locate(path, folder, name, size, once);
}

bool PathBinding::Locate(const wxString& path, wxString& folder, wxString& name, uint64_t& size, Places& places)
{
    std::string native;
    if (!NativePath::Encode(path, native) || native.empty())
        return false;
    // "dir/" names dir itself.
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    const size_t slash = native.find_last_of('/');
    const std::string base = slash == std::string::npos ? native : native.substr(slash + 1);
    if (base.empty() || base == "." || base == "..")
        return false;
    std::string parent = slash == std::string::npos ? "." : native.substr(0, slash);
    if (parent.empty())
        parent = "/";

    auto known = places.find(parent);
    if (known == places.end()) {
        std::string real;
        if (char* resolved = ::realpath(parent.c_str(), nullptr)) {
            real = resolved;
            std::free(resolved);
        } else {
            real = Absolute(parent);
            if (real.empty())
                return false;
        }
        known = places.emplace(parent, NativePath::Decode(real)).first;
    }
    struct stat st;
    size = ::lstat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : UINT64_MAX;
    folder = known->second;
    name = NativePath::Decode(base);
    return true;
}
