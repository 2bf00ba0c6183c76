// SPDX-License-Identifier: GPL-3.0-or-later
// What a run of many files costs the process: the peak memory with the queue
// alone and through a whole run (queued, surveyed, wiped, recorded), and how
// long after the last file the end box's text and the record are ready.
// Empty files, so that the time is the run's bookkeeping, not the disk's.
// Usage: run_bench [files [folder]] (defaults: 100000 in a new folder in
// /dev/shm); a folder given is filled once and kept, for later rounds.
#include "StatusMiB.h"
#include "engine/FileRun.h"
#include "engine/QueueIntake.h"
#include "engine/RunRecord.h"
#include "engine/WipeQueue.h"
#include "engine/Wiper.h"

#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Starts the peak anew, so that each stage's peak is its own.
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Files in folders of 1,000, as a photo library or a source tree keeps them.
bool Fill(const std::string& folder, long files)
{
    for (long i = 0; i < files; ++i) {
        const std::string sub = folder + "/d" + std::to_string(i / 1000);
        if (i % 1000 == 0 && ::mkdir(sub.c_str(), 0700) != 0)
            return false;
        const int fd = ::open((sub + "/file-" + std::to_string(i)).c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    wxInitializer init;
    const long files = argc > 1 ? std::atol(argv[1]) : 100000;
    std::string folder = argc > 2 ? argv[2] : "";
    const bool made = folder.empty();
    if (made) {
        char name[] = "/dev/shm/run-bench-XXXXXX";
        if (!::mkdtemp(name))
            return 2;
        folder = name;
    }
    const std::string tree = folder + "/tree";
    struct stat st;
    if (::stat(tree.c_str(), &st) != 0) {
        std::printf("making %ld files in %s\n", files, tree.c_str());
        if (::mkdir(tree.c_str(), 0700) != 0 || !Fill(tree, files))
            return 2;
    }
    // The run wipes a copy, so that a kept tree serves the next round.
    const std::string wiped = folder + "/wiped";
    if (std::system(("cp -r '" + tree + "' '" + wiped + "'").c_str()) != 0)
        return 2;

    ResetPeak();
    const long before = StatusMiB("VmHWM");
    WipeQueue queue;
    QueueIntake(queue).Walk(wiped);
    const long queued = StatusMiB("VmHWM");
    std::printf("queued %zu files: peak %ld MiB (%ld MiB before)\n", queue.Count(), queued, before);

    FileRun run(queue, WipeMethod::Random);
    const auto start = std::chrono::steady_clock::now();
    if (!run.Start())
        return 2;
    const uint64_t all = queue.Count();
    auto last = start;
    while (!run.IsFinished()) {
        if (Wiper::FilesReached() < all)
            last = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const long ran = StatusMiB("VmHWM");
    const double finishedAt = Since(last);
    const WipeRun::Outcome outcome = run.Finish();
    const double boxAt = Since(last);
    const long finished = StatusMiB("VmHWM");
    // Saved as --report saves it, next to the files.
    wxString error;
    const std::string report = folder + "/record.json";
    if (!run.Record()->Save(report, error))
        std::printf("record not saved: %s\n", error.utf8_str().data());
    struct stat saved;
    const long long recordBytes = ::stat(report.c_str(), &saved) == 0 ? saved.st_size : -1;
    const double end = Since(last);
    std::printf("run: %.1f s; after the last file: run finished %.2f s, end box %.2f s, record (%lld bytes) "
                "saved %.2f s\n",
                Since(start), finishedAt, boxAt, recordBytes, end);
    std::printf("peak: %ld MiB through the run, %ld MiB with its end, %ld MiB with the record\n", ran, finished,
                StatusMiB("VmHWM"));
    std::printf("%s\n", outcome.status.utf8_str().data());
    if (made)
        std::system(("rm -rf '" + folder + "'").c_str());
    else
        std::system(("rm -rf '" + wiped + "' '" + report + "'").c_str());
    return outcome.clean ? 0 : 1;
}
