// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SharedSync.h"

#include "platform/InPlaceFile.h"

// Flushing a whole volume takes an administrator: each file is flushed alone.
void SharedSync::Of(const std::vector<File>& files, std::vector<bool>& synced)
{
    synced.assign(files.size(), false);
    for (size_t i = 0; i < files.size(); ++i)
        synced[i] = InPlaceFile::Sync(files[i].fd);
}
