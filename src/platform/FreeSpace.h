// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>

// What a free-space wipe needs to know about the filesystem a folder is on,
// and the folder its fill files go in. Every path is handed to the system
// through NativePath.
class FreeSpace {
public:
    struct Filesystem {
        wxString root;                // the folder the filesystem is mounted on (a volume's root)
        wxString type;                // "ext4", "NTFS", ...
        uint64_t id = 0;              // device number or volume serial: the same filesystem twice
        uint64_t freeBytes = 0;       // every free block, those reserved for the system included
        // The part of it this process may fill: not the blocks kept for the
        // system (unless root), nor those the filesystem keeps back even from
        // root (ext4's reserved clusters, left alone: other programs' writes
        // already accepted may need them).
        uint64_t writableBytes = 0;
        uint32_t blockSize = 4096;
        // Set where the system itself tells that overwriting cannot reach old
        // data there (a network drive); the kind of it.
        wxString caveat;
        // A filesystem of the kernel's (SystemFilesystem): it stores nothing.
        bool system = false;
        // The blocks it keeps back can be reached with it held still
        // (FrozenFilesystem): ext2/3/4, and this process is root.
        bool freezable = false;
        // Kept in memory (tmpfs, ramfs): what it holds is gone at a restart,
        // and filling it fills the memory.
        bool inMemory = false;
    };

    // Describes the filesystem folder is on; false, with the system's text in
    // detail, when folder cannot be examined.
    static bool Examine(const wxString& folder, Filesystem& filesystem, wxString& detail);

    // True when this process may fill the blocks a filesystem keeps for the
    // system (root on Linux).
    static bool FillsSystemReserve();

    // The id Examine would give folder's filesystem, found cheaply; 0 when
    // folder cannot be looked at.
    static uint64_t IdOf(const wxString& folder);

    // True when the system's journal keeps copies of metadata (folder blocks
    // with names in them) and of small files for a while.
    static bool IsJournalled(const wxString& type);

    // Creates folder, hidden, readable by its owner only; false (detail set)
    // if it exists already or cannot be made.
    static bool MakeHiddenFolder(const wxString& folder, wxString& detail);

    // Deletes every file and empty folder in folder, then folder itself;
    // folders inside it are not entered. True when nothing is left (also when
    // there was nothing).
    static bool RemoveFolder(const wxString& folder, wxString& detail);

    // Pushes the filesystem's pending changes to the device, so that the space
    // of deleted files is counted free again.
    static void Sync(const wxString& folder);

    // About how many blocks the filesystem's journal holds, as an upper
    // bound; 0 when it has none or it cannot be told.
    static uint64_t JournalBlocks(const Filesystem& filesystem);

    // Empties the filesystem's journal into place and zeroes it, where the
    // system offers that and lets this process (ext4 as root); false
    // otherwise, with errno set, and notAllowed, if given, set where the
    // system offers it to an administrator only.
    static bool ZeroJournal(const Filesystem& filesystem, bool* notAllowed = nullptr);

    // True when folder is the top of a mount, not a folder inside one.
    static bool IsMountPoint(const wxString& folder);

    // The separator between a folder and a name in it.
    static wxString Join(const wxString& folder, const wxString& name);
};
