// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <map>

// What kind of drive holds a file's filesystem. On flash (SSDs, NVMe drives,
// memory cards, USB sticks) the drive's controller writes new data to new
// cells and keeps the old ones until it erases them itself, so overwriting in
// place may not reach the old copy; there a wipe also asks the drive to
// discard the blocks it freed.
//
// One object per run: each filesystem is looked at once, by its device.
class StorageMedium {
public:
    enum class Kind {
        Unknown,   // no drive could be found or told apart
        Spinning,  // a drive that writes in place
        Flash,     // a drive that may keep old copies elsewhere
        Memory,    // no drive at all (tmpfs)
    };

    // The drive under the filesystem that holds path (a file or a folder).
    Kind Of(const wxString& path);

    // As the reports name it.
    static wxString Name(Kind kind)
    {
        switch (kind) {
        case Kind::Spinning: return "spinning disk";
        case Kind::Flash: return "flash storage";
        case Kind::Memory: return "memory";
        case Kind::Unknown: break;
        }
        return "unknown medium";
    }

private:
    std::map<uint64_t, Kind> known;  // by device number or volume serial
};
