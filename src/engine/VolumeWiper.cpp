// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/VolumeWiper.h"

#include "engine/ThreadRandom.h"
#include "engine/Wiper.h"
#include "platform/NativePath.h"

#include <wx/translation.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

// Large enough that a run goes at the device's speed, small enough that a
// stop is quick.
const size_t chunkBytes = 8 << 20;

uint64_t JournalBytes(const ExtVolume::Facts& facts)
{
    return facts.journalBlocks * facts.blockSize;
}

}  // namespace

bool VolumeWiper::Inspect(const wxString& path, ExtVolume::Facts& facts, wxString& refusal)
{
    ExtVolume volume;
    wxString detail;
    const ExtVolume::Refusal refused = volume.Open(path, false, detail);
    if (refused != ExtVolume::Refusal::None) {
        refusal = RefusalText(refused, path, detail);
        return false;
    }
    facts = volume.GetFacts();
    return true;
}

uint64_t VolumeWiper::BytesToWrite(const ExtVolume::Facts& facts, WipeMethod method)
{
    const uint64_t passes = method == WipeMethod::DoD ? 3 : 1;
    // The journal ends in zeros, as mkfs leaves it: one pass more unless the last is one.
    return passes * (facts.freeBlocks * facts.blockSize + JournalBytes(facts)) + JournalBytes(facts);
}

wxString VolumeWiper::RefusalText(ExtVolume::Refusal refusal, const wxString& path, const wxString& detail)
{
    const wxString shown = NativePath::Display(path);
    switch (refusal) {
    case ExtVolume::Refusal::NotFound:
        return wxString::Format(_("%s cannot be opened: %s"), shown, detail);
    case ExtVolume::Refusal::Mounted:
        return wxString::Format(_("%s is mounted on %s. Unmount it first, or wipe the free space of that folder "
                                  "instead."),
                                shown, NativePath::Display(detail));
    case ExtVolume::Refusal::Busy:
        return wxString::Format(_("%s is in use by another program (%s)."), shown, detail);
    case ExtVolume::Refusal::NotExt:
        return wxString::Format(_("%s holds no ext2, ext3 or ext4 filesystem that Vorlix can wipe (%s)."), shown,
                                detail);
    case ExtVolume::Refusal::NeedsCheck:
        return wxString::Format(_("The filesystem on %s has errors, or a journal or deleted files still to "
                                  "recover: check it with e2fsck first."),
                                shown);
    case ExtVolume::Refusal::NotHere:
        return _("Wiping the free space of a drive or image that is not mounted is not available on Windows yet.");
    case ExtVolume::Refusal::Failed:
    case ExtVolume::Refusal::None:
        break;
    }
    return wxString::Format(_("%s cannot be opened: %s"), shown, detail);
}

VolumeWiper::VolumeWiper(const wxString& path, WipeMethod method) : path(path), method(method)
{
}

FreeSpaceWiper::Result VolumeWiper::GetResult() const
{
    std::lock_guard<std::mutex> lock(resultMutex);
    FreeSpaceWiper::Result copy = result;
    copy.bytesWritten = BytesWritten();
    return copy;
}

bool VolumeWiper::ShouldStop() const
{
    return stopRequested.load(std::memory_order_relaxed) || Wiper::IsStopNowRequested();
}

void VolumeWiper::Fail(const wxString& what)
{
    std::lock_guard<std::mutex> lock(resultMutex);
    if (result.failure.empty())
        result.failure = what;
}

void VolumeWiper::Run()
{
    ExtVolume volume;
    wxString detail;
    const ExtVolume::Refusal refused = volume.Open(path, true, detail);
    if (refused != ExtVolume::Refusal::None) {
        Fail(RefusalText(refused, path, detail));
        finished = true;
        return;
    }
    const ExtVolume::Facts facts = volume.GetFacts();
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result.filesystem.type = facts.type;
        result.journal = facts.journalBlocks ? JournalPush::State::NotCleared : JournalPush::State::NoJournal;
    }
    const auto stop = [this] { return ShouldStop(); };
    const auto failed = [this, &volume](const wxString& what) { Fail(what + " (" + volume.Error() + ")"); };

    // The names first: they are what a reader looks for, and take seconds.
    ExtVolume::Directories directories;
    uint64_t inodeBytes = 0, inodes = 0;
    bool ok = volume.ClearDirectories(directories, stop);
    if (!ok)
        failed(_("The folders' blocks could not be cleared"));
    bytesWritten += directories.blocksWritten * facts.blockSize;
    if (ok && !ShouldStop() && !(ok = volume.ClearUnusedInodes(inodeBytes, inodes, stop)))
        failed(_("The unused inodes could not be cleared"));
    bytesWritten += inodeBytes;
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result.namesCleared = directories.namesCleared;
        result.inodesCleared = inodes;
        wxString unreached;
        if (facts.externalJournal)
            unreached += "\n" + _("The journal is on another device, which was not opened.");
        if (directories.inlineLeft)
            unreached += "\n" + wxString::Format(wxPLURAL("%llu folder kept inside its inode was left as it is.",
                                                          "%llu folders kept inside their inodes were left as they are.",
                                                          directories.inlineLeft),
                                                 static_cast<unsigned long long>(directories.inlineLeft));
        result.unreached = unreached.Mid(1);
    }
    if (ok && !ShouldStop() && !(ok = volume.Flush()))
        failed(_("The filesystem could not be written"));

    if (ok && !ShouldStop()) {
        totalBytes = BytesWritten() + BytesToWrite(facts, method);
        const std::vector<Pattern> passes = method == WipeMethod::DoD
                                                ? std::vector<Pattern>{Pattern::Zeros, Pattern::Ones, Pattern::Random}
                                                : std::vector<Pattern>{Pattern::Random};
        ThreadRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
        const std::vector<ExtVolume::Blocks> journal = volume.JournalRuns();
        std::vector<ExtVolume::Blocks> runs = journal;
        const std::vector<ExtVolume::Blocks> free = volume.FreeRuns();
        runs.insert(runs.end(), free.begin(), free.end());
        ok = Overwrite(volume, runs, passes) && Overwrite(volume, journal, {Pattern::Zeros});
        if (ok && !journal.empty()) {
            std::lock_guard<std::mutex> lock(resultMutex);
            result.journal = JournalPush::State::Cleared;
        }
        if (!ok && !ShouldStop())
            failed(_("The free blocks could not be overwritten"));
    }
    if (!volume.Close())
        failed(_("The filesystem could not be written"));
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result.stopped = result.failure.empty() && ShouldStop();
    }
    finished = true;
}

bool VolumeWiper::Overwrite(ExtVolume& volume, const std::vector<ExtVolume::Blocks>& runs,
                            const std::vector<Pattern>& passes)
{
    const uint64_t blockSize = volume.GetFacts().blockSize;
    const uint64_t chunkBlocks = chunkBytes / blockSize;
    buffer.resize(chunkBlocks * blockSize);
    for (const Pattern pattern : passes) {
        if (pattern != Pattern::Random)
            std::memset(buffer.data(), pattern == Pattern::Zeros ? 0x00 : 0xFF, buffer.size());
        for (const ExtVolume::Blocks& run : runs) {
            for (uint64_t done = 0; done < run.count;) {
                if (ShouldStop())
                    return false;
                const uint64_t n = std::min(run.count - done, chunkBlocks);
                if (pattern == Pattern::Random)
                    ThreadRandom::Fill(buffer.data(), n * blockSize);
                if (!volume.Write(run.first + done, n, buffer.data()))
                    return false;
                done += n;
                bytesWritten.fetch_add(n * blockSize, std::memory_order_relaxed);
            }
        }
        // Each pass on the device before the next.
        if (!volume.Flush())
            return false;
    }
    return true;
}
