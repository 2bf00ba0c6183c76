// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunOptions.h"
#include "engine/RunOutcome.h"
#include "engine/WipeQueue.h"
#include "platform/DiscardGathering.h"
#include "platform/FileExtents.h"
#include "platform/InPlaceFile.h"
#include "platform/Writeback.h"

#include <wx/string.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

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
    // it writes. folder, if given, is the run's folder held from one file to
    // the next (InPlaceFile::Open); it must outlive this object.
    // What the run asks of every file it overwrites, passed by the run
    // rather than read from it, so that this class needs nothing above it.
    struct Control {
        const std::atomic<bool>* stopNow = nullptr;  // once true, stop at the next write call
        bool verifyLastPass = false;                 // read the last pass back and compare it
        bool logSteps = true;                        // say each failed step on standard error
        bool clearReadOnly = false;                  // a read-only file may be made writable
        const PassStarting* passStarting = nullptr;  // told as each pass begins; must outlive the run
        // A small file's last pass may leave its sync to SyncTogether with
        // other files' (OwesSync), not read back.
        bool batchLastSync = false;
    };

    FileOverwriter(const QueueEntry& entry, std::atomic<uint64_t>& processed, HeldFolder* folder, Control control);
    FileOverwriter(const QueueEntry& entry, std::atomic<uint64_t>& processed);
    FileOverwriter(const FileOverwriter&) = delete;
    FileOverwriter& operator=(const FileOverwriter&) = delete;

    // What a run would do with entry, found without writing a byte or
    // opening anything for writing (InPlaceFile::Inspect). The outcome's reason is
    // the refusal, if any, and bytesOverwritten what one pass would write.
    // clearReadOnly: as Control's, for a file the run would make writable.
    static FileOutcome Preview(const QueueEntry& entry, bool clearReadOnly = false);

    // Opens the queued file for writing in place. False, after "Failed to open
    // file for writing: ", for a missing path, a folder, a link, a file with
    // another name, anything but a regular file, a file that cannot be
    // written, and a file whose folder has been replaced since it was queued.
    bool Open();

    // The end of what each pass covers: the queued size, or the present size if
    // the file has grown since (or was missing when queued), so that no old
    // byte is left.
    uint64_t PassSize() const { return passSize; }

    // Adds to total what the passes will really write, in place of the
    // countedPerPass bytes per pass already in it: now the bytes each pass
    // writes (holes skipped), and later, before they are written, the bytes the
    // file grows by meanwhile. A file wiped completely thus adds to total just
    // what it adds to processed.
    void CountIn(std::atomic<uint64_t>& total, unsigned passes, uint64_t countedPerPass);

    // One pass over the first PassSize() bytes: the stretches that hold data
    // (a sparse file's holes are skipped) and all that lies past the present
    // end. fill(offset, n, into) stores in `into` the n bytes to write from
    // file offset `offset` on; it is called in file order, once for each
    // write call, only for bytes that are written (n is at most gatherSize);
    // a fill that keeps its bytes elsewhere may instead return where they are
    // (n of them, left alone until its next call).
    // processed advances by what each write call wrote. If the file has grown
    // meanwhile, the pass goes on over the new bytes with the same fill;
    // still growing after growthRounds such rounds, the file is left alone as
    // Growing. The pass is pushed to the device before this returns. False,
    // after "Failed to overwrite file: ", if a write, the position or the sync
    // fails or the file keeps growing, and (with no line) when the run is
    // stopped at once.
    // pattern, what the pass writes, is only told to Control's passStarting.
    template <class Fill>
    bool Pass(PassPattern pattern, Fill fill);

    // Closes the file and deletes it. False, after "Failed to overwrite file: "
    // if closing fails, or after "Failed to delete file: " if deleting fails or
    // the name no longer names the file that was overwritten. With discards,
    // the file's blocks are noted there before the delete (under
    // DiscardTicket()), to be discarded on the drive once gathered; a file
    // not deleted is dropped from it again.
    bool CloseAndDelete(DiscardGathering* discards = nullptr);
    size_t DiscardTicket() const { return discardTicket; }
    // Files up to this size may leave their last pass's sync to SyncTogether.
    static constexpr uint64_t batchedUpTo = 1 << 20;
    // True once the last pass is written but waits for SyncTogether to reach
    // the device; CloseAndDelete syncs it first if that never came.
    bool OwesSync() const { return syncOwed; }
    // The files that owe their sync pushed to their devices together: one
    // sync per filesystem rather than one per file. A file whose bytes did
    // not get there is left as OverwriteFailed, after the line.
    static void SyncTogether(const std::vector<FileOverwriter*>& files);

    // What the passes have written to the file so far.
    uint64_t BytesWritten() const { return writtenBytes; }

    // Why the last step failed; None while every step has succeeded.
    WipeFailure Failure() const { return failure; }
    // The system's text for it, where there is one.
    const wxString& FailureDetail() const { return failureDetail; }

    // Called on each stretch of the last pass as it was read back from the
    // device, before it is compared: lets the tests play a device that lost
    // writes. Set only while no wipe runs.
    static std::function<void(unsigned char* data, size_t n)> afterReadBack;

    // Called each time a pass, or its round over bytes the file has grown by,
    // has reached the device (a last pass that waits for SyncTogether: once
    // written); lets the tests read and change the file between passes. Set
    // only while no wipe runs.
    static std::function<void(const wxString& path)> afterPass;

private:
    using Range = FileExtents::Range;

    // Rounds over new bytes a pass gives a file that grows while it is
    // overwritten (a log still being written, say) before giving up on it.
    static constexpr unsigned growthRounds = 3;

    // Bytes are written this many at a time. Calls of 1 MiB cost the kernel
    // less per byte than smaller ones, and the buffer still stays in the
    // processor's cache between being filled and being copied.
    static constexpr size_t gatherSize = 1 << 20;
    static constexpr size_t verifyPiece = 64 << 10;

    template <class Fill>
    bool WriteRange(const Range& range, Fill& fill);
    // Each named stream of the file (Windows), from its first byte to its
    // end, with the same fill and synced: pass for pass with the file.
    // False, after the line, as StreamFailed with the stream's name in the
    // detail, or as Stopped.
    template <class Fill>
    bool PassStreams(Fill& fill);
    const std::vector<Range>& Ranges();
    // The queued size, or presentSize where the file is larger now.
    uint64_t PassSizeFor(uint64_t presentSize) const;
    void AddRange(Range range);
    long long PresentSize();
    bool Seek(uint64_t offset);
    // Writes n bytes from data where the file's position is.
    bool WriteGathered(const unsigned char* data, size_t n);
    // What fill gave for the n bytes from offset: into, or its own bytes.
    template <class Fill>
    static const unsigned char* Filled(Fill& fill, uint64_t offset, size_t n, unsigned char* into);
    static size_t Digest(const unsigned char* data, size_t n);
    bool EndRound(bool wrote);
    bool CheckGrowth(bool& grown);
    bool StillGrowing();
    bool Failed(const char* what, WipeFailure reason);
    void Report(const char* what) const;
    bool StopNow() const { return control.stopNow && control.stopNow->load(std::memory_order_relaxed); }
    // Reads every stretch of the last pass back from the device and compares
    // it with what was written; false, after "Verification failed: ", as
    // VerificationFailed.
    bool VerifyLastPass();

    // One stretch of the last pass, remembered by its digest so that
    // verifying costs one read of the file and no copy of it. Stretches of
    // 64 KiB, whatever the write calls, say closely where a read-back differs.
    struct Written {
        uint64_t offset;
        size_t length;
        size_t digest;
    };

    const QueueEntry& entry;
    const wxString& path;
    uint64_t passSize = 0;
    std::atomic<uint64_t>& processed;
    InPlaceFile file;
    HeldFolder* heldFolder;
    const Control control;
    int fd = -1;
    long long openedSize = -1;  // the file's size when opened; -1 when not known
    WipeFailure failure = WipeFailure::None;
    wxString failureDetail;
    // What every pass writes: found once, before the first pass, so that all
    // passes write the same bytes; grows with the file.
    std::vector<Range> ranges;
    bool rangesFound = false;
    std::unique_ptr<unsigned char[]> buffer;  // blocks gathered for one write call
    size_t bufferSize = 0;
    // Where growth is counted (CountIn), for the passes not yet done.
    std::atomic<uint64_t>* total = nullptr;
    unsigned passesPerFile = 0;
    unsigned passesDone = 0;
    uint64_t writtenBytes = 0;
    size_t discardTicket = 0;
    bool verifying = false;  // this pass is the last and is to be read back
    bool syncOwed = false;   // the last pass waits for SyncTogether
    std::vector<Written> lastPass;
};

template <class Fill>
bool FileOverwriter::Pass(PassPattern pattern, Fill fill)
{
    if (control.passStarting && *control.passStarting)
        (*control.passStarting)(path, passesDone + 1, passesPerFile, pattern);
    size_t first = 0;
    Ranges();
    verifying = control.verifyLastPass && passesDone + 1 >= passesPerFile;
    lastPass.clear();
    for (unsigned round = 0;; ++round) {
        const size_t end = ranges.size();
        for (size_t i = first; i < end; ++i) {
            if (!WriteRange(ranges[i], fill))
                return false;
        }
        if (!EndRound(end != first))
            return false;
        bool grown = false;
        if (!CheckGrowth(grown))
            return false;
        if (!grown)
            break;
        if (round == growthRounds)
            return StillGrowing();
        first = end;
    }
    // Synced by now: what the device holds can be read back.
    if (verifying && !VerifyLastPass())
        return false;
    verifying = false;
    if (!PassStreams(fill))
        return false;
    ++passesDone;
    return true;
}

template <class Fill>
bool FileOverwriter::PassStreams(Fill& fill)
{
    const int unnamed = fd;
    for (const InPlaceFile::Stream& stream : file.Streams()) {
        // WriteRange and Failed work on fd: pointed at the stream meanwhile.
        fd = stream.fd;
        bool written = WriteRange(Range{0, stream.size}, fill);
        if (written && stream.size != 0 && !InPlaceFile::Sync(fd))
            written = Failed("Failed to overwrite file: ", WipeFailure::StreamFailed);
        fd = unnamed;
        if (!written) {
            if (failure != WipeFailure::Stopped)
                failure = WipeFailure::StreamFailed;
            failureDetail = stream.name + (failureDetail.empty() ? "" : ": " + failureDetail);
            return false;
        }
    }
    return true;
}

template <class Fill>
bool FileOverwriter::WriteRange(const Range& range, Fill& fill)
{
    if (!Seek(range.offset))
        return false;
    const size_t wanted = range.length < gatherSize ? static_cast<size_t>(range.length) : gatherSize;
    if (bufferSize < wanted) {
        buffer.reset(new unsigned char[wanted]);
        bufferSize = wanted;
    }
    const uint64_t end = range.offset + range.length;
    uint64_t unpushed = range.offset;  // where the bytes not yet sent on their way begin
    for (uint64_t at = range.offset; at < end;) {
        // Checked between write calls, so that a stop takes effect at once.
        if (StopNow()) {
            failure = WipeFailure::Stopped;
            return false;
        }
        const size_t filled = static_cast<size_t>(std::min<uint64_t>(bufferSize, end - at));
        const unsigned char* data = Filled(fill, at, filled, buffer.get());
        for (size_t piece = 0; verifying && piece < filled; piece += verifyPiece) {
            const size_t n = std::min(verifyPiece, filled - piece);
            lastPass.push_back(Written{at + piece, n, Digest(data + piece, n)});
        }
        if (!WriteGathered(data, filled))
            return false;
        at += filled;
        if (at - unpushed >= Writeback::stretch) {
            Writeback::Start(fd, unpushed, at - unpushed);
            Writeback::Settle(fd, unpushed);
            unpushed = at;
        }
    }
    return true;
}

template <class Fill>
const unsigned char* FileOverwriter::Filled(Fill& fill, uint64_t offset, size_t n, unsigned char* into)
{
    if constexpr (std::is_void_v<std::invoke_result_t<Fill&, uint64_t, size_t, unsigned char*>>) {
        fill(offset, n, into);
        return into;
    } else {
        return fill(offset, n, into);
    }
}
