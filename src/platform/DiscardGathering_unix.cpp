// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DiscardGathering.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/NativePath.h"

namespace {

// Where a file's place on a device could not be told at all.
constexpr uint64_t noDevice = UINT64_MAX;

// What the filesystem behind fd reports discarded of [offset, offset +
// length), or -1 with errno set.
long long Trim(int fd, uint64_t offset, uint64_t length)
{
    fstrim_range range{offset, length, 0};
    if (::ioctl(fd, FITRIM, &range) != 0)
        return -1;
    return static_cast<long long>(range.len);
}

}  // namespace

DiscardGathering::~DiscardGathering()
{
    for (auto& each : filesystems) {
        if (each.second.folder >= 0)
            ::close(each.second.folder);
    }
}

size_t DiscardGathering::Note(int fd, const wxString& folder)
{
    const size_t ticket = nextTicket++;
    struct stat st;
    const uint64_t device = ::fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_dev) : noDevice;
    Filesystem& filesystem = filesystems[device];
    Noted& noted = filesystem.files[ticket];
    deviceOf[ticket] = device;
    if (device == noDevice) {
        noted.unmapped = true;
        return ticket;
    }
    // Opened now, while the folder surely exists: the run may remove it
    // before the blocks are asked for.
    std::string native;
    if (filesystem.folder < 0 && NativePath::Encode(folder, native)) {
        const int opened = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat at;
        struct statvfs fs;
        // A folder with something else mounted over it is no way to this file's filesystem.
        if (opened >= 0 && ::fstat(opened, &at) == 0 && static_cast<uint64_t>(at.st_dev) == device
            && ::fstatvfs(opened, &fs) == 0) {
            filesystem.folder = opened;
            filesystem.blockSize = std::max<uint64_t>(fs.f_bsize, 512);
        } else if (opened >= 0) {
            ::close(opened);
        }
    }
    std::vector<FileExtents::Range> ranges;
    if (!FileExtents::OnDevice(fd, ranges))
        noted.unmapped = true;
    noted.placed = !ranges.empty();
    for (const FileExtents::Range& range : ranges) {
        filesystem.pieces.push_back(Piece{range, ticket});
        filesystem.gathered += range.length;
    }
    return ticket;
}

void DiscardGathering::Drop(size_t ticket)
{
    const auto device = deviceOf.find(ticket);
    if (device == deviceOf.end())
        return;
    Filesystem& filesystem = filesystems[device->second];
    std::vector<Piece>& pieces = filesystem.pieces;
    const auto mine = std::remove_if(pieces.begin(), pieces.end(),
                                     [ticket](const Piece& piece) { return piece.ticket == ticket; });
    for (auto piece = mine; piece != pieces.end(); ++piece)
        filesystem.gathered -= piece->range.length;
    pieces.erase(mine, pieces.end());
    filesystem.files.erase(ticket);
    deviceOf.erase(device);
}

void DiscardGathering::Full(const Each& each)
{
    for (auto filesystem = filesystems.begin(); filesystem != filesystems.end();) {
        if (filesystem->second.gathered < limit) {
            ++filesystem;
            continue;
        }
        Ask(filesystem->second, filesystem->first, each);
        filesystem = filesystems.erase(filesystem);
    }
}

void DiscardGathering::All(const Each& each)
{
    for (auto& filesystem : filesystems)
        Ask(filesystem.second, filesystem.first, each);
    filesystems.clear();
}

void DiscardGathering::Ask(Filesystem& filesystem, uint64_t device, const Each& each)
{
    std::vector<Piece>& pieces = filesystem.pieces;
    if (filesystem.folder >= 0 && !pieces.empty()) {
        // The blocks of a deleted file are free only once the journal has
        // committed the delete; until then FITRIM passes them by. One sync
        // serves every file gathered.
        ::syncfs(filesystem.folder);
        std::stable_sort(pieces.begin(), pieces.end(),
                         [](const Piece& a, const Piece& b) { return a.range.offset < b.range.offset; });
        bool refusedForGood = false;
        Discard::Outcome refusal = Discard::Outcome::Failed;
        for (size_t first = 0; first < pieces.size();) {
            // A span: the pieces that meet or overlap, of any files.
            size_t last = first + 1;
            uint64_t end = pieces[first].range.offset + pieces[first].range.length;
            while (last < pieces.size() && pieces[last].range.offset <= end) {
                end = std::max(end, pieces[last].range.offset + pieces[last].range.length);
                ++last;
            }
            int error = 0;
            if (!refusedForGood && !Span(filesystem, first, last, error)) {
                refusal = Discard::Refusal(error, device);
                refusedForGood = Discard::RefusedForGood(error);
            }
            if (refusedForGood || error != 0) {
                for (size_t i = first; i < last; ++i)
                    filesystem.files[pieces[i].ticket].outcome = refusal;
            }
            first = last;
        }
    }
    for (auto& file : filesystem.files) {
        Noted& noted = file.second;
        const bool asked = noted.outcome != Discard::Outcome::NotAsked;
        // A file with no blocks and all of them placed (an empty one) leaves
        // nothing to discard; one whose blocks could not be asked for fails.
        if (filesystem.folder < 0 && (noted.placed || noted.unmapped))
            noted.outcome = Discard::Outcome::Failed;
        else if (noted.unmapped && (!asked || noted.outcome == Discard::Outcome::Discarded))
            noted.outcome = Discard::Outcome::Failed;
        // Blocks still held (the file open elsewhere), or fewer than the
        // drive discards at once, are passed by.
        else if (noted.outcome == Discard::Outcome::Discarded && noted.bytes == 0)
            noted.outcome = Discard::Outcome::NotFree;
        each(file.first, noted.outcome, noted.bytes);
        deviceOf.erase(file.first);
    }
    if (filesystem.folder >= 0)
        ::close(filesystem.folder);
    filesystem.folder = -1;
}

bool DiscardGathering::Span(Filesystem& filesystem, size_t first, size_t last, int& error)
{
    std::vector<Piece>& pieces = filesystem.pieces;
    const auto took = [&filesystem](const Piece& piece, uint64_t bytes) {
        Noted& noted = filesystem.files[piece.ticket];
        noted.bytes += bytes;
        if (noted.outcome == Discard::Outcome::NotAsked)
            noted.outcome = Discard::Outcome::Discarded;
    };
    const uint64_t start = pieces[first].range.offset;
    uint64_t end = start;
    bool oneFile = true;
    for (size_t i = first; i < last; ++i) {
        end = std::max(end, pieces[i].range.offset + pieces[i].range.length);
        oneFile = oneFile && pieces[i].ticket == pieces[first].ticket;
    }
    const long long trimmed = Trim(filesystem.folder, start, end - start);
    if (trimmed < 0) {
        error = errno;
        return false;
    }
    // ext4 goes on to the end of a free stretch that begins in the range:
    // what it reports can include free space beside the files.
    if (oneFile) {
        took(pieces[first], std::min<uint64_t>(trimmed, end - start));
        return true;
    }
    // Only a free stretch running on past the end can have added to the
    // count: asking from the end on says by how much. With that taken off,
    // a count that covers the span says that each file gave all its blocks.
    const long long beyond = Trim(filesystem.folder, end, filesystem.blockSize);
    if (beyond >= 0 && trimmed >= beyond && static_cast<uint64_t>(trimmed - beyond) >= end - start) {
        for (size_t i = first; i < last; ++i)
            took(pieces[i], pieces[i].range.length);
        return true;
    }
    // Some blocks were not free: each file's own are asked for again (free
    // ones a second time, which costs nothing) to tell whose they were.
    for (size_t i = first; i < last; ++i) {
        const long long own = Trim(filesystem.folder, pieces[i].range.offset, pieces[i].range.length);
        if (own < 0) {
            error = errno;
            return false;
        }
        took(pieces[i], std::min<uint64_t>(own, pieces[i].range.length));
    }
    return true;
}
