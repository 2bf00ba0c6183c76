// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/Discard.h"
#include "platform/FileExtents.h"

// The blocks of a run's wiped files, gathered per filesystem and discarded
// together: one sync and a few large requests per filesystem rather than a
// sync and a request per file, which on flash cost more than wiping a small
// file. Each file still gets the outcome and byte count Discard would give it
// alone.
//
// On Linux a file's blocks are noted while it is open (Note, before its
// delete) and asked for with FITRIM once gathered; FITRIM discards only free
// blocks, so blocks another file took meanwhile are passed by, and a file
// still held open elsewhere keeps its own. Each filesystem's gathering holds
// a folder of it open until discarded (it cannot be unmounted meanwhile). On
// Windows each file's clusters are trimmed at Note, as Discard does, and only
// the outcome waits.
class DiscardGathering {
public:
    // A filesystem's blocks are discarded once this many bytes are gathered
    // on it, so that a long run does not keep freed blocks waiting.
    static constexpr uint64_t limit = uint64_t(256) << 20;

    // What became of one noted file's blocks.
    using Each = std::function<void(size_t ticket, Discard::Outcome outcome, uint64_t bytes)>;

    DiscardGathering() = default;
    DiscardGathering(const DiscardGathering&) = delete;
    DiscardGathering& operator=(const DiscardGathering&) = delete;
    // Whatever is still gathered is dropped undiscarded: call All first.
    ~DiscardGathering();

    // Notes the blocks of the open file fd (as InPlaceFile gives it) in
    // folder before its delete; the ticket names it in Drop and in Each.
    size_t Note(int fd, const wxString& folder);
    // The file noted under ticket was not deleted after all: its blocks are
    // not asked for and it gets no Each.
    void Drop(size_t ticket);

    // Once every file noted has been deleted and closed: discards what each
    // filesystem that has reached limit gathered (Full), or what every one
    // did (All), handing each noted file's outcome to each.
    void Full(const Each& each);
    void All(const Each& each);

private:
    struct Piece {
        FileExtents::Range range;  // on the filesystem's device, in bytes
        size_t ticket;
    };
    struct Noted {
        bool unmapped = false;  // not all of its blocks could be placed
        bool placed = false;    // some of them were
        uint64_t bytes = 0;     // what was discarded of it so far
        Discard::Outcome outcome = Discard::Outcome::NotAsked;
    };
    // The files of one filesystem.
    struct Filesystem {
        int folder = -1;  // a folder on it, to ask through; -1 until one is opened
        uint64_t blockSize = 0;
        std::vector<Piece> pieces;
        std::map<size_t, Noted> files;  // by ticket
        uint64_t gathered = 0;
    };

    // Asks for every piece of filesystem and hands out its files' outcomes.
    void Ask(Filesystem& filesystem, uint64_t device, const Each& each);
    // The pieces [first, last), which together are one stretch of the
    // device, asked for in one request where that tells each file's share;
    // false, with the system's error, where a request failed.
    bool Span(Filesystem& filesystem, size_t first, size_t last, int& error);

    std::map<uint64_t, Filesystem> filesystems;  // by device
    std::map<size_t, uint64_t> deviceOf;         // by ticket, until discarded or dropped
    size_t nextTicket = 0;
};
