// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <cstdint>

// One file that a free-space wipe writes until the filesystem is full. It is
// created new (never opened over an existing one), written from its start in
// large calls, sent on to the device as it is written (Writeback) and synced
// after each pass.
class FillFile {
public:
    enum class Outcome {
        Written,  // every byte asked for
        Full,     // the filesystem (or the file's size limit) refused more
        Failed,   // any other error; the system's text is in Detail()
    };

    FillFile() = default;
    FillFile(const FillFile&) = delete;
    FillFile& operator=(const FillFile&) = delete;
    ~FillFile();

    // Creates path, which must not exist. Full when there is no room left for
    // even an empty file.
    Outcome Create(const wxString& path);

    // Tells the filesystem, before the first write, that the file is to grow
    // to size: ext4 then gives even its first blocks from a stretch of the
    // file's own, not from the pool small files share, whose rest it would
    // keep beyond the reach of any fill.
    bool AnnounceSize(uint64_t size);

    // Writes n bytes at the current position; written is what got there, also
    // when the outcome is Full.
    Outcome Write(const unsigned char* bytes, size_t n, size_t& written);

    // Back to the first byte for the next pass.
    bool Rewind();
    // Puts every byte written so far on the device.
    bool Sync();
    bool Close();

    // Deletes a file made by Create (closed or not on Unix; closed on Windows).
    static bool Remove(const wxString& path);

    const wxString& Detail() const { return detail; }

private:
    Outcome Fail();

    intptr_t handle = -1;
    wxString detail;
    uint64_t position = 0;  // where the next write goes
    uint64_t unpushed = 0;  // where the bytes not yet sent to the device begin
};
