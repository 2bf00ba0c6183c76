#include "engine/WipeQueue.h"

#include "platform/InPlaceFile.h"

const wxULongLong QueueEntry::unknownSize = wxULongLong(0xFFFFFFFFul, 0xFFFFFFFFul);

wxString QueueEntry::SizeText() const
{
    if (size == unknownSize)
        return "-";
    static const char* const sizeUnits[] = {"B", "KB", "MB", "GB", "TB"};
    double x = size.ToDouble();
    int unit = 0;
    while (x >= 1024.0 && unit < 4) {
        x *= 0.0009765625;
        ++unit;
    }
    return wxString::Format("%.2f %s", x, sizeUnits[unit]);
}

bool WipeQueue::AddPath(const wxString& path)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (paths.count(path))
            return true;
    }
    // Ask the filesystem without holding the lock: a slow or hung mount must not
    // stall the wipe thread, which needs the lock between files.
    QueueEntry entry{path, QueueEntry::unknownSize, wxString(), wxString()};
    uint64_t size = 0;
    if (!InPlaceFile::Locate(path, entry.folder, entry.name, size))
        return false;
    if (size != UINT64_MAX)
        entry.size = size;

    std::lock_guard<std::mutex> lock(mutex);
    if (paths.count(path))
        return true;
    auto it = entries.insert(entries.end(), std::move(entry));
    paths.emplace(path, it);
    return true;
}

void WipeQueue::RemovePath(const wxString& path)
{
    std::lock_guard<std::mutex> lock(mutex);
    auto found = paths.find(path);
    if (found == paths.end())
        return;
    entries.erase(found->second);
    paths.erase(found);
}

void WipeQueue::Clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    entries.clear();
    paths.clear();
}

size_t WipeQueue::Count() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return entries.size();
}

bool WipeQueue::IsEmpty() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return entries.empty();
}

bool WipeQueue::Contains(const wxString& path) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return paths.count(path) != 0;
}

std::vector<QueueEntry> WipeQueue::Snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::vector<QueueEntry>(entries.begin(), entries.end());
}
