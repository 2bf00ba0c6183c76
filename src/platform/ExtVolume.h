// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <functional>
#include <vector>

struct struct_ext2_filsys;

// An ext2, ext3 or ext4 filesystem that is not mounted, on a block device or
// in an image file, read and written through e2fsprogs' own library
// (libext2fs), which keeps every checksum and count as e2fsck expects them.
// A block device opened for writing is held exclusively (O_EXCL): the kernel
// will not mount it meanwhile. An image file has no such claim: one attached
// to a loop device and mounted after Open() is not seen. Not on Windows:
// there every Open() is refused with NotHere.
class ExtVolume {
public:
    enum class Refusal {
        None,
        NotFound,    // no such device or file
        Mounted,     // detail: the mount point
        Busy,        // another program holds the device
        NotExt,      // detail: what libext2fs said
        NeedsCheck,  // errors recorded, or a journal or orphans to recover
        NotHere,     // not available on this system
        Failed,      // detail: what libext2fs said
    };
    struct Facts {
        wxString type;  // "ext2", "ext3", "ext4"
        uint32_t blockSize = 0;
        uint64_t freeBlocks = 0;     // in the block bitmap
        uint64_t journalBlocks = 0;  // the journal's, its own superblock left out
        bool externalJournal = false;  // on another device, out of reach
        uint64_t unusedInodes = 0;
        uint32_t inodeSize = 0;
    };
    // Contiguous blocks, the first and how many.
    struct Blocks {
        uint64_t first = 0;
        uint64_t count = 0;
    };
    // What clearing the directories did.
    struct Directories {
        uint64_t blocksWritten = 0;
        uint64_t namesCleared = 0;   // entries of deleted files whose name was left
        uint64_t inlineLeft = 0;     // directories kept inside their inode, left as they are
    };
    using StopAsked = std::function<bool()>;

    // Whether this system can open one at all.
    static bool Supported();
    // Whether path names a block device or a regular file (rather than a
    // folder): something this class may open.
    static bool IsDeviceOrImage(const wxString& path);
    // Block devices holding an ext filesystem that is not mounted, for a
    // list to pick from; only those this process may open.
    static std::vector<wxString> FindUnmounted();

    ExtVolume() = default;
    ~ExtVolume();
    ExtVolume(const ExtVolume&) = delete;
    ExtVolume& operator=(const ExtVolume&) = delete;

    // Opens path read-only, or exclusively for writing, after making sure it
    // is not mounted; a refusal leaves nothing open and says why in detail.
    Refusal Open(const wxString& path, bool writable, wxString& detail);
    // Reads the bitmaps of a mounted filesystem that FrozenFilesystem holds
    // still (and so has nothing in flight), for FreeRuns only; false with
    // the reason in detail.
    bool ReadHeldStill(const wxString& path, wxString& detail);
    const Facts& GetFacts() const { return facts; }

    // The free blocks, in order, as the block bitmap has them.
    std::vector<Blocks> FreeRuns() const;
    // The journal's blocks but its superblock; its superblock already says it
    // is empty (Open refuses one that needs recovery), so what they hold is
    // never read again.
    std::vector<Blocks> JournalRuns() const;
    // Writes count blocks from data at block first; false with Error() set.
    bool Write(uint64_t first, uint64_t count, const void* data);
    // Everything written so far, on the device.
    bool Flush();
    // In every directory: the bytes after each entry's name up to its end,
    // and the names of entries marked unused, zeroed; each block rewritten
    // with its checksum. The index blocks of hashed directories are kept.
    bool ClearDirectories(Directories& done, const StopAsked& stop);
    // Zeroes the slot of every unused inode in the inode tables (all zeros is
    // what mkfs leaves and checks clean with metadata_csum); bytes: what was
    // written.
    bool ClearUnusedInodes(uint64_t& bytes, uint64_t& inodes, const StopAsked& stop);
    // Writes what libext2fs keeps back and closes; false with Error() set.
    bool Close();
    const wxString& Error() const { return error; }

private:
    bool Failed(long code, const char* what);

    struct_ext2_filsys* fs = nullptr;
    Facts facts;
    wxString error;
};
