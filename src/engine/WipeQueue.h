// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/longlong.h>
#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/WipeMethod.h"
#include "platform/PathBinding.h"

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
    wxString SizeText() const { return SizeText(size); }
    static wxString SizeText(wxULongLong size);
};

// A queued file as the queue keeps it, small enough for a million of them:
// the folder texts are shared by every file of the folder, and the file's own
// part of its path is kept as packed bytes, turned back into text on demand.
// A copy stays valid and unchanged after the queue has moved on.
class QueuedFile {
public:
    wxString Path() const;
    wxString Folder() const;
    wxString Name() const;
    wxULongLong Size() const { return size; }
    QueueEntry Entry() const;
    // A file known by its path only, never queued: its folder is the path's
    // text up to the last separator.
    static QueuedFile Named(const wxString& path);
    // Increases in queue order and is never reused by the same queue.
    uint64_t Serial() const { return serial; }

private:
    friend class WipeQueue;
    struct Place;

    // The given path's text up to its last separator, and its real folder;
    // null once the file has left the queue.
    std::shared_ptr<const Place> place;
    // The given path's text after the last separator; then, only where the
    // file's name is another text, a NUL and the name.
    std::string text;
    uint64_t size = 0;
    uint64_t serial = 0;
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

    // Appends the path with its present size unless the exact same text, or
    // another spelling of the same file, is queued. False, with nothing queued, for a path that names no file exactly
    // (no exact native form, or no file name such as "dir/..").
    bool AddPath(const wxString& path);
    // The same for one of many paths queued together: each folder's real
    // place is looked up once in places (PathBinding::Places).
    bool AddPath(const wxString& path, PathBinding::Places& places);
    // Removes the entry whose path is exactly this text; nothing if there is none.
    void RemovePath(const wxString& path);
    // Removes the queued files with these serials (ascending) in one pass;
    // serials no longer queued are passed over.
    void Remove(const std::vector<uint64_t>& serials);
    void Clear();
    size_t Count() const;
    bool IsEmpty() const;
    bool Contains(const wxString& path) const;
    // A copy of every entry, in queue order, taken under the lock.
    std::vector<QueueEntry> Snapshot() const;
    // The same in the queue's own compact form.
    std::vector<QueuedFile> Files() const;

private:
    struct Key;

    // Where a queued file with this key is in files; files.size() if nowhere.
    size_t Find(const Key& key) const;
    // The same for a file's real folder and packed name.
    size_t FindEntry(const wxString& folder, size_t folderHash, const std::string& name) const;
    void Unindex(const QueuedFile& file);
    // Drops the removed files from files once they are as many as the others.
    void Compact(bool now);

    mutable std::mutex mutex;  // guards everything below
    // In queue order; a removed file stays, without its place, until Compact.
    std::vector<QueuedFile> files;
    size_t removed = 0;
    uint64_t nextSerial = 0;
    // Hash of a path -> serial of the file queued under it: the duplicate test
    // and removal by path look at one or two files, not the whole queue.
    std::unordered_multimap<size_t, uint64_t> byPath;
    // The same by real folder and name, so that two spellings of one file
    // queue it once.
    std::unordered_multimap<size_t, uint64_t> byEntry;
    // The latest place for each folder text, shared by the files added in it.
    std::unordered_map<std::wstring, std::shared_ptr<const QueuedFile::Place>> places;
};
