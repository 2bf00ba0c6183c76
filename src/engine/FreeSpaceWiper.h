// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/JournalPush.h"
#include "engine/WipeMethod.h"
#include "platform/Discard.h"
#include "platform/FillFile.h"
#include "platform/FreeSpace.h"
#include "platform/StorageMedium.h"

#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// Overwrites the free space of the filesystem a folder is on, so that what was
// deleted there before cannot be read back: in a hidden folder of its own it
// writes files until the filesystem refuses more, then small files until none
// fit, each synced to the device, and deletes all of them. One run per object;
// Run() works on the caller's thread while the window polls the progress.
class FreeSpaceWiper {
public:
    // What the window shows before a run.
    struct Check {
        FreeSpace::Filesystem filesystem;
        // Why overwriting cannot reach the old data there (copy-on-write,
        // network), or why there is nothing to wipe (memory, the kernel's
        // own filesystems); a run is refused when it is set.
        wxString refusal;
        // Set for a journalled filesystem: the journal may still hold copies
        // of folder blocks and small files after the run.
        wxString note;
        // The note is of the journal's copies, which the run clears at its
        // end: something to tell, not to warn of.
        bool journalCleared = false;
        // The drive under it: on flash the fill files' space is discarded.
        StorageMedium::Kind medium = StorageMedium::Kind::Unknown;
        // Free space that only an administrator's run may fill: the blocks
        // ext2/3/4 keeps for root, where this process is not root; 0 otherwise.
        uint64_t adminOnlyBytes = 0;
    };

    // What a run did; complete once IsFinished() is true.
    struct Result {
        uint64_t bytesWritten = 0;
        // Free space no file could take once the filesystem was full: the
        // blocks the filesystem keeps back (for the system unless root, for
        // itself even from root), and slack.
        uint64_t unreachedBytes = 0;
        uint64_t filesMade = 0;
        // Of bytesWritten: what went, with the filesystem held still, over
        // the blocks it keeps back and no file could take; and how long it
        // was held.
        uint64_t keptBackWritten = 0;
        uint32_t heldMilliseconds = 0;
        // Folders of earlier interrupted runs removed before this one.
        unsigned leftoversRemoved = 0;
        bool stopped = false;
        // False when something it made could not be deleted.
        bool removedAll = true;
        // Why the run did not finish; empty when it did (or was stopped).
        wxString failure;
        StorageMedium::Kind medium = StorageMedium::Kind::Unknown;
        // On flash: what was done about the space the fill files took.
        Discard::Outcome discard = Discard::Outcome::NotAsked;
        uint64_t discardedBytes = 0;
        bool periodicTrim = false;
        FreeSpace::Filesystem filesystem;  // as examined at the start
        JournalPush::State journal = JournalPush::State::NoJournal;
        // A filesystem that is not mounted, overwritten directly (VolumeWiper):
        // the unused inodes and the names of deleted files it cleared, and
        // what it could not reach and why (empty: nothing).
        uint64_t inodesCleared = 0;
        uint64_t namesCleared = 0;
        wxString unreached;
    };

    // The hidden folder's name; one found at the start of a run is what an
    // interrupted earlier run left behind, and is removed.
    static const char* const workFolderName;

    // Examines the filesystem folder is on; false, with the system's text in
    // detail, when it cannot be examined at all.
    static bool Inspect(const wxString& folder, Check& check, wxString& detail);

    FreeSpaceWiper(const wxString& folder, WipeMethod algorithm);
    FreeSpaceWiper(const FreeSpaceWiper&) = delete;
    FreeSpaceWiper& operator=(const FreeSpaceWiper&) = delete;

    // The whole run: leftovers removed, free space filled, everything it made
    // deleted again (also when stopped or failed).
    void Run();

    // Stops the run at the next write; what it made is still deleted. The
    // window's stop of a file run (Wiper::RequestStopNow) stops it as well.
    void RequestStop() { stopRequested = true; }

    uint64_t BytesWritten() const { return bytesWritten.load(std::memory_order_relaxed); }
    // The free space times the passes; 0 until the run has measured it.
    uint64_t TotalBytes() const { return totalBytes.load(); }
    bool IsFinished() const { return finished.load(); }
    Result GetResult() const;
    // The journal's push once the space is filled, as JournalPush shows it.
    const JournalPush::Progress& JournalStep() const { return journalProgress; }

private:
    enum class Pattern { Random, Zeros, Ones, RandomBlock };

    bool ShouldStop() const;
    // Removes the work folders of earlier runs at root and in the chosen folder.
    bool RemoveLeftovers(const FreeSpace::Filesystem& filesystem);
    // New files of up to fillFileLimit bytes each, written in calls of
    // chunks[0] bytes until a new file takes nothing, then of chunks[1] and so
    // on.
    bool Fill(const std::vector<Pattern>& passes, const std::vector<size_t>& chunks);
    // Once large writes are refused: the rest in ever smaller writes.
    bool FillTheRest(const std::vector<Pattern>& passes);
    // Creates the next file; Full when not even an empty one fits.
    FillFile::Outcome CreateNext(FillFile& file);
    // Writes every pass over one file in calls of chunk bytes, the first until
    // the file's limit or the filesystem is full (size is then what it took),
    // the others over the same bytes; each is synced before the next.
    bool WritePasses(FillFile& file, const std::vector<Pattern>& passes, size_t chunk, uint64_t& size);
    // Once no file fits: the blocks still free (those ext4 keeps back even
    // from root), written on the device with the filesystem held still for
    // as short a while as that takes. False only when a write failed.
    bool WriteKeptBack(const std::vector<Pattern>& passes, const FreeSpace::Filesystem& filesystem);
    // The first n bytes of into, as pattern asks.
    void MakePattern(Pattern pattern, unsigned char* into, size_t n);
    // After the fill: clears the journal (JournalPush), so that it no longer
    // holds old copies of folder blocks with the names of deleted files in them.
    void PushJournal(const FreeSpace::Filesystem& filesystem);
    bool Fail(const wxString& what, const wxString& detail);
    // On flash, the drive is asked to discard the fill files' space as well.
    void DeleteWhatWasMade(bool flash);

    const wxString folder;
    const WipeMethod algorithm;
    wxString workFolder;
    std::vector<wxString> made;  // worker thread only
    bool announceSize = false;   // fill files tell their size ahead (ext4)
    std::vector<unsigned char> buffer;  // the chunk being written
    unsigned char randomBlock[1024];

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
    std::atomic<uint64_t> bytesWritten{0};
    std::atomic<uint64_t> totalBytes{0};
    JournalPush::Progress journalProgress;

    mutable std::mutex resultMutex;  // guards result
    Result result;
};
