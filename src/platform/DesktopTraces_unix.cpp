// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopTraces.h"

#include "NativePath.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

// The thumbnail sizes freedesktop.org names, each a folder of its own.
const char* const thumbnailSizes[] = {"normal", "large", "x-large", "xx-large"};
// Larger than any thumbnail: a file this big in the cache is not read.
const off_t thumbnailLimit = 16 << 20;

struct Freer {
    void operator()(gpointer p) const { g_free(p); }
};
using GText = std::unique_ptr<char, Freer>;

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsFolder(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names in folder, read once; sub-folders only, or files only.
std::vector<std::string> Listing(const std::string& folder, bool folders)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const bool isFolder = entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && IsFolder(Join(folder, name)));
        if (isFolder == folders)
            names.push_back(name);
    }
    closedir(dir);
    return names;
}

// The file name a URI has in a thumbnail cache: the MD5 of the URI's bytes.
std::string ThumbnailName(const char* uri)
{
    GText md5(g_compute_checksum_for_string(G_CHECKSUM_MD5, uri, -1));
    return std::string(md5.get()) + ".png";
}

// The native path a file: URI names; empty for any other URI.
std::string PathOfUri(const char* uri)
{
    GText path(g_filename_from_uri(uri, nullptr, nullptr));
    return path ? std::string(path.get()) : std::string();
}

// The Thumb::URI text of a PNG thumbnail, from its tEXt (or plain iTXt)
// chunk. Hand-written: the chunk layout is a few lines, and a PNG library
// would decode the picture too. False, with reason, when it cannot be read.
bool ThumbnailUri(const std::string& path, std::string& uri, wxString& reason)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        reason = wxString::FromUTF8(std::strerror(errno));
        if (fd >= 0)
            close(fd);
        return false;
    }
    std::string data;
    if (S_ISREG(info.st_mode) && info.st_size <= thumbnailLimit) {
        data.resize(static_cast<size_t>(info.st_size));
        size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = read(fd, &data[got], data.size() - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        data.resize(got);
    }
    close(fd);
    const auto be32 = [&data](size_t at) {
        return (uint32_t(uint8_t(data[at])) << 24) | (uint32_t(uint8_t(data[at + 1])) << 16)
               | (uint32_t(uint8_t(data[at + 2])) << 8) | uint32_t(uint8_t(data[at + 3]));
    };
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (data.compare(0, 8, signature, 8) != 0)
        return true;  // no PNG: names no file
    const std::string key = "Thumb::URI";
    for (size_t at = 8; at + 12 <= data.size();) {
        const size_t length = be32(at);
        const std::string type = data.substr(at + 4, 4);
        if (length > data.size() - at - 12 || type == "IEND")
            break;
        const std::string body = data.substr(at + 8, length);
        const size_t nul = body.find('\0');
        if (nul == key.size() && body.compare(0, nul, key) == 0) {
            if (type == "tEXt") {
                uri = body.substr(nul + 1);
                return true;
            }
            // iTXt: compression flag and method, language and translated key, each NUL-ended.
            if (type == "iTXt" && body.size() > nul + 2 && body[nul + 1] == 0) {
                const size_t language = body.find('\0', nul + 3);
                const size_t translated = language == std::string::npos ? language : body.find('\0', language + 1);
                if (translated != std::string::npos) {
                    uri = body.substr(translated + 1);
                    return true;
                }
            }
        }
        at += length + 12;
    }
    return true;
}

// The URL key of a KDE RecentDocuments entry. Read by hand: GKeyFile refuses
// the whole file over KDE's "URL[$e]" (a key with KConfig's expand flag).
std::string KdeUrl(const std::string& desktopFile)
{
    GText contents;
    gsize length = 0;
    {
        gchar* text = nullptr;
        if (!g_file_get_contents(desktopFile.c_str(), &text, &length, nullptr))
            return std::string();
        contents.reset(text);
    }
    bool inEntry = false;
    const std::string text(contents.get(), length);
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || line.compare(0, 3, "URL") != 0)
            continue;
        size_t value = 3;
        if (value < line.size() && line[value] == '[')
            value = line.find(']', value);
        if (value == std::string::npos || ++value > line.size())
            continue;
        while (value < line.size() && line[value] == ' ')
            ++value;
        if (value < line.size() && line[value] == '=')
            return line.substr(value + 1);
    }
    return std::string();
}

// A KDE RecentDocuments entry's URL as a native path; empty when it names
// no local file. KDE writes $HOME for the home folder, and the URL as shown
// (not always escaped).
std::string KdeTarget(const std::string& desktopFile)
{
    std::string value = KdeUrl(desktopFile);
    for (const char* prefix : {"", "file:", "file://"}) {
        for (const char* home : {"$HOME", "${HOME}"}) {
            const std::string start = std::string(prefix) + home;
            if (value.compare(0, start.size(), start) == 0)
                value = prefix + std::string(g_get_home_dir()) + value.substr(start.size());
        }
    }
    if (value.compare(0, 7, "file://") == 0) {
        const std::string path = PathOfUri(value.c_str());
        return path.empty() ? value.substr(7) : path;
    }
    if (value.compare(0, 6, "file:/") == 0)
        return value.substr(5);
    return !value.empty() && value[0] == '/' ? value : std::string();
}

bool Gone(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) != 0 && errno == ENOENT;
}

bool Inside(const std::string& path, const std::string& folder)
{
    const std::string prefix = folder.empty() || folder.back() != '/' ? folder + "/" : folder;
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

wxString Text(const std::string& native)
{
    return NativePath::Decode(native);
}

}  // namespace

struct DesktopTraces::State {
    struct Folder {
        std::string path;
        std::unordered_set<std::string> names;
    };
    std::vector<Folder> thumbnails;

    std::string xbel;              // the path of GTK's list
    GBookmarkFile* recent = nullptr;  // loaded when the list exists
    // Native path -> the URIs the list has for it; and those marked to go.
    std::unordered_map<std::string, std::vector<std::string>> recentByPath;
    std::unordered_set<std::string> marked;
    std::vector<std::string> markedOrder;

    std::unordered_map<std::string, std::vector<std::string>> kdeByPath;
    std::vector<Problem> readProblems;

    ~State()
    {
        if (recent)
            g_bookmark_file_free(recent);
    }

    void AddThumbnailFolder(const std::string& path)
    {
        Folder folder{path, {}};
        for (std::string& name : Listing(path, false))
            folder.names.insert(std::move(name));
        if (!folder.names.empty())
            thumbnails.push_back(std::move(folder));
    }

    void Mark(const std::string& uri, std::vector<Found>& found)
    {
        if (marked.insert(uri).second) {
            markedOrder.push_back(uri);
            found.push_back(Found{Kind::Recent, Text(xbel), true});
        }
    }
};

DesktopTraces::DesktopTraces() : state(new State)
{
    // GLib reads XDG_CACHE_HOME, XDG_DATA_HOME and HOME as every GTK program does.
    const std::string cache = g_get_user_cache_dir();
    const std::string data = g_get_user_data_dir();
    for (const std::string& base : {Join(cache, "thumbnails"), Join(g_get_home_dir(), ".thumbnails")}) {
        for (const char* size : thumbnailSizes)
            state->AddThumbnailFolder(Join(base, size));
        const std::string fail = Join(base, "fail");
        for (const std::string& maker : Listing(fail, true))
            state->AddThumbnailFolder(Join(fail, maker));
    }

    state->xbel = Join(data, "recently-used.xbel");
    struct stat info;
    if (lstat(state->xbel.c_str(), &info) == 0) {
        GError* error = nullptr;
        state->recent = g_bookmark_file_new();
        if (!g_bookmark_file_load_from_file(state->recent, state->xbel.c_str(), &error)) {
            state->readProblems.push_back(Problem{Kind::Recent, Text(state->xbel), wxString::FromUTF8(error->message)});
            g_error_free(error);
            g_bookmark_file_free(state->recent);
            state->recent = nullptr;
        } else {
            gsize count = 0;
            gchar** uris = g_bookmark_file_get_uris(state->recent, &count);
            for (gsize i = 0; i < count; ++i) {
                const std::string path = PathOfUri(uris[i]);
                if (!path.empty())
                    state->recentByPath[path].push_back(uris[i]);
            }
            g_strfreev(uris);
        }
    }

    const std::string kde = Join(data, "RecentDocuments");
    for (const std::string& name : Listing(kde, false)) {
        if (name.size() > 8 && name.compare(name.size() - 8, 8, ".desktop") == 0) {
            const std::string file = Join(kde, name);
            const std::string target = KdeTarget(file);
            if (!target.empty())
                state->kdeByPath[target].push_back(file);
        }
    }
}

DesktopTraces::~DesktopTraces() = default;

bool DesktopTraces::KeepsPictures()
{
    return false;
}

bool DesktopTraces::Nothing() const
{
    return state->thumbnails.empty() && state->recentByPath.empty() && state->kdeByPath.empty()
           && state->readProblems.empty();
}

const std::vector<DesktopTraces::Problem>& DesktopTraces::ReadProblems() const
{
    return state->readProblems;
}

void DesktopTraces::Of(const wxString& path, std::vector<Found>& found, std::vector<Problem>& problems)
{
    std::string native;
    if (!NativePath::Encode(path, native) || native.empty() || native[0] != '/')
        return;
    if (!state->thumbnails.empty()) {
        GText uri(g_filename_to_uri(native.c_str(), nullptr, nullptr));
        const std::string name = uri ? ThumbnailName(uri.get()) : std::string();
        for (const State::Folder& folder : state->thumbnails) {
            if (name.empty() || folder.names.count(name) == 0)
                continue;
            const std::string file = Join(folder.path, name);
            std::string named;
            wxString reason;
            if (!ThumbnailUri(file, named, reason))
                problems.push_back(Problem{Kind::Thumbnail, Text(file), reason});
            // Another file's thumbnail under a name that matches stays.
            else if (named == uri.get() || (!named.empty() && PathOfUri(named.c_str()) == native))
                found.push_back(Found{Kind::Thumbnail, Text(file), false});
        }
    }
    const auto recent = state->recentByPath.find(native);
    if (recent != state->recentByPath.end()) {
        for (const std::string& uri : recent->second)
            state->Mark(uri, found);
    }
    const auto kde = state->kdeByPath.find(native);
    if (kde != state->kdeByPath.end()) {
        for (const std::string& file : kde->second)
            found.push_back(Found{Kind::Recent, Text(file), false});
        // Taken once, whichever spelling of the file asks.
        state->kdeByPath.erase(kde);
    }
}

void DesktopTraces::Under(const wxString& folder, std::vector<Found>& found)
{
    std::string native;
    if (!NativePath::Encode(folder, native) || native.empty())
        return;
    for (const auto& entry : state->recentByPath) {
        if (Inside(entry.first, native) && Gone(entry.first)) {
            for (const std::string& uri : entry.second)
                state->Mark(uri, found);
        }
    }
    for (auto it = state->kdeByPath.begin(); it != state->kdeByPath.end();) {
        if (Inside(it->first, native) && Gone(it->first)) {
            for (const std::string& file : it->second)
                found.push_back(Found{Kind::Recent, Text(file), false});
            it = state->kdeByPath.erase(it);
        } else {
            ++it;
        }
    }
}

DesktopTraces::Rewrite DesktopTraces::RewriteRecent()
{
    Rewrite result;
    result.list = Text(state->xbel);
    if (state->markedOrder.empty() || !state->recent)
        return result;
    result.needed = true;
    const char* list = state->xbel.c_str();
    struct stat info;
    if (stat(list, &info) != 0) {
        result.reason = wxString::FromUTF8(std::strerror(errno));
        return result;
    }
    // The old file keeps a second name until the new one has replaced it,
    // so that the caller can overwrite its blocks: they still hold the names.
    const GText folder(g_path_get_dirname(list));
    const std::string aside = Join(folder.get(), ".recently-used.xbel.vorlix-old-" + std::to_string(getpid()));
    unlink(aside.c_str());
    if (link(list, aside.c_str()) != 0) {
        result.reason = wxString::FromUTF8(std::strerror(errno));
        return result;
    }
    for (const std::string& uri : state->markedOrder)
        g_bookmark_file_remove_item(state->recent, uri.c_str(), nullptr);
    // Written as GTK writes it (g_bookmark_file_to_data), kept private as GTK keeps it.
    gsize length = 0;
    GError* error = nullptr;
    GText data(g_bookmark_file_to_data(state->recent, &length, &error));
    if (data && g_file_set_contents_full(list, data.get(), static_cast<gssize>(length), G_FILE_SET_CONTENTS_CONSISTENT,
                                         static_cast<int>(info.st_mode & 07777), &error)) {
        result.done = true;
        result.oldCopy = Text(aside);
        return result;
    }
    result.reason = error ? wxString::FromUTF8(error->message) : wxString("cannot be written");
    if (error)
        g_error_free(error);
    // The list is still the old file: only its second name goes.
    unlink(aside.c_str());
    return result;
}
