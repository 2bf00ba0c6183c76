#pragma once

#include <wx/string.h>

#include <cstdint>

// Opening a file so that its own blocks can be overwritten, and pushing the new
// bytes to the device. The only part of the wipe engine that differs by system.
class InPlaceFile {
public:
    // Opens the existing file at path for writing, without creating it, cutting
    // it or following a link, and stores its present size in size. Refuses, and
    // returns -1 for, anything that is not a regular file with a single name:
    // writing through a link or another name would destroy a file nobody queued,
    // and opening a FIFO or a device can block or act on the device. Otherwise
    // returns a descriptor for wxFile::Attach, in blocking mode.
    static int Open(const wxString& path, uint64_t& size);

    // Asks the system to put every byte written so far on the device. Without it
    // a later pass or the deletion can drop the earlier bytes in the cache, and
    // the old content stays on the disk.
    static bool Sync(int fd);
};
