// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WipeQueue.h"

#include <algorithm>
#include <string_view>

#include "engine/ByteSize.h"
#include "platform/PathBinding.h"

const wxULongLong QueueEntry::unknownSize = wxULongLong(0xFFFFFFFFul, 0xFFFFFFFFul);

wxString QueueEntry::SizeText(wxULongLong size)
{
    if (size == unknownSize)
        return "-";
    return ByteSize::Text(size.GetValue(), true, true);
}

namespace {

// UTF-8 for each unit of the text whatever it holds, written out so that every
// unit comes back exactly on every system: lone surrogates (the stand-ins for
// bytes that are not UTF-8) included, and NUL as C0 80 so that a NUL can
// separate two texts.
void Pack(const wxString& text, std::string& packed)
{
    packed.reserve(packed.size() + text.length());
    for (const wchar_t unit : std::wstring_view(text.wc_str(), text.length())) {
        const uint32_t c = static_cast<uint32_t>(unit);
        if (c != 0 && c < 0x80) {
            packed += static_cast<char>(c);
            continue;
        }
        // Leading byte and continuation count for 11, 16, 21, 26, 31 and 36 bits.
        int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : c < 0x200000 ? 3 : c < 0x4000000 ? 4 : c < 0x80000000 ? 5 : 6;
        const unsigned lead = more == 6 ? 0xFE : (0xFF00u >> (more + 1)) & 0xFF;
        packed += static_cast<char>(lead | (more == 6 ? 0 : c >> (6 * more)));
        while (more--)
            packed += static_cast<char>(0x80 | ((c >> (6 * more)) & 0x3F));
    }
}

wxString Unpack(std::string_view packed)
{
    std::wstring text;
    text.reserve(packed.size());
    for (size_t i = 0; i < packed.size();) {
        const unsigned char lead = static_cast<unsigned char>(packed[i++]);
        if (lead < 0x80) {
            text += static_cast<wchar_t>(lead);
            continue;
        }
        int more = lead == 0xFE ? 6 : lead >= 0xFC ? 5 : lead >= 0xF8 ? 4 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        uint32_t c = more == 6 ? 0 : lead & (0x3F >> more);
        while (more-- && i < packed.size())
            c = (c << 6) | (static_cast<unsigned char>(packed[i++]) & 0x3F);
        text += static_cast<wchar_t>(c);
    }
    return wxString(text);
}

size_t HashOf(const wxString& text)
{
    return std::hash<std::wstring_view>()(std::wstring_view(text.wc_str(), text.length()));
}

size_t Combined(size_t folderHash, const std::string& tail)
{
    return folderHash ^ (std::hash<std::string>()(tail) + 0x9E3779B97F4A7C15ull + (folderHash << 6) + (folderHash >> 2));
}

}  // namespace

struct QueuedFile::Place {
    wxString prefix;
    size_t prefixHash;
    wxString folder;
    size_t folderHash;
};

namespace {

// The packed file name within QueuedFile::text.
std::string_view NamePart(const std::string& text)
{
    const size_t end = text.find('\0');
    return end == std::string::npos ? std::string_view(text) : std::string_view(text).substr(end + 1);
}

size_t EntryHash(size_t folderHash, std::string_view name)
{
    return Combined(folderHash, std::string(name));
}

}  // namespace

wxString QueuedFile::Path() const
{
    const size_t end = text.find('\0');
    const wxString tail = Unpack(std::string_view(text).substr(0, end));
    return place ? place->prefix + tail : tail;
}

wxString QueuedFile::Folder() const
{
    return place ? place->folder : wxString();
}

wxString QueuedFile::Name() const
{
    const size_t end = text.find('\0');
    return Unpack(end == std::string::npos ? std::string_view(text) : std::string_view(text).substr(end + 1));
}

QueueEntry QueuedFile::Entry() const
{
    return QueueEntry{Path(), Size(), Folder(), Name()};
}

QueuedFile QueuedFile::Named(const wxString& path)
{
    const size_t cut = path.find_last_of("/\\");
    const wxString prefix = cut == wxString::npos ? wxString() : path.Left(cut + 1);
    const wxString folder = cut == wxString::npos ? wxString() : path.Left(cut == 0 ? 1 : cut);
    QueuedFile file;
    file.place = std::make_shared<const Place>(Place{prefix, HashOf(prefix), folder, HashOf(folder)});
    Pack(cut == wxString::npos ? path : path.Mid(cut + 1), file.text);
    return file;
}

// A path cut after its last separator. Any cut gives the text back exactly;
// this one lets the files of a folder share its text.
struct WipeQueue::Key {
    wxString prefix;
    size_t prefixHash;
    wxString tailText;
    std::string tail;
    size_t hash;

    explicit Key(const wxString& path)
    {
        const size_t cut = path.find_last_of("/\\");
        prefix = cut == wxString::npos ? wxString() : path.Left(cut + 1);
        tailText = cut == wxString::npos ? path : path.Mid(cut + 1);
        prefixHash = HashOf(prefix);
        Pack(tailText, tail);
        hash = Combined(prefixHash, tail);
    }
};

size_t WipeQueue::Find(const Key& key) const
{
    const auto range = byPath.equal_range(key.hash);
    for (auto it = range.first; it != range.second; ++it) {
        const auto file = std::lower_bound(files.begin(), files.end(), it->second,
                                           [](const QueuedFile& f, uint64_t serial) { return f.serial < serial; });
        if (file == files.end() || file->serial != it->second || !file->place)
            continue;
        const std::string& text = file->text;
        const size_t end = std::min(text.find('\0'), text.size());
        if (text.compare(0, end, key.tail) == 0 && file->place->prefix == key.prefix)
            return static_cast<size_t>(file - files.begin());
    }
    return files.size();
}

size_t WipeQueue::FindEntry(const wxString& folder, size_t folderHash, const std::string& name) const
{
    const auto range = byEntry.equal_range(EntryHash(folderHash, name));
    for (auto it = range.first; it != range.second; ++it) {
        const auto file = std::lower_bound(files.begin(), files.end(), it->second,
                                           [](const QueuedFile& f, uint64_t serial) { return f.serial < serial; });
        if (file != files.end() && file->serial == it->second && file->place && NamePart(file->text) == name
            && file->place->folder == folder)
            return static_cast<size_t>(file - files.begin());
    }
    return files.size();
}

void WipeQueue::Unindex(const QueuedFile& file)
{
    const auto entries = byEntry.equal_range(EntryHash(file.place->folderHash, NamePart(file.text)));
    for (auto it = entries.first; it != entries.second; ++it) {
        if (it->second == file.serial) {
            byEntry.erase(it);
            break;
        }
    }
    const std::string tail = file.text.substr(0, file.text.find('\0'));
    const auto range = byPath.equal_range(Combined(file.place->prefixHash, tail));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == file.serial) {
            byPath.erase(it);
            return;
        }
    }
}

void WipeQueue::Compact(bool now)
{
    // Waiting until half are gone keeps removing one by one from the front,
    // as a run does, linear in all.
    if (removed == 0 || (!now && (removed < 1024 || removed < files.size() / 2)))
        return;
    files.erase(std::remove_if(files.begin(), files.end(), [](const QueuedFile& f) { return !f.place; }),
                files.end());
    if (files.size() < files.capacity() / 4)
        files.shrink_to_fit();
    removed = 0;
}

bool WipeQueue::AddPath(const wxString& path)
{
    PathBinding::Places once;
    return AddPath(path, once);
}

bool WipeQueue::AddPath(const wxString& path, PathBinding::Places& looked)
{
    const Key key(path);
    uint64_t serialBefore;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (Find(key) != files.size())
            return true;
        serialBefore = nextSerial;
    }
    // Ask the filesystem without holding the lock: a slow or hung mount must not
    // stall the wipe thread, which needs the lock between files.
    wxString folder, name;
    uint64_t size = 0;
    if (!PathBinding::Locate(path, folder, name, size, looked))
        return false;

    QueuedFile file;
    file.text = key.tail;
    if (name != key.tailText) {
        file.text += '\0';
        Pack(name, file.text);
    }
    file.size = size;  // UINT64_MAX is unknownSize
    std::string packedName;
    Pack(name, packedName);
    const size_t folderHash = HashOf(folder);
    std::lock_guard<std::mutex> lock(mutex);
    // Only a file added meanwhile can make it a duplicate now. Another
    // spelling of a queued file ("./a", "dir/../a", a linked folder) is the
    // same file: queued twice, it would be reported missing once the first
    // had wiped it.
    if ((nextSerial != serialBefore && Find(key) != files.size())
        || FindEntry(folder, folderHash, packedName) != files.size())
        return true;
    auto& place = places[std::wstring(key.prefix.wc_str(), key.prefix.length())];
    if (!place || place->folder != folder)
        place = std::make_shared<const QueuedFile::Place>(
            QueuedFile::Place{key.prefix, key.prefixHash, folder, folderHash});
    file.place = place;
    file.serial = nextSerial++;
    byPath.emplace(key.hash, file.serial);
    byEntry.emplace(EntryHash(folderHash, packedName), file.serial);
    files.push_back(std::move(file));
    return true;
}

void WipeQueue::RemovePath(const wxString& path)
{
    const Key key(path);
    std::lock_guard<std::mutex> lock(mutex);
    const size_t at = Find(key);
    if (at == files.size())
        return;
    QueuedFile& file = files[at];
    Unindex(file);
    // The serial stays: files keeps its order for Find until Compact.
    file.place.reset();
    std::string().swap(file.text);
    ++removed;
    Compact(false);
}

void WipeQueue::Remove(const std::vector<uint64_t>& serials)
{
    std::lock_guard<std::mutex> lock(mutex);
    auto wanted = serials.begin();
    size_t gone = 0;
    for (QueuedFile& file : files) {
        while (wanted != serials.end() && *wanted < file.serial)
            ++wanted;
        if (wanted == serials.end())
            break;
        if (*wanted == file.serial && file.place) {
            file.place.reset();
            ++gone;
        }
    }
    if (gone == 0)
        return;
    removed += gone;
    Compact(true);
    // One index for what is left: cheaper than taking out many of its entries.
    byPath.clear();
    byPath.reserve(files.size());
    byEntry.clear();
    byEntry.reserve(files.size());
    for (const QueuedFile& file : files) {
        byPath.emplace(Combined(file.place->prefixHash, file.text.substr(0, file.text.find('\0'))), file.serial);
        byEntry.emplace(EntryHash(file.place->folderHash, NamePart(file.text)), file.serial);
    }
}

void WipeQueue::Clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<QueuedFile>().swap(files);
    removed = 0;
    decltype(byPath)().swap(byPath);
    decltype(byEntry)().swap(byEntry);
    places.clear();
}

size_t WipeQueue::Count() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return files.size() - removed;
}

bool WipeQueue::IsEmpty() const
{
    return Count() == 0;
}

bool WipeQueue::Contains(const wxString& path) const
{
    const Key key(path);
    std::lock_guard<std::mutex> lock(mutex);
    return Find(key) != files.size();
}

std::vector<QueueEntry> WipeQueue::Snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<QueueEntry> entries;
    entries.reserve(files.size() - removed);
    for (const QueuedFile& file : files) {
        if (file.place)
            entries.push_back(file.Entry());
    }
    return entries;
}

std::vector<QueuedFile> WipeQueue::Files() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<QueuedFile> live;
    live.reserve(files.size() - removed);
    for (const QueuedFile& file : files) {
        if (file.place)
            live.push_back(file);
    }
    return live;
}
