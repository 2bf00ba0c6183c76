// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SyncBatch.h"

void SyncBatch::Add(std::unique_ptr<Item> item)
{
    held.push_back(std::move(item));
    if (held.size() >= most)
        Settle();
}

void SyncBatch::Settle()
{
    if (held.empty())
        return;
    std::vector<FileOverwriter*> files;
    files.reserve(held.size());
    for (const std::unique_ptr<Item>& item : held)
        files.push_back(&item->file);
    FileOverwriter::SyncTogether(files);
    // Taken first: a finish that throws must not see these items twice.
    std::vector<std::unique_ptr<Item>> settled;
    settled.swap(held);
    for (const std::unique_ptr<Item>& item : settled)
        finish(*item);
}
