// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/FileOverwriter.h"
#include "engine/WipeQueue.h"
#include "platform/StorageMedium.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The small files of a run whose last pass waits to reach the device with
// others' (FileOverwriter::OwesSync), then finished in the order they came:
// one sync per filesystem for up to `most` files instead of one per file,
// which is what a run of small files spent most of its time on. Owned and
// called by the wipe thread.
class SyncBatch {
public:
    // One queued file on its way through a run.
    struct Item {
        Item(const QueuedFile& queued, std::atomic<uint64_t>& processed, HeldFolder* folder,
             const FileOverwriter::Control& control)
            : queued(queued), entry(queued.Entry()), file(entry, processed, folder, control)
        {
        }
        const QueuedFile queued;
        const QueueEntry entry;  // before file, which keeps a reference to it
        FileOverwriter file;
        StorageMedium::Kind medium = StorageMedium::Kind::Unknown;
    };
    // Deletes (or not) and records one file whose passes all succeeded, once
    // its bytes are on the device or its sync has failed (file.Failure()).
    using Finish = std::function<void(Item& item)>;

    static constexpr size_t most = 64;  // two descriptors each

    explicit SyncBatch(Finish finish) : finish(std::move(finish)) {}
    // Settles whatever is still held.
    ~SyncBatch() { Settle(); }
    SyncBatch(const SyncBatch&) = delete;
    SyncBatch& operator=(const SyncBatch&) = delete;

    // Holds item, whose file owes its sync; settles once `most` are held.
    void Add(std::unique_ptr<Item> item);
    // Syncs the files held and finishes each, in the order they were added.
    void Settle();

private:
    Finish finish;
    std::vector<std::unique_ptr<Item>> held;
};
