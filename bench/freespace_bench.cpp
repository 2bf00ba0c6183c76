// SPDX-License-Identifier: GPL-3.0-or-later
// Times the free-space wipe (one random pass) against dd filling the same
// ext4 image with zeros until it is full, in interleaved rounds on a fresh
// loop-mounted image. dd is also timed with random bytes read from memory:
// some storage writes zeros faster than other bytes, and that is not the
// engine's doing. Then the wipe of an ext4 image that is not mounted against
// dd writing as many bytes as it has free into an allocated file beside it.
// Needs root. Usage: freespace_bench [rounds] [size] [unmounted size]
#include "engine/FreeSpaceWiper.h"
#include "engine/VolumeWiper.h"
#include "support/LoopFilesystem.h"

#include <wx/init.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

double Seconds(const std::function<void()>& body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Timing {
    std::vector<double> runs;
    double Median() const
    {
        std::vector<double> sorted = runs;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    void Print(const char* name) const
    {
        std::printf("%-34s min %6.2f s  median %6.2f s  max %6.2f s\n", name,
                    *std::min_element(runs.begin(), runs.end()), Median(),
                    *std::max_element(runs.begin(), runs.end()));
    }
};

// "512M", "2G" in MiB.
double Mebibytes(const std::string& size)
{
    return std::stod(size) * (size.back() == 'G' ? 1024 : 1);
}

// The contest on one fresh image; false if it cannot be made.
bool Contest(const char* title, const std::string& mkfsOptions, int rounds, const std::string& size,
             const std::string& randomSource)
{
    LoopFilesystem fs("ext4", size, mkfsOptions);
    if (!fs.Usable()) {
        std::fprintf(stderr, "needs root, a loop device and mkfs.ext4\n");
        return false;
    }
    const std::string fill = fs.Path("fill");
    const std::string ddZeros = "dd if=/dev/zero of='" + fill + "' bs=1M conv=fdatasync 2>/dev/null";
    const std::string ddRandom = "dd if=" + randomSource + " of='" + fill + "' bs=1M conv=fdatasync 2>/dev/null";

    // The image is sparse: whoever writes it first also pays for its blocks
    // in the file behind the loop device. One untimed fill takes that.
    (void)std::system((ddZeros + "; rm -f '" + fill + "'; sync").c_str());

    Timing engine, dd, ddAndRemove, ddRandomBytes;
    unsigned long long engineBytes = 0, ddBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto runEngine = [&] {
            FreeSpaceWiper wiper(wxString::FromUTF8(fs.Path("")), WipeMethod::Random);
            engine.runs.push_back(Seconds([&] { std::thread([&] { wiper.Run(); }).join(); }));
            const FreeSpaceWiper::Result result = wiper.GetResult();
            if (!result.failure.empty())
                std::fprintf(stderr, "engine: %s\n", result.failure.utf8_str().data());
            engineBytes = result.bytesWritten;
        };
        const auto runDd = [&](const std::string& command, Timing& fillOnly, Timing* withRemoval) {
            double filled = 0;
            const double total = Seconds([&] {
                filled = Seconds([&] { (void)std::system(command.c_str()); });  // ends with "No space left"
                struct stat st {};
                ::stat(fill.c_str(), &st);
                ddBytes = static_cast<unsigned long long>(st.st_size);
                (void)std::system(("rm '" + fill + "' && sync -f '" + fs.Path("") + "'").c_str());
            });
            fillOnly.runs.push_back(filled);
            if (withRemoval)
                withRemoval->runs.push_back(total);
        };
        // Alternate who goes first, so that neither always meets a cold cache.
        if (round % 2 == 0) {
            runEngine();
            runDd(ddZeros, dd, &ddAndRemove);
            runDd(ddRandom, ddRandomBytes, nullptr);
        } else {
            runDd(ddRandom, ddRandomBytes, nullptr);
            runDd(ddZeros, dd, &ddAndRemove);
            runEngine();
        }
    }

    std::printf("\n%s: %d rounds on a %s image; engine wrote %llu bytes, dd %llu bytes\n", title, rounds,
                size.c_str(), engineBytes, ddBytes);
    engine.Print("free-space wipe (random, 1 pass)");
    dd.Print("dd bs=1M conv=fdatasync");
    ddAndRemove.Print("dd, then rm and sync");
    ddRandomBytes.Print("dd of random bytes from memory");
    std::printf("median ratio: %.2fx dd, %.2fx dd with its removal, %.2fx dd of random bytes\n",
                engine.Median() / dd.Median(), engine.Median() / ddAndRemove.Median(),
                engine.Median() / ddRandomBytes.Median());
    return true;
}

// The unmounted wipe of a fresh image file, allocated so that no one pays
// for its blocks, against dd over a file of the same size.
bool UnmountedContest(int rounds, const std::string& size, const std::string& randomSource)
{
    char folder[] = "/var/tmp/vorlix-bench-XXXXXX";
    if (!::mkdtemp(folder))
        return false;
    const std::string image = std::string(folder) + "/disk.img", other = std::string(folder) + "/other";
    const bool made = std::system(("fallocate -l " + size + " '" + image + "' && fallocate -l " + size + " '" + other
                                   + "' && mkfs.ext4 -q -F -E nodiscard '" + image + "'")
                                      .c_str())
                      == 0;
    ExtVolume::Facts facts;
    wxString refusal;
    if (!made || !VolumeWiper::Inspect(wxString::FromUTF8(image), facts, refusal)) {
        std::fprintf(stderr, "cannot make an ext4 image: %s\n", refusal.utf8_str().data());
        (void)std::system(("rm -rf '" + std::string(folder) + "'").c_str());
        return false;
    }
    const uint64_t bytes = VolumeWiper::BytesToWrite(facts, WipeMethod::Random);
    const std::string dd = "dd if=" + randomSource + " of='" + other + "' bs=1M count=" + std::to_string(bytes)
                           + " iflag=count_bytes conv=notrunc,fdatasync 2>/dev/null";
    Timing engine, ddRandomBytes;
    for (int round = 0; round < rounds; ++round) {
        const auto runEngine = [&] {
            VolumeWiper wiper(wxString::FromUTF8(image), WipeMethod::Random);
            engine.runs.push_back(Seconds([&] { std::thread([&] { wiper.Run(); }).join(); }));
            if (!wiper.GetResult().failure.empty())
                std::fprintf(stderr, "engine: %s\n", wiper.GetResult().failure.utf8_str().data());
        };
        const auto runDd = [&] { ddRandomBytes.runs.push_back(Seconds([&] { (void)std::system(dd.c_str()); })); };
        if (round % 2 == 0) {
            runEngine();
            runDd();
        } else {
            runDd();
            runEngine();
        }
    }
    std::printf("\nnot mounted: %d rounds on a %s image; %llu bytes of free blocks and journal\n", rounds,
                size.c_str(), static_cast<unsigned long long>(bytes));
    engine.Print("unmounted wipe (random, 1 pass)");
    ddRandomBytes.Print("dd of as many random bytes");
    std::printf("median ratio: %.2fx dd\n", engine.Median() / ddRandomBytes.Median());
    (void)std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    wxInitializer toolkit;
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::string size = argc > 2 ? argv[2] : "512M";
    const std::string unmountedSize = argc > 3 ? argv[3] : "1G";
    const std::string randomSource = "/dev/shm/vorlix-bench-random";
    const std::string larger = Mebibytes(size) < Mebibytes(unmountedSize) ? unmountedSize : size;
    if (std::system(("head -c " + larger + " /dev/urandom > " + randomSource).c_str()) != 0) {
        std::fprintf(stderr, "cannot write %s\n", randomSource.c_str());
        return 1;
    }
    // Without a journal there is nothing to push round: the fill alone.
    const bool ok = Contest("ext4", "", rounds, size, randomSource)
                    && Contest("ext4 without a journal (the fill alone)", "-O ^has_journal", rounds, size,
                               randomSource)
                    && UnmountedContest(rounds, unmountedSize, randomSource);
    std::remove(randomSource.c_str());
    return ok ? 0 : 1;
}
