// SPDX-License-Identifier: GPL-3.0-or-later
// What discarding costs a run of small files: the same files wiped on a loop
// device that says it spins and on one that says it is flash (where the
// run gathers the wiped files' blocks and asks for them after the last
// file), in interleaved rounds on fresh ext4 images on tmpfs. Needs root.
// Usage: discard_bench [rounds] [files]   (defaults: 3 1000, files of 4 KiB)
#include "engine/RandomWiper.h"
#include "engine/WipeQueue.h"
#include "engine/Wiper.h"
#include "support/LoopFilesystem.h"

#include <wx/init.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

// Seconds to wipe `files` new files of 4 KiB; -1 where no image could be
// made. fell: by how much the image's allocation on tmpfs fell meanwhile,
// that is what reached the "drive" as discards (and the journal's zeroing).
double Round(bool rotational, int files, uint64_t& fell)
{
    LoopFilesystem fs("ext4", "256M", "-b 4096", "/dev/shm");
    if (!fs.Usable() || !fs.SetRotational(rotational))
        return -1;
    if (!rotational && !fs.TakesDiscards())
        std::cerr << "this kernel's loop devices take no discards: the flash rounds discard nothing\n";
    WipeQueue queue;
    for (int i = 0; i < files; ++i) {
        const std::string path = fs.Path("f" + std::to_string(i));
        std::ofstream(path) << std::string(4096, 'x');
        queue.AddPath(path);
    }
    ::sync();
    const uint64_t before = fs.ImageAllocated();
    RandomWiper wiper;
    Wiper::ResetRun();
    const auto start = std::chrono::steady_clock::now();
    std::thread([&] { wiper.Wipe(&queue); }).join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::sync();
    fell = before - std::min(before, fs.ImageAllocated());
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    wxInitializer toolkit;
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000;
    // The engine's own lines would drown the table.
    std::freopen("/dev/null", "w", stdout);
    for (int round = 0; round < rounds; ++round) {
        uint64_t spinningFell = 0, flashFell = 0;
        const double spinning = Round(true, files, spinningFell), flash = Round(false, files, flashFell);
        if (spinning < 0 || flash < 0) {
            std::cerr << "needs root, loop devices and /dev/shm" << std::endl;
            return 1;
        }
        std::cerr << files << " files of 4 KiB: spinning " << spinning << " s, flash " << flash << " s ("
                  << flash / spinning << "x); image allocation fell by " << spinningFell / 1024 << " KiB, "
                  << flashFell / 1024 << " KiB" << std::endl;
    }
    return 0;
}
