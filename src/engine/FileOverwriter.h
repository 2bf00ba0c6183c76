#pragma once

#include "engine/Wiper.h"

#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <functional>

// One queued file, overwritten where it lies and then deleted: the steps every
// algorithm shares. Each step reports its own failure on standard error, and
// after a failure the file is left alone (the destructor only closes it).
// It works on the descriptor through the runtime's calls rather than wxFile,
// whose failures also go to the toolkit's log: from the wipe thread they would
// reach the window as an error dialog on top of the line already written.
class FileOverwriter {
public:
    // queuedSize is the size stored when the path was queued (unknownSize's
    // value if it did not exist then); every pass advances processed as it writes.
    FileOverwriter(const wxString& path, uint64_t queuedSize, std::atomic<uint64_t>& processed);
    FileOverwriter(const FileOverwriter&) = delete;
    FileOverwriter& operator=(const FileOverwriter&) = delete;
    ~FileOverwriter();

    // Opens the file for writing in place. False, after "Failed to open file
    // for writing: ", for a missing path, a folder, a link, a file with another
    // name, anything but a regular file, and a file that cannot be written.
    bool Open();

    // Bytes each pass writes: the queued size, or the present size if the file
    // has grown since (or was missing when queued), so that no old byte is left.
    uint64_t PassSize() const { return passSize; }

    // One pass from the first byte: PassSize() bytes in blocks of
    // WIPE_BLOCK_SIZE and a shorter last one, one write call each. nextBlock(n)
    // returns the n bytes to write next. The pass is pushed to the device before
    // this returns. False, after "Failed to overwrite file: ", if a write comes
    // up short or the position or the sync fails.
    template <class NextBlock>
    bool Pass(NextBlock nextBlock);

    // Closes the file and deletes it. False, after "Failed to overwrite file: "
    // if closing fails (the file is then kept), or after "Failed to delete
    // file: " if deleting fails.
    bool CloseAndDelete();

    // Called after each pass has reached the device; lets the tests read the
    // file between passes. Set only while no wipe runs.
    static std::function<void(const wxString& path)> afterPass;

private:
    bool Rewind();
    bool WriteBlock(const unsigned char* block, size_t n);
    bool EndPass();
    bool Failed(const char* what);

    const wxString& path;
    const uint64_t queuedSize;
    uint64_t passSize = 0;
    std::atomic<uint64_t>& processed;
    int fd = -1;
};

template <class NextBlock>
bool FileOverwriter::Pass(NextBlock nextBlock)
{
    if (!Rewind())
        return false;
    for (uint64_t remaining = passSize; remaining != 0;) {
        const size_t n = remaining < WIPE_BLOCK_SIZE ? static_cast<size_t>(remaining) : WIPE_BLOCK_SIZE;
        const unsigned char* block = nextBlock(n);
        if (!WriteBlock(block, n))
            return false;
        remaining -= n;
    }
    return EndPass();
}
