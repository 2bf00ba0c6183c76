// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "engine/WipeQueue.h"
#include "support/Printing.h"

// The queue's paths in queue order, as a test compares them.
inline std::vector<wxString> QueuedPaths(const WipeQueue& queue)
{
    std::vector<wxString> paths;
    for (const QueueEntry& entry : queue.Snapshot())
        paths.push_back(entry.path);
    return paths;
}
