// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FreeSpaceWiper.h"

#include "engine/JournalPush.h"
#include "engine/ThreadRandom.h"
#include "engine/Wiper.h"
#include "platform/CrashRecord.h"
#include "platform/FrozenFilesystem.h"
#include "platform/OverwriteCaveat.h"

#include <wx/log.h>
#include <wx/translation.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

const char* const FreeSpaceWiper::workFolderName = ".vorlix-free-space";

namespace {

// One write call; large, as nothing but the fill files are in the way.
constexpr size_t writeSize = 1 << 20;
// Each fill file stays below the size limit of FAT32 and similar.
constexpr uint64_t fillFileLimit = uint64_t(1) << 30;

}  // namespace

bool FreeSpaceWiper::Inspect(const wxString& folder, Check& check, wxString& detail)
{
    check = Check();
    if (!FreeSpace::Examine(folder, check.filesystem, detail))
        return false;
    check.medium = StorageMedium().Of(folder);
    const wxString& type = check.filesystem.type;
    if ((type == "ext2" || type == "ext3" || type == "ext4") && !FreeSpace::FillsSystemReserve()
        && check.filesystem.freeBytes > check.filesystem.writableBytes)
        check.adminOnlyBytes = check.filesystem.freeBytes - check.filesystem.writableBytes;
    const wxString caveat =
        check.filesystem.caveat.empty() ? OverwriteCaveat::For(folder) : check.filesystem.caveat;
    // An ext4 journal that keeps data is pushed round by the fill itself;
    // elsewhere the new bytes never land where the old ones are.
    if (check.filesystem.system) {
        check.refusal = wxString::Format(
            _("This is a %s filesystem through which the system shows its own settings and devices: "
              "it stores no files, so there is no free space to wipe."),
            check.filesystem.type);
    } else if (check.filesystem.inMemory) {
        check.refusal = wxString::Format(
            _("This is a %s filesystem kept in memory: nothing written there outlives a restart, "
              "so there is no free space to wipe."),
            check.filesystem.type);
    } else if (!caveat.empty() && !caveat.StartsWith("ext4")) {
        // The noun comes as OverwriteCaveat's ("btrfs filesystem") or as
        // Windows names it ("ReFS", "network").
        const wxString noun = caveat == "network" ? wxString("network drive")
                              : caveat.EndsWith(" filesystem") || caveat.StartsWith("network ")
                                  ? caveat
                                  : caveat + " filesystem";
        check.refusal = wxString::Format(
            _("On this %s, new data goes to new places and never over the old, so filling the "
              "free space cannot reach what was deleted there."),
            OverwriteCaveat::Shown(noun));
    } else if (FreeSpace::JournalBlocks(check.filesystem) != 0) {
        check.journalCleared = true;
        check.note = wxString::Format(
            _("The %s journal keeps older copies of folder entries and small files for a while; "
              "at the end, Vorlix clears them from it."),
            check.filesystem.type);
    } else if (!caveat.empty() || FreeSpace::IsJournalled(check.filesystem.type)) {
        check.note = wxString::Format(
            _("The %s journal may still hold older copies of folder entries and small files "
              "for a while after the wipe."),
            check.filesystem.type);
    }
    return true;
}

FreeSpaceWiper::FreeSpaceWiper(const wxString& folder, WipeMethod algorithm)
    : folder(folder), algorithm(algorithm), buffer(writeSize)
{
}

FreeSpaceWiper::Result FreeSpaceWiper::GetResult() const
{
    std::lock_guard<std::mutex> lock(resultMutex);
    return result;
}

bool FreeSpaceWiper::ShouldStop() const
{
    return stopRequested.load(std::memory_order_relaxed) || Wiper::IsStopNowRequested();
}

void FreeSpaceWiper::Run()
{
    const std::vector<Pattern> passes = algorithm == WipeMethod::DoD
        ? std::vector<Pattern>{Pattern::Zeros, Pattern::Ones, Pattern::RandomBlock}
        : std::vector<Pattern>{Pattern::Random};
    ThreadRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));

    Check check;
    wxString detail;
    if (!Inspect(folder, check, detail)) {
        Fail(_("Cannot examine the folder: "), detail);
    } else if (!check.refusal.empty()) {
        Fail(check.refusal, wxString());
    } else if (RemoveLeftovers(check.filesystem)) {
        const FreeSpace::Filesystem& fs = check.filesystem;
        // Elsewhere (FAT) a size set ahead is written out in zeros.
        announceSize = fs.type == "ext2" || fs.type == "ext3" || fs.type == "ext4";
        // At the top of the filesystem where allowed, so that the next run
        // finds what an interrupted one left, whichever folder it is given.
        workFolder = FreeSpace::Join(fs.root, workFolderName);
        if (!FreeSpace::MakeHiddenFolder(workFolder, detail)) {
            workFolder = FreeSpace::Join(folder, workFolderName);
            if (!FreeSpace::MakeHiddenFolder(workFolder, detail))
                workFolder.clear();
        }
        if (workFolder.empty()) {
            Fail(_("Cannot create the work folder: "), detail);
        } else {
            // A crash would leave the disk full until the next free-space run:
            // the next start of the program removes the folder instead.
            CrashRecord::NoteFillFolder(workFolder, fs.id);
            FreeSpace::Filesystem now;
            if (FreeSpace::Examine(folder, now, detail))
                totalBytes = now.writableBytes * passes.size();
            if (Fill(passes, {writeSize}) && FillTheRest(passes) && WriteKeptBack(passes, fs)) {
                // Measured while full: what neither a file nor the step
                // after the fill could take.
                if (FreeSpace::Examine(folder, now, detail)) {
                    std::lock_guard<std::mutex> lock(resultMutex);
                    const uint64_t reached = result.keptBackWritten / passes.size();
                    result.unreachedBytes = now.freeBytes > reached ? now.freeBytes - reached : 0;
                }
            }
        }
    }
    DeleteWhatWasMade(check.medium == StorageMedium::Kind::Flash);
    if (!workFolder.empty() && !ShouldStop() && GetResult().failure.empty())
        PushJournal(check.filesystem);
    // What could not be removed stays recorded, for the next start.
    if (!workFolder.empty() && GetResult().removedAll)
        CrashRecord::DropFillFolder(workFolder);
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result.bytesWritten = bytesWritten.load();
        result.filesMade = made.size();
        result.medium = check.medium;
        result.filesystem = check.filesystem;
        // Not pushed (stopped, failed): a journal it has still holds what it held.
        if (result.journal == JournalPush::State::NoJournal && FreeSpace::JournalBlocks(check.filesystem) != 0)
            result.journal = JournalPush::State::NotCleared;
        result.stopped = result.failure.empty() && ShouldStop();
    }
    finished = true;
}

bool FreeSpaceWiper::RemoveLeftovers(const FreeSpace::Filesystem& filesystem)
{
    for (const wxString& base : {filesystem.root, folder}) {
        const wxString leftover = FreeSpace::Join(base, workFolderName);
        FreeSpace::Filesystem at;
        wxString detail;
        if (!FreeSpace::Examine(leftover, at, detail))
            continue;  // none there
        if (at.id != filesystem.id)
            continue;  // something mounted on it: not ours
        if (!FreeSpace::RemoveFolder(leftover, detail))
            return Fail(_("Cannot remove what an earlier run left behind: "), detail);
        std::lock_guard<std::mutex> lock(resultMutex);
        ++result.leftoversRemoved;
    }
    return true;
}

bool FreeSpaceWiper::FillTheRest(const std::vector<Pattern>& passes)
{
    // ext4 refuses a large write while smaller ones still find room (a few
    // free blocks here and there), down to one byte; on NTFS a file that small
    // lives in a free entry of the file table. Each refusal costs ext4 a
    // journal commit, hence few steps. The blocks ext4 keeps back even from
    // root are left to WriteKeptBack: other programs' accepted writes may
    // need them while files still take space.
    return Fill(passes, {4096, 512, 1});
}

FillFile::Outcome FreeSpaceWiper::CreateNext(FillFile& file)
{
    const wxString path = FreeSpace::Join(workFolder, wxString::Format("fill-%06zu", made.size()));
    const FillFile::Outcome outcome = file.Create(path);
    if (outcome == FillFile::Outcome::Written)
        made.push_back(path);
    else if (outcome == FillFile::Outcome::Failed)
        Fail(_("Cannot create a fill file: "), file.Detail());
    return outcome;
}

bool FreeSpaceWiper::Fill(const std::vector<Pattern>& passes, const std::vector<size_t>& chunks)
{
    for (size_t level = 0; level < chunks.size();) {
        if (ShouldStop())
            return false;
        FillFile file;
        const FillFile::Outcome created = CreateNext(file);
        if (created != FillFile::Outcome::Written)
            return created == FillFile::Outcome::Full;
        if (announceSize && !file.AnnounceSize(fillFileLimit))
            return Fail(_("Cannot write a fill file: "), file.Detail());
        uint64_t size = 0;
        if (!WritePasses(file, passes, chunks[level], size))
            return false;
        if (!file.Close())
            return Fail(_("Cannot write a fill file: "), file.Detail());
        if (size == 0)
            ++level;
    }
    return true;
}

bool FreeSpaceWiper::WritePasses(FillFile& file, const std::vector<Pattern>& passes, size_t chunk,
                                 uint64_t& size)
{
    ThreadRandom::Fill(randomBlock, sizeof randomBlock);
    for (size_t pass = 0; pass < passes.size(); ++pass) {
        const Pattern pattern = passes[pass];
        if (pattern != Pattern::Random)
            MakePattern(pattern, buffer.data(), buffer.size());
        if (pass != 0 && !file.Rewind())
            return Fail(_("Cannot write a fill file: "), file.Detail());
        // The first pass finds the size; the others write over the same bytes.
        const uint64_t target = pass == 0 ? fillFileLimit : size;
        uint64_t done = 0;
        while (done < target) {
            if (ShouldStop())
                return false;
            const size_t n = static_cast<size_t>(std::min<uint64_t>(target - done, chunk));
            // Made on this thread: the generator costs a small part of what
            // writing the bytes costs.
            if (pattern == Pattern::Random)
                ThreadRandom::Fill(buffer.data(), n);
            size_t written = 0;
            const FillFile::Outcome outcome = file.Write(buffer.data(), n, written);
            done += written;
            bytesWritten.fetch_add(written, std::memory_order_relaxed);
            if (outcome == FillFile::Outcome::Failed || (outcome == FillFile::Outcome::Full && pass != 0))
                return Fail(_("Cannot write a fill file: "), file.Detail());
            if (outcome == FillFile::Outcome::Full)
                break;
        }
        if (pass == 0)
            size = done;
        // Unsynced, a later pass would only replace the earlier one in the cache.
        if (size != 0 && !file.Sync())
            return Fail(_("Cannot write a fill file: "), file.Detail());
    }
    return true;
}

void FreeSpaceWiper::MakePattern(Pattern pattern, unsigned char* into, size_t n)
{
    if (pattern == Pattern::Random) {
        ThreadRandom::Fill(into, n);
    } else if (pattern == Pattern::RandomBlock) {
        for (size_t at = 0; at < n; at += sizeof randomBlock)
            std::memcpy(into + at, randomBlock, std::min(sizeof randomBlock, n - at));
    } else {
        std::memset(into, pattern == Pattern::Zeros ? 0x00 : 0xFF, n);
    }
}

bool FreeSpaceWiper::WriteKeptBack(const std::vector<Pattern>& passes, const FreeSpace::Filesystem& filesystem)
{
    // Held still, no block is handed out meanwhile, so writing beneath the
    // filesystem races no allocation; other programs' writes wait rather
    // than fail. The reserve itself is never lowered: writes already
    // accepted may need it.
    if (!filesystem.freezable || ShouldStop())
        return true;
    FreeSpace::Sync(folder);
    FreeSpace::Filesystem now;
    wxString detail;
    if (!FreeSpace::Examine(folder, now, detail) || now.id != filesystem.id)
        return true;
    // The hold stays short: what the fill left is the reserve and slack. More
    // than that means the filesystem is changing under the fill; it is then
    // left for the unreached count to tell.
    const uint64_t kept = filesystem.freeBytes - std::min(filesystem.freeBytes, filesystem.writableBytes);
    const uint64_t limit = 2 * kept + (uint64_t(64) << 20);
    if (now.freeBytes > limit)
        return true;
    FrozenFilesystem frozen;
    std::vector<FrozenFilesystem::Extent> extents;
    const auto start = std::chrono::steady_clock::now();
    if (!frozen.Freeze(filesystem, detail) || !frozen.FreeExtents(extents, detail)) {
        wxLogDebug("free space: not held still: %s", detail);
        return true;
    }
    uint64_t free = 0;
    for (const FrozenFilesystem::Extent& extent : extents)
        free += extent.length;
    if (free > limit)
        return true;
    totalBytes.fetch_add(free * passes.size());
    ThreadRandom::Fill(randomBlock, sizeof randomBlock);
    uint64_t written = 0;
    bool ok = true;
    for (size_t pass = 0; ok && pass < passes.size(); ++pass) {
        for (const FrozenFilesystem::Extent& extent : extents) {
            for (uint64_t at = 0; ok && at < extent.length; at += FrozenFilesystem::bufferSize) {
                if (ShouldStop())
                    return true;  // thawed on the way out
                const size_t n = size_t(std::min<uint64_t>(extent.length - at, FrozenFilesystem::bufferSize));
                MakePattern(passes[pass], frozen.Buffer(), n);
                ok = frozen.Write(extent.offset + at, n, detail);
                if (ok) {
                    written += n;
                    bytesWritten.fetch_add(n, std::memory_order_relaxed);
                }
            }
        }
        ok = ok && frozen.Flush(detail);
    }
    frozen.Thaw();
    const auto held = std::chrono::steady_clock::now() - start;
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result.keptBackWritten = written;
        result.heldMilliseconds =
            uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(held).count());
    }
    return ok || Fail(_("Cannot write the blocks the filesystem keeps back: "), detail);
}

void FreeSpaceWiper::PushJournal(const FreeSpace::Filesystem& filesystem)
{
    wxString detail;
    JournalPush::State journal = JournalPush::State::NotCleared;
    const bool removed = JournalPush::Run(filesystem, workFolder, [this] { return ShouldStop(); }, detail, &journal,
                                         &journalProgress);
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result.journal = journal;
    }
    if (!removed) {
        Fail(_("Cannot remove the work folder: "), detail);
        std::lock_guard<std::mutex> lock(resultMutex);
        result.removedAll = false;
    }
    FreeSpace::Sync(folder);
}

bool FreeSpaceWiper::Fail(const wxString& what, const wxString& detail)
{
    std::lock_guard<std::mutex> lock(resultMutex);
    if (result.failure.empty())
        result.failure = what + detail;
    return false;
}

void FreeSpaceWiper::DeleteWhatWasMade(bool flash)
{
    if (workFolder.empty())
        return;
    Discard discard;
    for (const wxString& path : made) {
        if (flash)
            discard.BeforeFile(path);
        FillFile::Remove(path);
    }
    if (flash) {
        const Discard::Outcome outcome = discard.After(folder);
        std::lock_guard<std::mutex> lock(resultMutex);
        result.discard = outcome;
        result.discardedBytes = discard.Bytes();
        result.periodicTrim = outcome == Discard::Outcome::Deferred && Discard::PeriodicTrimEnabled();
    }
    wxString detail;
    if (!FreeSpace::RemoveFolder(workFolder, detail)) {
        Fail(_("Cannot remove the work folder: "), detail);
        std::lock_guard<std::mutex> lock(resultMutex);
        result.removedAll = false;
    }
    FreeSpace::Sync(folder);
}
