// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/DriveWipeFacts.h"
#include "engine/WipeMethod.h"

#include <wx/string.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class DriveDevice;

// Overwrites every block of a whole drive with the method's passes, reads
// the last pass back (all of it, an evenly spread sample, or none) and then,
// where the drive takes discards, discards all of it. The drive is refused,
// with nothing opened for writing, when DriveList gives a reason; the
// reasons are looked at again once it is held exclusively. For the tests a
// regular file stands for a drive (no refusals, no discard). One run per
// object; Run() works on the caller's thread while a face polls.
class DriveWiper {
public:
    enum class Verification { All, Sample, None };
    enum class Phase { Starting, Writing, Verifying, Discarding, Done };

    // "all", "sample", "none"; false for anything else.
    static bool VerificationFrom(const wxString& name, Verification& verification);
    static wxString VerificationName(Verification verification);

    // A stretch of the drive read back, in bytes.
    struct Stretch {
        uint64_t offset = 0;
        uint64_t length = 0;
    };
    // A sample needs at least this many stretches and this share of the drive.
    static constexpr size_t sampleCount = 1000;
    static constexpr unsigned samplePercent = 10;
    // The stretches a sample reads back from a drive of size bytes: at least
    // sampleCount of them, evenly spread from its start to its end, each
    // aligned to alignment, together at least samplePercent of it; the
    // whole drive when that is as much.
    static std::vector<Stretch> SampleStretches(uint64_t size, uint32_t alignment);

    // What a run did; complete once IsFinished().
    struct Result {
        DriveWipeFacts facts;
        // Why the drive was not opened for writing; nothing was written.
        std::vector<wxString> refusals;
    };

    // path: a block device (/dev/sdb) or, in the tests, a regular file.
    DriveWiper(const wxString& path, WipeMethod method, Verification verification);
    DriveWiper(const DriveWiper&) = delete;
    DriveWiper& operator=(const DriveWiper&) = delete;

    void Run();
    // Stops at the next write or read: the drive stays partly wiped, and the
    // result says how far the run got.
    void RequestStop() { stopRequested = true; }

    // Bytes written and read back so far, and all the run will (0 until the
    // drive is open); their rate gives the time left.
    uint64_t BytesDone() const { return bytesDone.load(std::memory_order_relaxed); }
    uint64_t TotalBytes() const { return totalBytes.load(); }
    Phase CurrentPhase() const { return phase.load(); }
    bool IsFinished() const { return finished.load(); }
    Result GetResult() const;

    // Called once every pass is on the drive, before it is read back: lets
    // the tests change a byte that the verification must then find. Set
    // only while no wipe runs.
    static std::function<void(const wxString& path)> afterWrite;

private:
    bool ShouldStop() const;
    bool Prepare(DriveDevice& device);
    bool WritePass(DriveDevice& device, int pass);
    bool Verify(DriveDevice& device);
    bool VerifyStretch(DriveDevice& device, const Stretch& stretch, uint32_t& state);
    void Discard(DriveDevice& device);
    // The last pass's bytes for [offset, offset + n) into `into`.
    void Expected(uint64_t offset, size_t n, unsigned char* into, uint32_t& state) const;
    bool Fail(const wxString& reason);

    const wxString path;
    const WipeMethod method;
    const Verification verification;

    // Worker thread only.
    uint32_t randomStart = 1;  // the generator's state at the random pass's first byte
    unsigned char randomBlock[4096];  // DoD's last pass repeats it
    unsigned char* buffer = nullptr;  // aligned, ioSize bytes
    unsigned char* expected = nullptr;

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
    std::atomic<Phase> phase{Phase::Starting};
    std::atomic<uint64_t> bytesDone{0};
    std::atomic<uint64_t> totalBytes{0};

    mutable std::mutex resultMutex;  // guards result
    Result result;
};
