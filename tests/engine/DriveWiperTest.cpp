// SPDX-License-Identifier: GPL-3.0-or-later
// The whole-drive engine on image files standing for drives: what each
// method leaves, that the read-back (all or a sample) finds a changed byte
// and names it, a stop part way, and the sample's spread. Real devices and
// the refusals are the root shell test's (drive_wipe_root.sh).
#include <gtest/gtest.h>

#include "engine/DriveLines.h"
#include "engine/DriveWiper.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr uint64_t imageSize = 24 << 20;

std::string MarkedImage(const TempDir& dir, uint64_t size = imageSize)
{
    const std::string path = dir.Path() + "/drive.img";
    std::string content;
    while (content.size() < size)
        content += "VORLIX-DRIVE-MARKER-";
    content.resize(size);
    WriteFile(path, content);
    return path;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

void ChangeByte(const std::string& path, uint64_t offset)
{
    const int fd = ::open(path.c_str(), O_RDWR);
    unsigned char byte = 0;
    ASSERT_EQ(::pread(fd, &byte, 1, static_cast<off_t>(offset)), 1);
    byte ^= 0x5A;
    ASSERT_EQ(::pwrite(fd, &byte, 1, static_cast<off_t>(offset)), 1);
    ::close(fd);
}

DriveWiper::Result Wipe(const std::string& path, WipeMethod method, DriveWiper::Verification verification)
{
    DriveWiper wiper(path, method, verification);
    wiper.Run();
    EXPECT_TRUE(wiper.IsFinished());
    const DriveWiper::Result result = wiper.GetResult();
    // What the progress counted to is what it said it would.
    if (result.facts.complete) {
        EXPECT_EQ(wiper.BytesDone(), wiper.TotalBytes());
    }
    return result;
}

struct HookReset {
    ~HookReset() { DriveWiper::afterWrite = nullptr; }
};

}  // namespace

TEST(DriveWiper, EachMethodOverwritesEveryByteAndReadsItBack)
{
    TempDir dir;
    const std::string path = MarkedImage(dir);
    const DriveWiper::Result random = Wipe(path, WipeMethod::Random, DriveWiper::Verification::All);
    EXPECT_TRUE(random.refusals.empty());
    EXPECT_TRUE(random.facts.complete) << random.facts.stopReason;
    EXPECT_TRUE(random.facts.verified);
    EXPECT_EQ(random.facts.bytesWritten, imageSize);
    EXPECT_EQ(random.facts.bytesVerified, imageSize);
    EXPECT_EQ(random.facts.size, imageSize);
    EXPECT_EQ(random.facts.verification, "all");
    EXPECT_FALSE(random.facts.discarded);
    EXPECT_TRUE(random.facts.start.IsValid() && random.facts.end.IsValid());
    std::string content = ReadFile(path);
    EXPECT_EQ(content.size(), imageSize);
    EXPECT_EQ(Count(content, "MARKER"), 0u);
    // Not zeros: a generator that made nothing would pass the marker count.
    EXPECT_LT(Count(content, std::string(64, '\0')), 4u);

    // DoD: its last pass, the random block repeated from the start, over all of it.
    MarkedImage(dir);
    const DriveWiper::Result dod = Wipe(path, WipeMethod::DoD, DriveWiper::Verification::Sample);
    EXPECT_TRUE(dod.facts.complete) << dod.facts.stopReason;
    EXPECT_EQ(dod.facts.passes, 3);
    EXPECT_EQ(dod.facts.passesDone, 3);
    EXPECT_EQ(dod.facts.bytesWritten, 3 * imageSize);
    EXPECT_EQ(dod.facts.pattern, "0x00, 0xFF, random block");
    content = ReadFile(path);
    const std::string block = content.substr(0, 4096);
    EXPECT_NE(block, std::string(4096, '\0'));
    for (uint64_t at = 0; at < imageSize; at += 4096)
        ASSERT_EQ(content.compare(at, 4096, block), 0) << "at " << at;
}

TEST(DriveWiper, TheReadBackNamesTheFirstChangedByteAndTheRunIsNotComplete)
{
    HookReset reset;
    TempDir dir;
    const std::string path = MarkedImage(dir);
    const uint64_t changed = 17 * 1048576 + 4321;  // past the first write calls
    DriveWiper::afterWrite = [&](const wxString& wiped) {
        EXPECT_EQ(wiped, path);
        ChangeByte(path, changed);
        ChangeByte(path, changed + 100);
    };
    for (const WipeMethod method : {WipeMethod::Random, WipeMethod::DoD}) {
        const DriveWiper::Result result = Wipe(path, method, DriveWiper::Verification::All);
        EXPECT_FALSE(result.facts.complete);
        EXPECT_FALSE(result.facts.verified);
        EXPECT_TRUE(result.facts.mismatch);
        EXPECT_EQ(result.facts.mismatchOffset, changed);
        EXPECT_NE(result.facts.verifyResult.Find(wxString::Format("%llu", static_cast<unsigned long long>(changed))),
                  wxNOT_FOUND)
            << result.facts.verifyResult;
    }
    // A sample finds a byte changed inside one of its stretches.
    const DriveWiper::Stretch inside = DriveWiper::SampleStretches(imageSize, 512)[700];
    DriveWiper::afterWrite = [&](const wxString&) { ChangeByte(path, inside.offset + inside.length - 1); };
    const DriveWiper::Result sample = Wipe(path, WipeMethod::Random, DriveWiper::Verification::Sample);
    EXPECT_TRUE(sample.facts.mismatch);
    EXPECT_EQ(sample.facts.mismatchOffset, inside.offset + inside.length - 1);
    // Without a read-back nothing is caught, and the run says none was done.
    const DriveWiper::Result none = Wipe(path, WipeMethod::Random, DriveWiper::Verification::None);
    EXPECT_TRUE(none.facts.complete);
    EXPECT_FALSE(none.facts.verified);
    EXPECT_EQ(none.facts.verification, "none");
}

TEST(DriveWiper, ADriveOfFewerWritesThanAreInFlightAndAnUnevenEndIsWrittenWhole)
{
    TempDir dir;
    // Less than one write call; three calls, the last a short one, over two writers.
    for (const uint64_t size : {uint64_t(700003), uint64_t(5 << 20) / 2 + 7}) {
        const std::string path = MarkedImage(dir, size);
        const DriveWiper::Result result = Wipe(path, WipeMethod::Random, DriveWiper::Verification::All);
        EXPECT_TRUE(result.facts.complete) << size << ": " << result.facts.stopReason;
        EXPECT_EQ(result.facts.bytesWritten, size);
        EXPECT_EQ(result.facts.reached, size);
        const std::string content = ReadFile(path);
        EXPECT_EQ(content.size(), size);
        EXPECT_EQ(Count(content, "MARKER"), 0u) << size;
    }
}

TEST(DriveWiper, AFailedWriteNamesTheLowestFailingOffsetAndHowFarTheRunGot)
{
    TempDir dir;
    const std::string path = MarkedImage(dir);
    // The file may not grow past this: every write call from the sixth on
    // fails, whichever writer meets its failure first.
    const uint64_t limit = 5 * 1048576 + 12345;
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit lower = old;
    lower.rlim_cur = limit;
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lower), 0);
    const DriveWiper::Result result = Wipe(path, WipeMethod::Random, DriveWiper::Verification::All);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(result.facts.complete);
    EXPECT_FALSE(result.facts.stopped);
    EXPECT_NE(result.facts.stopReason.Find("Writing at byte 5242880 failed"), wxNOT_FOUND) << result.facts.stopReason;
    EXPECT_EQ(result.facts.reached, 5u * 1048576);
    EXPECT_EQ(result.facts.bytesWritten, 5u * 1048576);
    EXPECT_EQ(result.facts.passesDone, 0);
}

TEST(DriveWiper, AStopLeavesTheDrivePartlyWipedAndSaysHowFar)
{
    TempDir dir;
    const uint64_t size = 64 << 20;
    const std::string path = MarkedImage(dir, size);
    DriveWiper wiper(path, WipeMethod::DoD, DriveWiper::Verification::All);
    std::thread run([&] { wiper.Run(); });
    while (wiper.BytesDone() < size + 4096 && !wiper.IsFinished())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    wiper.RequestStop();
    run.join();
    const DriveWipeFacts facts = wiper.GetResult().facts;
    EXPECT_TRUE(facts.stopped);
    EXPECT_FALSE(facts.complete);
    EXPECT_FALSE(facts.stopReason.empty());
    ASSERT_GE(facts.passesDone, 1);
    ASSERT_LT(facts.passesDone, 3);
    EXPECT_EQ(facts.bytesWritten, facts.passesDone * size + facts.reached);
    EXPECT_LT(facts.reached, size);
}

// A loop device of this test's own, detached at the end; empty path when
// none can be made (not root).
class OwnLoop {
public:
    explicit OwnLoop(const std::string& image)
    {
        if (geteuid() != 0)
            return;
        FILE* attached = ::popen(("losetup -f --show '" + image + "'").c_str(), "r");
        char line[64] = {};
        if (attached && std::fgets(line, sizeof line, attached))
            device = std::string(line, std::strcspn(line, "\n"));
        if (attached)
            ::pclose(attached);
        // The guard before any wipe: /dev/loopN, backed by the test's own image.
        char real[PATH_MAX];
        const std::string backing = ReadFile("/sys/block/" + device.substr(device.rfind('/') + 1) + "/loop/backing_file");
        if (device.compare(0, 9, "/dev/loop") != 0 || !::realpath(image.c_str(), real)
            || backing != std::string(real) + "\n")
            device.clear();
    }
    ~OwnLoop()
    {
        if (!device.empty())
            std::system(("losetup -d " + device).c_str());
    }
    const std::string& Device() const { return device; }

private:
    std::string device;
};

TEST(DriveWiperOnALoopDevice, TheReadBackFromTheDeviceFindsAChangedByteAndATrueOneIsDiscarded)
{
    HookReset reset;
    TempDir dir;
    const std::string image = MarkedImage(dir);
    const OwnLoop loop(image);
    if (loop.Device().empty())
        GTEST_SKIP() << "no loop device of this test's own";
    const uint64_t changed = imageSize - 3;
    // Changed under the device, in the file behind it: only a read from the
    // device sees it, not one from what the run wrote into a cache.
    DriveWiper::afterWrite = [&](const wxString&) {
        ChangeByte(image, changed);
        ::sync();
    };
    const DriveWiper::Result bad = Wipe(loop.Device(), WipeMethod::Random, DriveWiper::Verification::All);
    EXPECT_TRUE(bad.refusals.empty());
    EXPECT_EQ(bad.facts.bus, "loop");
    EXPECT_EQ(bad.facts.serial, wxString(image));
    EXPECT_TRUE(bad.facts.mismatch);
    EXPECT_EQ(bad.facts.mismatchOffset, changed);
    EXPECT_FALSE(bad.facts.complete);
    EXPECT_FALSE(bad.facts.discarded) << "a drive that failed its read-back is discarded";
    DriveWiper::afterWrite = nullptr;
    const DriveWiper::Result good = Wipe(loop.Device(), WipeMethod::Random, DriveWiper::Verification::All);
    EXPECT_TRUE(good.facts.complete) << good.facts.stopReason;
    // Where the loop device takes discards (the kernel keeps a setting of 0 made earlier).
    const std::string queue = "/sys/block/" + loop.Device().substr(5) + "/queue/discard_max_bytes";
    if (ReadFile(queue) != "0\n") {
        EXPECT_TRUE(good.facts.discarded) << good.facts.discardNote;
        EXPECT_EQ(good.facts.discardKind, "discard");  // loop devices take no secure discard
    }
}

TEST(DriveWiper, ASampleIsAtLeastAThousandEvenlySpreadStretchesCoveringATenth)
{
    for (const uint64_t size : {uint64_t(24) << 20, uint64_t(2) << 30, (uint64_t(1) << 40) + 512 * 777,
                                uint64_t(15633408) * 512}) {
        const std::vector<DriveWiper::Stretch> stretches = DriveWiper::SampleStretches(size, 512);
        ASSERT_GE(stretches.size(), DriveWiper::sampleCount) << size;
        uint64_t covered = 0, widestGap = 0, end = 0;
        for (const DriveWiper::Stretch& s : stretches) {
            EXPECT_EQ(s.offset % 512, 0u);
            EXPECT_EQ(s.length % 512, 0u);
            ASSERT_GE(s.offset, end) << "stretches overlap or go back";
            widestGap = std::max(widestGap, s.offset - end);
            end = s.offset + s.length;
            covered += s.length;
        }
        EXPECT_LE(end, size);
        EXPECT_EQ(stretches.front().offset, 0u);
        EXPECT_GE(end + 512, size) << "the end of the drive is not sampled";
        EXPECT_GE(covered * 10, size) << size;
        // Evenly: no gap much wider than the drive shared out among the stretches.
        EXPECT_LE(widestGap, size / stretches.size() + 1024) << size;
    }
    // A drive so small that a tenth in a thousand stretches is most of it: all of it.
    const std::vector<DriveWiper::Stretch> whole = DriveWiper::SampleStretches(1 << 20, 4096);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].length, uint64_t(1) << 20);
}

TEST(DriveLines, AResultRoundTripsAndMalformedLinesAreRefused)
{
    DriveWiper::Result result;
    DriveWipeFacts& f = result.facts;
    f.device = "/dev/sdb";
    f.name = "sdb";
    f.model = "Stick \"2\"\nline";
    f.serial = "S/N 42";
    f.size = 123456789;
    f.method = WipeMethod::DoD;
    f.passes = 3;
    f.passesDone = 2;
    f.mismatch = true;
    f.mismatchOffset = 77;
    f.discardKind = "discard";
    f.start = wxDateTime(wxLongLong(1700000000123LL));
    f.stopReason = "Stopped";
    result.refusals = {"one", "two"};
    DriveLines reader;
    std::string text = DriveLines::Progress(5, 10) + DriveLines::PhaseLine(DriveWiper::Phase::Verifying)
                       + DriveLines::Result(result);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        ASSERT_TRUE(reader.Read(text.substr(at, end - at))) << text.substr(at, end - at);
        at = end + 1;
    }
    ASSERT_TRUE(reader.HasResult());
    EXPECT_EQ(reader.Done(), 5u);
    EXPECT_EQ(reader.CurrentPhase(), DriveWiper::Phase::Verifying);
    const DriveWiper::Result& read = reader.GetResult();
    EXPECT_EQ(read.facts.model, f.model);
    EXPECT_EQ(read.facts.serial, f.serial);
    EXPECT_EQ(read.facts.size, f.size);
    EXPECT_EQ(read.facts.method, WipeMethod::DoD);
    EXPECT_EQ(read.facts.passesDone, 2);
    EXPECT_TRUE(read.facts.mismatch);
    EXPECT_EQ(read.facts.mismatchOffset, 77u);
    EXPECT_EQ(read.facts.start, f.start);
    EXPECT_EQ(read.refusals, result.refusals);
    EXPECT_FALSE(reader.Read("progress 1 2"));  // after the end

    for (const char* bad : {"progress 1", "phase flying", "result", "size x"}) {
        DriveLines broken;
        bool ok = true;
        for (const std::string& line : {std::string("result"), std::string(bad)})
            ok = broken.Read(line) && ok;
        EXPECT_TRUE(!ok || !broken.Read("end")) << bad;
    }
}
