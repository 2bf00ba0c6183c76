// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DriveWiper.h"

#include "engine/AlignedBytes.h"
#include "engine/ByteSize.h"
#include "engine/DeviceReadAhead.h"
#include "engine/DeviceWriteBehind.h"
#include "engine/DriveRun.h"
#include "engine/RandomAhead.h"
#include "engine/ThreadRandom.h"
#include "platform/DriveDevice.h"
#include "platform/DriveList.h"

#include <wx/filename.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

std::function<void(const wxString& path)> DriveWiper::afterWrite;

namespace {

// One write or read call, as large as dd's usual bs=1M: a read-back's
// expected bytes come from RandomAhead a window at a time.
constexpr size_t ioSize = RandomAhead::windowSize;
// Direct I/O wants its buffers aligned to the sector; a page covers them all.
constexpr size_t bufferAlignment = 4096;
// A sample's stretches stay this small, so that there are more of them on a
// large drive rather than longer ones.
constexpr uint64_t longestSample = 4 << 20;

uint64_t RoundUp(uint64_t n, uint64_t unit)
{
    return (n + unit - 1) / unit * unit;
}

}  // namespace

bool DriveWiper::VerificationFrom(const wxString& name, Verification& verification)
{
    if (name == "all")
        verification = Verification::All;
    else if (name == "sample")
        verification = Verification::Sample;
    else if (name == "none")
        verification = Verification::None;
    else
        return false;
    return true;
}

wxString DriveWiper::VerificationName(Verification verification)
{
    switch (verification) {
    case Verification::All: return "all";
    case Verification::Sample: return "sample";
    case Verification::None: break;
    }
    return "none";
}

std::vector<DriveWiper::Stretch> DriveWiper::SampleStretches(uint64_t size, uint32_t alignment)
{
    const uint64_t unit = std::max<uint64_t>(alignment, 1);
    const uint64_t share = (size * samplePercent + 99) / 100;
    // At least sampleCount; more on a drive whose share would need longer ones.
    uint64_t count = std::max<uint64_t>(sampleCount, (share + longestSample - 1) / longestSample);
    const uint64_t length = RoundUp((share + count - 1) / count, unit);
    if (count * length >= size || size / count < length + unit)
        return {Stretch{0, size}};
    std::vector<Stretch> stretches;
    stretches.reserve(count);
    // Stretch k starts k/count of the way, the last one ending at the end.
    for (uint64_t k = 0; k < count; ++k) {
        uint64_t offset = (size - length) / (count - 1) * k;
        offset -= offset % unit;
        if (k + 1 == count)
            offset = (size - length) - (size - length) % unit;
        stretches.push_back(Stretch{offset, length});
    }
    return stretches;
}

DriveWiper::DriveWiper(const wxString& path, WipeMethod method, Verification verification)
    : path(path), method(method), verification(verification)
{
}

DriveWiper::Result DriveWiper::GetResult() const
{
    std::lock_guard<std::mutex> lock(resultMutex);
    return result;
}

bool DriveWiper::ShouldStop() const
{
    // Its own flag only: a file run's stop, left over from an earlier run,
    // must not end this one.
    return stopRequested.load(std::memory_order_relaxed);
}

bool DriveWiper::Fail(const wxString& reason)
{
    std::lock_guard<std::mutex> lock(resultMutex);
    if (result.facts.stopReason.empty())
        result.facts.stopReason = reason;
    return false;
}

void DriveWiper::Run()
{
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        DriveWipeFacts& facts = result.facts;
        facts.start = wxDateTime::UNow();
        facts.device = path;
        facts.method = method;
        facts.passes = method == WipeMethod::DoD ? 3 : 1;
        facts.pattern = DriveRun::PatternText(method);
        facts.verification = VerificationName(verification);
        facts.host = wxGetFullHostName();
        facts.operatorName = wxGetUserId();
        facts.toolVersion = "Vorlix " VORLIX_VERSION;
    }
    AlignedBytes own(ioSize, bufferAlignment), compare(ioSize, bufferAlignment);
    buffer = own.get();
    expected = compare.get();
    DriveDevice device;
    if (Prepare(device)) {
        phase = Phase::Writing;
        bool written = true;
        for (int pass = 0; written && pass < result.facts.passes; ++pass)
            written = WritePass(device, pass);
        if (written && afterWrite)
            afterWrite(path);
        const bool verified = written && Verify(device);
        if (verified)
            Discard(device);
        device.Close();
        std::lock_guard<std::mutex> lock(resultMutex);
        result.facts.complete = verified && result.facts.stopReason.empty();
    }
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result.facts.end = wxDateTime::UNow();
        result.facts.stopped = ShouldStop() && !result.facts.complete;
        if (result.facts.stopped && result.facts.stopReason.empty())
            result.facts.stopReason = _("Stopped before the end.");
    }
    buffer = expected = nullptr;
    phase = Phase::Done;
    finished = true;
}

bool DriveWiper::Prepare(DriveDevice& device)
{
    DriveList::Drive drive;
    std::vector<wxString> refusals;
    const bool listed = DriveList::Find(path, drive);
    if (listed) {
        refusals = drive.refusals;
    } else if (wxFileName::FileExists(path)) {
        // A regular file stands for a drive in the tests.
        drive.path = path;
        drive.name = wxFileName(path).GetFullName();
    } else {
        refusals.push_back(wxString::Format(_("%s is not a drive."), path));
    }
    wxString detail;
    if (refusals.empty()) {
        switch (device.Open(path, detail)) {
        case DriveDevice::Opened::Yes: break;
        case DriveDevice::Opened::Busy:
            refusals.push_back(_("It is in use: mounted, or held by another program."));
            break;
        case DriveDevice::Opened::ReadOnly: refusals.push_back(_("It is read-only.")); break;
        case DriveDevice::Opened::Failed:
            refusals.push_back(wxString::Format(_("It cannot be opened for writing: %s"), detail));
            break;
        }
    }
    // Held now, nothing new can take it; whatever took it just before shows here.
    if (refusals.empty() && (device.IsBlockDevice() || listed)) {
        refusals = device.Device() == drive.device
                       ? DriveList::Refusals(device.Device())
                       : std::vector<wxString>{_("It was replaced by another device while it was being opened.")};
        if (!refusals.empty())
            device.Close();
    }
    std::lock_guard<std::mutex> lock(resultMutex);
    DriveWipeFacts& facts = result.facts;
    facts.name = drive.name;
    facts.manufacturer = drive.vendor;
    facts.model = drive.model;
    facts.serial = drive.serial;
    facts.bus = drive.bus;
    facts.media = DriveList::MediaName(drive.media);
    facts.size = refusals.empty() ? device.Size() : drive.size;
    facts.sectorSize = refusals.empty() ? device.SectorSize() : 0;
    if (!refusals.empty()) {
        result.refusals = refusals;
        facts.stopReason = _("Refused: nothing was written.");
        return false;
    }
    facts.discardNote = !device.IsBlockDevice() ? _("An image file: no discard.")
                        : drive.discard        ? wxString()
                                               : _("The drive takes no discard requests.");
    uint64_t readBack = 0;
    if (verification == Verification::All)
        readBack = facts.size;
    else if (verification == Verification::Sample)
        for (const Stretch& stretch : SampleStretches(facts.size, device.SectorSize()))
            readBack += stretch.length;
    totalBytes = facts.size * static_cast<uint64_t>(facts.passes) + readBack;
    return true;
}

bool DriveWiper::WritePass(DriveDevice& device, int pass)
{
    const uint64_t size = device.Size();
    const bool random = method == WipeMethod::Random;
    if (method == WipeMethod::DoD) {
        if (pass == 2) {
            ThreadRandom::Fill(randomBlock, sizeof randomBlock);
            for (size_t at = 0; at < ioSize; at += sizeof randomBlock)
                std::memcpy(buffer + at, randomBlock, sizeof randomBlock);
        } else {
            std::memset(buffer, pass == 0 ? 0x00 : 0xFF, ioSize);
        }
    } else {
        ThreadRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
        randomStart = ThreadRandom::State();
    }
    wxString detail;
    uint64_t failedAt = 0;
    bool wrote = true, stopped = false;
    {
        // Each piece made on this thread while the last ones are written.
        DeviceWriteBehind writer(device, 0, size, ioSize, bufferAlignment);
        uint64_t counted = 0, unpushed = 0;
        // What the writers have done, into the progress and the facts.
        const auto account = [&] {
            const uint64_t written = writer.Written(), reached = writer.Reached();
            bytesDone.fetch_add(written - counted, std::memory_order_relaxed);
            std::lock_guard<std::mutex> lock(resultMutex);
            result.facts.bytesWritten += written - counted;
            result.facts.reached = reached;
            counted = written;
            return reached;
        };
        for (;;) {
            if (ShouldStop()) {
                stopped = true;
                break;
            }
            size_t n = 0;
            unsigned char* piece = writer.Next(n);
            if (!piece)
                break;
            if (random)
                ThreadRandom::Fill(piece, n);
            else
                std::memcpy(piece, buffer, n);
            writer.Submit();
            const uint64_t reached = account();
            if (reached - unpushed >= (8 << 20)) {
                device.StartWriteback(unpushed, reached - unpushed);
                device.Settle(unpushed);
                unpushed = reached;
            }
        }
        // A stop still lets the pieces handed over be written: at most depth
        // of them, and what the facts say was written is then all of it.
        wrote = writer.Finish(failedAt, detail);
        account();
    }
    if (!wrote)
        return Fail(wxString::Format(_("Writing at byte %llu failed: %s"), static_cast<unsigned long long>(failedAt),
                                     detail));
    if (stopped)
        return false;
    // Each pass on the device before the next: else the cache would only
    // ever hand the last one to it.
    if (!device.Sync(detail))
        return Fail(wxString::Format(_("Writing to the drive failed: %s"), detail));
    std::lock_guard<std::mutex> lock(resultMutex);
    ++result.facts.passesDone;
    return true;
}

void DriveWiper::Expected(uint64_t offset, size_t n, unsigned char* into, uint32_t& state) const
{
    if (method == WipeMethod::Random) {
        state = ThreadRandom::Fill(state, into, n);
        return;
    }
    // DoD's last pass: the block repeated from the drive's start.
    for (size_t done = 0; done < n;) {
        const size_t in = static_cast<size_t>((offset + done) % sizeof randomBlock);
        const size_t piece = std::min(n - done, sizeof randomBlock - in);
        std::memcpy(into + done, randomBlock + in, piece);
        done += piece;
    }
}

bool DriveWiper::Verify(DriveDevice& device)
{
    if (verification == Verification::None)
        return true;
    phase = Phase::Verifying;
    const std::vector<Stretch> stretches = verification == Verification::All
                                               ? std::vector<Stretch>{Stretch{0, device.Size()}}
                                               : SampleStretches(device.Size(), device.SectorSize());
    for (const Stretch& stretch : stretches) {
        uint32_t state = ThreadRandom::Skip(randomStart, stretch.offset);
        if (!VerifyStretch(device, stretch, state))
            return false;
    }
    std::lock_guard<std::mutex> lock(resultMutex);
    result.facts.verified = true;
    result.facts.verifyResult = verification == Verification::All
                                    ? _("Every block read back matched what was written.")
                                    : wxString::Format(_("%zu stretches (%s) read back matched what was written."),
                                                       stretches.size(), ByteSize::Text(result.facts.bytesVerified));
    return true;
}

bool DriveWiper::VerifyStretch(DriveDevice& device, const Stretch& stretch, uint32_t& state)
{
    // A long stretch is read a piece ahead, and has its expected bytes made
    // ahead, each beside the comparison.
    const bool longStretch = stretch.length > ioSize;
    std::unique_ptr<RandomAhead> ahead;
    if (method == WipeMethod::Random && longStretch) {
        ThreadRandom::Seed(state);
        ahead = std::make_unique<RandomAhead>();
    }
    std::unique_ptr<DeviceReadAhead> reader;
    if (longStretch)
        reader = std::make_unique<DeviceReadAhead>(device, stretch.offset, stretch.length, ioSize, bufferAlignment);
    wxString detail;
    for (uint64_t done = 0; done < stretch.length;) {
        if (ShouldStop())
            return false;
        const uint64_t at = stretch.offset + done;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(ioSize, stretch.length - done));
        const unsigned char* got = reader ? reader->Next(detail) : buffer;
        if (!got || (!reader && !device.Read(at, buffer, n, detail))) {
            const wxString text = wxString::Format(_("Reading back at byte %llu failed: %s"),
                                                   static_cast<unsigned long long>(at), detail);
            std::lock_guard<std::mutex> lock(resultMutex);
            result.facts.verifyResult = text;
            result.facts.stopReason = text;
            return false;
        }
        const unsigned char* want = ahead ? ahead->Next(n, expected) : expected;
        if (!ahead)
            Expected(at, n, expected, state);
        if (std::memcmp(got, want, n) != 0) {
            size_t i = 0;
            while (got[i] == want[i])
                ++i;
            const uint64_t offset = at + i;
            const wxString text = wxString::Format(_("Byte %llu read back differs from what was written."),
                                                   static_cast<unsigned long long>(offset));
            std::lock_guard<std::mutex> lock(resultMutex);
            result.facts.mismatch = true;
            result.facts.mismatchOffset = offset;
            result.facts.verifyResult = text;
            result.facts.stopReason = text;
            return false;
        }
        done += n;
        bytesDone.fetch_add(n, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(resultMutex);
        result.facts.bytesVerified += n;
    }
    return true;
}

void DriveWiper::Discard(DriveDevice& device)
{
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        if (!result.facts.discardNote.empty())
            return;
    }
    if (ShouldStop())
        return;
    phase = Phase::Discarding;
    wxString detail;
    const DriveDevice::DiscardKind kind = device.DiscardAll(detail);
    std::lock_guard<std::mutex> lock(resultMutex);
    DriveWipeFacts& facts = result.facts;
    facts.discarded = kind != DriveDevice::DiscardKind::None;
    facts.discardKind = kind == DriveDevice::DiscardKind::Secure  ? "secure discard"
                        : kind == DriveDevice::DiscardKind::Plain ? "discard"
                                                                  : "";
    if (!facts.discarded)
        facts.discardNote = wxString::Format(_("The discard failed: %s"), detail);
}
