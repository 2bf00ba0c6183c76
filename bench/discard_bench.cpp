// What discarding costs a run of small files: the same files wiped on a loop
// device that says it spins and on one that says it is flash (where each file
// gets a filesystem sync and FITRIM after its delete), in interleaved rounds
// on fresh ext4 images on tmpfs. Needs root.
// Usage: discard_bench [rounds] [files]   (defaults: 3 1000, files of 4 KiB)
#include "engine/RandomWiper.h"
#include "engine/WipeQueue.h"
#include "engine/Wiper.h"
#include "support/LoopFilesystem.h"

#include <wx/init.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

// Seconds to wipe `files` new files of 4 KiB; -1 where no image could be made.
double Round(bool rotational, int files)
{
    LoopFilesystem fs("ext4", "256M", "-b 4096", "/dev/shm");
    if (!fs.Usable() || !fs.SetRotational(rotational))
        return -1;
    WipeQueue queue;
    for (int i = 0; i < files; ++i) {
        const std::string path = fs.Path("f" + std::to_string(i));
        std::ofstream(path) << std::string(4096, 'x');
        queue.AddPath(path);
    }
    ::sync();
    RandomWiper wiper;
    Wiper::ResetRun();
    const auto start = std::chrono::steady_clock::now();
    std::thread([&] { wiper.Wipe(&queue); }).join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
        const double spinning = Round(true, files), flash = Round(false, files);
        if (spinning < 0 || flash < 0) {
            std::cerr << "needs root, loop devices and /dev/shm" << std::endl;
            return 1;
        }
        std::cerr << files << " files of 4 KiB: spinning " << spinning << " s, flash " << flash << " s" << std::endl;
    }
    return 0;
}
