// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FileOverwriter.h"

#include "engine/ConsoleText.h"
#include "platform/SharedSync.h"

#include <wx/log.h>

#include <wx/filefn.h>
#include <wx/wxcrt.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string_view>

std::function<void(const wxString& path)> FileOverwriter::afterPass;
std::function<void(unsigned char* data, size_t n)> FileOverwriter::afterReadBack;

FileOverwriter::FileOverwriter(const QueueEntry& entry, std::atomic<uint64_t>& processed, HeldFolder* folder,
                               Control control)
    : entry(entry), path(entry.path), processed(processed), heldFolder(folder), control(control)
{
    file.SetClearReadOnly(control.clearReadOnly);
}

FileOverwriter::FileOverwriter(const QueueEntry& entry, std::atomic<uint64_t>& processed)
    : FileOverwriter(entry, processed, nullptr, Control())
{
}

void FileOverwriter::Report(const char* what) const
{
    if (control.logSteps)
        std::cerr << what << ConsoleText::Of(path) << std::endl;
}

FileOutcome FileOverwriter::Preview(const QueueEntry& entry, bool clearReadOnly)
{
    std::atomic<uint64_t> unused{0};
    Control control;
    control.clearReadOnly = clearReadOnly;
    FileOverwriter file(entry, unused, nullptr, control);
    FileOutcome outcome{QueuedFile::Named(entry.path), 0, 0, WipeFailure::None, wxString()};
    if (entry.size != QueueEntry::unknownSize)
        outcome.size = entry.size.GetValue();
    uint64_t presentSize = 0;
    outcome.reason = file.file.Inspect(entry.folder, entry.name, presentSize, outcome.detail);
    if (outcome.reason != WipeFailure::None)
        return outcome;
    file.fd = file.file.Descriptor();
    file.openedSize = file.fd < 0 ? -1 : static_cast<long long>(presentSize);
    file.passSize = file.PassSizeFor(presentSize);
    outcome.size = file.PassSize();
    for (const Range& range : file.Ranges())
        outcome.bytesOverwritten += range.length;
    for (const InPlaceFile::Stream& stream : file.file.Streams())
        outcome.bytesOverwritten += stream.size;
    return outcome;
}

bool FileOverwriter::Open()
{
    uint64_t presentSize = 0;
    failure = file.Open(entry.folder, entry.name, presentSize, failureDetail, heldFolder);
    if (failure != WipeFailure::None) {
        Report("Failed to open file for writing: ");
        return false;
    }
    fd = file.Descriptor();
    openedSize = static_cast<long long>(presentSize);
    passSize = PassSizeFor(presentSize);
    return true;
}

uint64_t FileOverwriter::PassSizeFor(uint64_t presentSize) const
{
    const bool sizeKnown = entry.size != QueueEntry::unknownSize;
    return sizeKnown ? std::max<uint64_t>(entry.size.GetValue(), presentSize) : presentSize;
}

bool FileOverwriter::CloseAndDelete(DiscardGathering* discards)
{
    // Where the blocks lie is asked while the file is still open: once it
    // is deleted nothing says which were its.
    // Never deleted before its last pass is on the device.
    if (syncOwed) {
        syncOwed = false;
        if (!InPlaceFile::Sync(fd))
            return Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
    }
    if (discards)
        discardTicket = discards->Note(fd, entry.folder);
    failure = file.CloseAndDelete(failureDetail);
    fd = -1;
    if (discards && failure != WipeFailure::None)
        discards->Drop(discardTicket);
    switch (failure) {
    case WipeFailure::None:
        return true;
    case WipeFailure::OverwriteFailed: Report("Failed to overwrite file: "); return false;
    default: Report("Failed to delete file: "); return false;
    }
}

void FileOverwriter::CountIn(std::atomic<uint64_t>& into, unsigned passes, uint64_t countedPerPass)
{
    total = &into;
    passesPerFile = passes;
    uint64_t perPass = 0;
    for (const Range& range : Ranges())
        perPass += range.length;
    for (const InPlaceFile::Stream& stream : file.Streams())
        perPass += stream.size;
    // One addition (wrapping when the file holds less than was counted), so
    // that a poller never sees a total in between.
    into += (perPass - countedPerPass) * passes;
}

// The stretches every pass writes, found on first use: the data of the first
// passSize bytes, and whatever lies between the present end and passSize.
const std::vector<FileExtents::Range>& FileOverwriter::Ranges()
{
    if (rangesFound)
        return ranges;
    rangesFound = true;
    // The size Open just found: asking again costs a call per file.
    const long long size = openedSize;
    if (size < 0) {
        AddRange(Range{0, passSize});
        return ranges;
    }
    for (const Range& range : FileExtents::Allocated(fd, 0, passSize))
        AddRange(range);
    // A file shrunk since it was queued is written up to its queued size.
    if (passSize > static_cast<uint64_t>(size))
        AddRange(Range{static_cast<uint64_t>(size), passSize - static_cast<uint64_t>(size)});
    return ranges;
}

void FileOverwriter::AddRange(Range range)
{
    if (range.length == 0)
        return;
    // Adjoining stretches are written as one, in calls of the whole gather size.
    if (!ranges.empty() && ranges.back().offset + ranges.back().length == range.offset)
        ranges.back().length += range.length;
    else
        ranges.push_back(range);
}

long long FileOverwriter::PresentSize()
{
    return wxSeek(fd, 0, SEEK_END);
}

bool FileOverwriter::Seek(uint64_t offset)
{
    const wxFileOffset to = static_cast<wxFileOffset>(offset);
    return wxSeek(fd, to, SEEK_SET) == to || Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
}

bool FileOverwriter::WriteGathered(const unsigned char* data, size_t n)
{
    while (n != 0) {
        // wxWrite gives ssize_t on POSIX and int on Windows; both fit.
        const long long written = wxWrite(fd, data, static_cast<unsigned>(n));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;  // no progress and no reason: what a full disk looks like
            return Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
        }
        // A call may write less than asked (a signal, a size limit, the disk
        // filling up); the next one writes the rest or says why it cannot.
        processed.fetch_add(static_cast<uint64_t>(written), std::memory_order_relaxed);
        writtenBytes += static_cast<uint64_t>(written);
        data += written;
        n -= static_cast<size_t>(written);
    }
    return true;
}

bool FileOverwriter::EndRound(bool wrote)
{
    // One sync per small file cost more than its writing: the last pass
    // (the one before the delete) may reach the device with others'.
    const bool lastPass = passesPerFile != 0 && passesDone + 1 >= passesPerFile;
    if (wrote && control.batchLastSync && lastPass && !verifying && passSize <= batchedUpTo
        && (syncOwed || file.KeepFolder())) {
        syncOwed = true;
    } else if (wrote && !InPlaceFile::Sync(fd)) {
        // Nothing was written for an empty file, so there is nothing to push.
        return Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
    }
    if (afterPass)
        afterPass(path);
    return true;
}

void FileOverwriter::SyncTogether(const std::vector<FileOverwriter*>& files)
{
    std::vector<SharedSync::File> open;
    std::vector<FileOverwriter*> owing;
    for (FileOverwriter* overwriter : files) {
        if (overwriter->syncOwed && overwriter->fd >= 0) {
            open.push_back(SharedSync::File{overwriter->fd, overwriter->file.Device()});
            owing.push_back(overwriter);
        }
    }
    std::vector<bool> synced;
    SharedSync::Of(open, synced);
    const int error = errno;
    for (size_t i = 0; i < owing.size(); ++i) {
        FileOverwriter& overwriter = *owing[i];
        overwriter.syncOwed = false;
        if (!synced[i]) {
            errno = error;
            overwriter.Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
        }
    }
}

// Sets grown if the file now ends past passSize, and then adds its new data to
// the stretches and to the total. False, after the line, if its size cannot be
// told.
bool FileOverwriter::CheckGrowth(bool& grown)
{
    const long long size = PresentSize();
    if (size < 0)
        return Failed("Failed to overwrite file: ", WipeFailure::OverwriteFailed);
    grown = static_cast<uint64_t>(size) > passSize;
    if (!grown)
        return true;
    uint64_t added = 0;
    // Kept apart from the stretches before them, which this round must not
    // write again.
    for (const Range& range : FileExtents::Allocated(fd, passSize, static_cast<uint64_t>(size))) {
        ranges.push_back(range);
        added += range.length;
    }
    passSize = static_cast<uint64_t>(size);
    // Counted for this pass and the ones after it before any of it is
    // written, so that processed cannot meet the total early.
    if (total && passesPerFile > passesDone)
        *total += added * (passesPerFile - passesDone);
    return true;
}

bool FileOverwriter::StillGrowing()
{
    failure = WipeFailure::Growing;
    failureDetail.clear();
    Report("Failed to overwrite file: ");
    return false;
}

bool FileOverwriter::Failed(const char* what, WipeFailure reason)
{
    failure = reason;
    failureDetail = wxSysErrorMsgStr(errno);
    Report(what);
    return false;
}

size_t FileOverwriter::Digest(const unsigned char* data, size_t n)
{
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(data), n));
}

bool FileOverwriter::VerifyLastPass()
{
    // Adjoining stretches are read back together: one direct read per
    // 64 KiB measured at a third of the speed of reads of a few MiB.
    constexpr size_t readSize = 4 << 20;
    std::vector<unsigned char> read;
    for (size_t first = 0; first < lastPass.size();) {
        if (StopNow()) {
            failure = WipeFailure::Stopped;
            return false;
        }
        size_t last = first + 1;
        size_t length = lastPass[first].length;
        while (last < lastPass.size() && length < readSize
               && lastPass[last].offset == lastPass[first].offset + length)
            length += lastPass[last++].length;
        read.resize(length);
        wxString detail;
        if (!file.ReadFromDevice(lastPass[first].offset, length, read.data(), detail)) {
            failure = WipeFailure::VerificationFailed;
            failureDetail = detail;
            Report("Verification failed: ");
            return false;
        }
        if (afterReadBack)
            afterReadBack(read.data(), read.size());
        for (size_t i = first, at = 0; i < last; at += lastPass[i++].length) {
            const Written& written = lastPass[i];
            if (Digest(read.data() + at, written.length) == written.digest)
                continue;
            failure = WipeFailure::VerificationFailed;
            failureDetail = wxString::Format("bytes %llu to %llu differ",
                                             static_cast<unsigned long long>(written.offset),
                                             static_cast<unsigned long long>(written.offset + written.length));
            Report("Verification failed: ");
            return false;
        }
        first = last;
    }
    return true;
}
