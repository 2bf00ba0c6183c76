#pragma once

#include <wx/longlong.h>
#include <wx/string.h>

#include <atomic>
#include <list>
#include <map>
#include <mutex>
#include <vector>

#include "engine/WipeMethod.h"

class Wiper;

// One queued file: its path exactly as it was given and its size when it was queued.
struct QueueEntry {
    // Stored for a path that was not a regular file when it was queued.
    static const wxULongLong unknownSize;

    wxString path;
    wxULongLong size;
    // Where the file's folder really was when it was queued, and the file's own
    // name: the wipe reaches exactly that place again, following no link.
    wxString folder;
    wxString name;

    // "%.2f %s" in B, KB, MB, GB or TB, as the queue list shows it; "-" for
    // unknownSize.
    wxString SizeText() const;
};

// The files the next wipe run overwrites and deletes, in the order they were added.
// Shared between the GUI thread and the wipe thread: every operation takes the
// queue's own lock, so no caller needs one.
class WipeQueue {
public:
    // The next run's WipeMethod as its code: 1 = RandomWiper, 2 = DoDWiper.
    // Read and written on the GUI thread only.
    int algorithm = static_cast<int>(WipeMethod::Random);
    // The current run's algorithm; not owned. Set before the wipe thread starts.
    std::atomic<Wiper*> wiper{nullptr};

    WipeMethod Method() const
    {
        return algorithm == static_cast<int>(WipeMethod::DoD) ? WipeMethod::DoD : WipeMethod::Random;
    }
    void SetMethod(WipeMethod method) { algorithm = static_cast<int>(method); }

    WipeQueue() = default;
    WipeQueue(const WipeQueue&) = delete;
    WipeQueue& operator=(const WipeQueue&) = delete;

    // Appends the path with its present size unless the exact same text is
    // queued. False, with nothing queued, for a path that names no file exactly
    // (no exact native form, or no file name such as "dir/..").
    bool AddPath(const wxString& path);
    // Removes the entry whose path is exactly this text; nothing if there is none.
    void RemovePath(const wxString& path);
    void Clear();
    size_t Count() const;
    bool IsEmpty() const;
    bool Contains(const wxString& path) const;
    // A copy of every entry, in queue order, taken under the lock.
    std::vector<QueueEntry> Snapshot() const;

private:
    using EntryList = std::list<QueueEntry>;

    mutable std::mutex mutex;  // guards entries and paths
    EntryList entries;
    // Path -> its entry, so that the duplicate test and removal are logarithmic
    // even for a queue of a hundred thousand files.
    std::map<wxString, EntryList::iterator> paths;
};
