// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <atomic>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/HeldFolder.h"
#include "platform/WipeFailure.h"

// A queued file opened so that its own blocks can be overwritten, and deleted
// afterwards only if its name still names that same file. Opens the place
// PathBinding bound the path to without following any link; FileExtents
// tells which stretches of it hold data.
class InPlaceFile {
public:
    InPlaceFile() = default;
    InPlaceFile(const InPlaceFile&) = delete;
    InPlaceFile& operator=(const InPlaceFile&) = delete;
    ~InPlaceFile();

    // Whether Open may clear the file's read-only attribute (Windows), or add
    // the owner's write permission to a file of the user's own (elsewhere),
    // to wipe it: only once the user has agreed.
    void SetClearReadOnly(bool allowed) { clearReadOnly = allowed; }
    // True for a file whose read-only attribute (Windows) keeps it from being
    // written; always false where write permission is the only guard.
    static bool IsReadOnly(const wxString& path);

    // Opens name in folder (as PathBinding::Locate gave them) for writing,
    // without creating it, cutting it or following a link, and stores its
    // present size. Refuses
    // anything that is not a regular file with a single name: writing through a
    // link or another name would destroy a file nobody queued, and opening a
    // FIFO or a device can block or act on the device. On failure returns the
    // reason and stores the system's text in detail. held, if given, is the
    // run's folder kept open from one file to the next; it must stay alive
    // until this file is deleted. Without one the file holds its own.
    WipeFailure Open(const wxString& folder, const wxString& name, uint64_t& size, wxString& detail,
                     HeldFolder* held = nullptr);

    // What Open would refuse the same file for, found without opening
    // anything for writing: the dry run's look. On success the file is open
    // for reading only (Descriptor(), -1 where it may not be read), for the
    // stretches a pass would write, and its size is stored. Never to be
    // followed by CloseAndDelete.
    WipeFailure Inspect(const wxString& folder, const wxString& name, uint64_t& size, wxString& detail,
                        HeldFolder* held = nullptr);

    // The open file's descriptor, in blocking mode; -1 when none is open.
    int Descriptor() const { return fd; }
    // The device it lies on, as the system numbers it; 0 where not known.
    uint64_t Device() const { return device; }

    // A named data stream of the open file (Windows: "file.txt:name"), opened
    // by Open for writing in place: its clusters are freed with the file, so
    // each pass overwrites it as it does the file. None elsewhere.
    struct Stream {
        int fd;
        uint64_t size;
        wxString name;
    };
    const std::vector<Stream>& Streams() const { return streams; }

    // Asks the system to put every byte written so far on the device. Without it
    // a later pass or the deletion can drop the earlier bytes in the cache, and
    // the old content stays on the disk. Only the data and what is needed to
    // read it back (the size) are pushed, not the file's times.
    static bool Sync(int fd);

    // Keeps the folder the file was opened in for CloseAndDelete even once
    // the run's held folder has moved on: a file whose deletion waits for
    // others' sync needs it. False when it cannot be kept (no descriptor
    // left); then the file is to be deleted before the held folder moves.
    bool KeepFolder();

    // Reads length bytes at offset of the open file as the device holds them,
    // not as the page cache does (O_DIRECT, or the file's cached pages dropped
    // first where direct reads are refused), into data. False, with the
    // system's text in detail, when they cannot be read.
    bool ReadFromDevice(uint64_t offset, size_t length, unsigned char* data, wxString& detail);

    // Called between the rename to the hidden name and the unlink; lets the
    // tests stand for a crash there. Set only while no wipe runs.
    static std::function<void()> afterRename;

    // Closes the file and deletes it, provided its name still names the file
    // that was opened. Changed when the name now names something else (which is
    // left alone); OverwriteFailed when closing fails; DeleteFailed when the
    // file itself cannot be deleted.
    WipeFailure CloseAndDelete(wxString& detail);

private:
#ifndef __WINDOWS__
    int HoldEntry(HeldFolder& holder, const wxString& folder, const wxString& name, std::string& nativeName,
                  struct stat& st, WipeFailure& reason, wxString& detail);
    WipeFailure DeleteOpenedName(int folder, const std::string& name, wxString& detail);
#endif

    bool clearReadOnly = false;
    int fd = -1;
    int readFd = -1;        // opened for ReadFromDevice on first use
    bool readDirect = false;  // readFd bypasses the page cache
    std::vector<Stream> streams;
#ifdef __WINDOWS__
    // Every folder above the file, held so that none can be renamed or
    // replaced meanwhile.
    std::vector<intptr_t> folders;
    bool lookOnly = false;  // Inspect: nothing may be changed, not even an attribute
#else
    HeldFolder ownFolder;  // when Open was given none
    int folderFd = -1;     // the folder the file was opened in; not owned
    int keptFolderFd = -1;  // KeepFolder's own copy of it
#endif
    wxString fileName;
    wxString folderPath;  // as Open was given it
    uint64_t device = 0, inode = 0;  // what was opened, to recognise it at deletion
};
