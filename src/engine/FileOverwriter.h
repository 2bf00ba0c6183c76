#pragma once

#include "engine/Wiper.h"
#include "platform/InPlaceFile.h"

#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <functional>

// One queued file, overwritten where it lies and then deleted: the steps every
// algorithm shares. Each step reports its own failure on standard error and
// keeps its reason (Failure()), and after a failure the file is left alone
// (the destructor only closes it). It writes through the runtime's calls
// rather than wxFile, whose failures also go to the toolkit's log: from the
// wipe thread they would reach the window as an error dialog on top of the
// line already written.
class FileOverwriter {
public:
    // entry.size is the size stored when the path was queued (unknownSize's
    // value if it was no regular file then); every pass advances processed as
    // it writes.
    FileOverwriter(const QueueEntry& entry, std::atomic<uint64_t>& processed);
    FileOverwriter(const FileOverwriter&) = delete;
    FileOverwriter& operator=(const FileOverwriter&) = delete;

    // Opens the queued file for writing in place. False, after "Failed to open
    // file for writing: ", for a missing path, a folder, a link, a file with
    // another name, anything but a regular file, a file that cannot be
    // written, and a file whose folder has been replaced since it was queued.
    bool Open();

    // Bytes each pass writes: the queued size, or the present size if the file
    // has grown since (or was missing when queued), so that no old byte is left.
    uint64_t PassSize() const { return passSize; }

    // One pass from the first byte: PassSize() bytes in blocks of
    // WIPE_BLOCK_SIZE and a shorter last one, one write call each. nextBlock(n)
    // returns the n bytes to write next. The pass is pushed to the device before
    // this returns. False, after "Failed to overwrite file: ", if a write comes
    // up short or the position or the sync fails, and (with no line) when the
    // run is stopped at once.
    template <class NextBlock>
    bool Pass(NextBlock nextBlock);

    // Closes the file and deletes it. False, after "Failed to overwrite file: "
    // if closing fails, or after "Failed to delete file: " if deleting fails or
    // the name no longer names the file that was overwritten.
    bool CloseAndDelete();

    // Why the last step failed; None while every step has succeeded.
    WipeFailure Failure() const { return failure; }
    // The system's text for it, where there is one.
    const wxString& FailureDetail() const { return failureDetail; }

    // Called after each pass has reached the device; lets the tests read the
    // file between passes. Set only while no wipe runs.
    static std::function<void(const wxString& path)> afterPass;

private:
    bool Rewind();
    bool WriteBlock(const unsigned char* block, size_t n);
    bool EndPass();
    bool Failed(const char* what, WipeFailure reason);

    const QueueEntry& entry;
    const wxString& path;
    uint64_t passSize = 0;
    std::atomic<uint64_t>& processed;
    InPlaceFile file;
    int fd = -1;
    WipeFailure failure = WipeFailure::None;
    wxString failureDetail;
};

template <class NextBlock>
bool FileOverwriter::Pass(NextBlock nextBlock)
{
    if (!Rewind())
        return false;
    for (uint64_t remaining = passSize; remaining != 0;) {
        if (Wiper::IsStopNowRequested()) {
            failure = WipeFailure::Stopped;
            return false;
        }
        const size_t n = remaining < WIPE_BLOCK_SIZE ? static_cast<size_t>(remaining) : WIPE_BLOCK_SIZE;
        const unsigned char* block = nextBlock(n);
        if (!WriteBlock(block, n))
            return false;
        remaining -= n;
    }
    return EndPass();
}
