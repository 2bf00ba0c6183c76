// SPDX-License-Identifier: GPL-3.0-or-later
// Times the engine side by side with GNU shred and dd on equal files, round by
// round (engine, shred, dd, engine, shred, dd, ...), so that other work on the
// machine slows every contender alike; prints min / median / max of each time
// and of each ratio. Measured in the given folder and, as root, also on an
// ext4 image on a loop device.
//
// Usage: wipe_bench [folder] [rounds] [MiB] [small files] [small]
//        (defaults: /tmp 5 512 10000; "-" as folder measures on the image only;
//        "small" measures the small files only)
#include "engine/WipeQueue.h"
#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "support/LoopFilesystem.h"

#include <wx/init.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double Seconds(const std::function<void()>& body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool WriteAll(int fd, const char* data, size_t n, off_t at)
{
    return ::pwrite(fd, data, n, at) == ssize_t(n);
}

// A file with every block allocated (or, sparse, only the given stretches) and
// on the device, so that each contender starts from the same state.
bool MakeFile(const std::string& path, uint64_t size, uint64_t dataAtEachEnd = UINT64_MAX)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    static const std::vector<char> chunk(1 << 20, 'x');
    bool ok = ::ftruncate(fd, off_t(size)) == 0;
    const uint64_t head = std::min(size, dataAtEachEnd);
    for (uint64_t at = 0; ok && at < head; at += chunk.size())
        ok = WriteAll(fd, chunk.data(), size_t(std::min<uint64_t>(chunk.size(), head - at)), off_t(at));
    for (uint64_t at = std::max(head, size - std::min(size, dataAtEachEnd)); ok && at < size; at += chunk.size())
        ok = WriteAll(fd, chunk.data(), size_t(std::min<uint64_t>(chunk.size(), size - at)), off_t(at));
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool Shell(const std::string& command)
{
    if (std::system(command.c_str()) == 0)
        return true;
    std::cerr << "failed: " << command << std::endl;
    return false;
}

struct EngineRun {
    double seconds = 0;
    double cpuSeconds = 0;  // of the whole child, in user and kernel mode
    long peakKiB = 0;
    uint64_t processed = 0;
    uint64_t failed = 0;
};

// Runs one wipe of paths in a child process, as the program does (a fresh
// thread, the queue filled beforehand), so that its peak memory is its own.
// The time covers Wipe alone.
EngineRun RunEngine(bool dod, const std::vector<std::string>& paths)
{
    EngineRun run;
    int channel[2];
    if (::pipe(channel) != 0)
        return run;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        WipeQueue queue;
        for (const std::string& path : paths)
            queue.AddPath(wxString::FromUTF8(path));
        RandomWiper random;
        DoDWiper dodWiper;
        Wiper& wiper = dod ? static_cast<Wiper&>(dodWiper) : random;
        Wiper::ResetRun();
        EngineRun result;
        result.seconds = Seconds([&] { std::thread([&] { wiper.Wipe(&queue); }).join(); });
        result.processed = wiper.GetBytesProcessed().GetValue();
        result.failed = Wiper::GetFailures().size();
        const bool sent = ::write(channel[1], &result, sizeof result) == ssize_t(sizeof result);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    const bool got = child > 0 && ::read(channel[0], &run, sizeof run) == ssize_t(sizeof run);
    ::close(channel[0]);
    int status = 0;
    rusage usage{};
    if (child > 0)
        ::wait4(child, &status, 0, &usage);
    if (!got)
        std::cerr << "engine run failed" << std::endl;
    run.peakKiB = usage.ru_maxrss;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                     + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

uint64_t FreeBytes(const std::string& folder)
{
    struct statvfs st;
    return ::statvfs(folder.c_str(), &st) == 0 ? uint64_t(st.f_bavail) * st.f_frsize : 0;
}

// Times and ratios over the rounds, by name, in the order first seen.
class Figures {
public:
    void Add(const std::string& name, double value)
    {
        if (values.find(name) == values.end())
            order.push_back(name);
        values[name].push_back(value);
    }
    void Print(const char* unit) const
    {
        for (const std::string& name : order) {
            std::vector<double> v = values.at(name);
            std::sort(v.begin(), v.end());
            const double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
            const bool ratio = name.find(" / ") != std::string::npos;
            std::printf("  %-44s min %8.3f  median %8.3f  max %8.3f %s\n", name.c_str(), v.front(), median,
                        v.back(), ratio ? "" : unit);
        }
    }

private:
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> values;
};

struct Settings {
    int rounds = 5;
    uint64_t mib = 512;
    int smallFiles = 10000;
    bool smallOnly = false;
};

void Measure(const std::string& folder, const Settings& settings)
{
    const std::string big = folder + "/vorlix-bench-big";
    const std::string small = folder + "/vorlix-bench-small";
    const uint64_t size = settings.mib << 20;
    std::vector<std::string> smallPaths;
    std::string smallList;
    for (int i = 0; i < settings.smallFiles; ++i) {
        const std::string name = "f" + std::to_string(i);
        smallPaths.push_back(small + "/" + name);
        smallList += name + "\n";
    }
    const std::string listPath = folder + "/vorlix-bench-list";
    {
        const int fd = ::open(listPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || !WriteAll(fd, smallList.data(), smallList.size(), 0)) {
            std::cerr << "cannot write " << listPath << std::endl;
            return;
        }
        ::close(fd);
    }
    const std::string smallData(4096, 's');
    auto makeSmall = [&] {
        ::mkdir(small.c_str(), 0700);
        for (const std::string& path : smallPaths) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || !WriteAll(fd, smallData.data(), smallData.size(), 0))
                return false;
            ::close(fd);
        }
        ::sync();
        return true;
    };

    Figures times, ratios, memory, cpu;
    uint64_t sparseWritten = 0, sparseFreeLost = 0, sparseFailed = 0;
    for (int round = 1; round <= settings.rounds; ++round) {
        std::fprintf(stderr, "%s: round %d of %d\n", folder.c_str(), round, settings.rounds);
        double t[8] = {};
        EngineRun run;

        // One pass: engine, shred -n1, dd.
        if (!settings.smallOnly) {
            if (!MakeFile(big, size))
                return;
            run = RunEngine(false, {big});
            t[0] = run.seconds;
            cpu.Add("engine one pass", run.cpuSeconds);
            memory.Add("engine, one pass over the big file", run.peakKiB);
            if (!MakeFile(big, size))
                return;
            t[1] = Seconds([&] { Shell("shred -n1 --remove=unlink '" + big + "'"); });
            if (!MakeFile(big, size))
                return;
            t[2] = Seconds([&] {
                Shell("dd if=/dev/zero of='" + big + "' bs=1M count=" + std::to_string(settings.mib)
                      + " conv=notrunc,fdatasync status=none && rm '" + big + "'");
            });

            // Three passes: engine, shred -n3.
            if (!MakeFile(big, size))
                return;
            run = RunEngine(true, {big});
            t[3] = run.seconds;
            cpu.Add("engine three passes", run.cpuSeconds);
            memory.Add("engine, three passes over the big file", run.peakKiB);
            if (!MakeFile(big, size))
                return;
            t[4] = Seconds([&] { Shell("shred -n3 --remove=unlink '" + big + "'"); });
        }

        // Small files: engine, shred -n1 --remove=unlink.
        if (settings.smallFiles > 0) {
            if (!makeSmall())
                return;
            run = RunEngine(false, smallPaths);
            t[5] = run.seconds;
            cpu.Add("engine small files", run.cpuSeconds);
            memory.Add("engine, small files", run.peakKiB);
            if (!makeSmall())
                return;
            t[6] = Seconds([&] {
                Shell("cd '" + small + "' && xargs -a '" + listPath + "' -d '\\n' shred -n1 --remove=unlink");
            });
            ::rmdir(small.c_str());
            times.Add("engine small files", t[5]);
            times.Add("shred -n1 --remove=unlink small files", t[6]);
            ratios.Add("engine small files / shred", t[5] / t[6]);
        }
        if (settings.smallOnly)
            continue;

        // A sparse 8 GiB file with 1 MiB of data, half at each end.
        if (!MakeFile(big, uint64_t(8) << 30, 512 << 10))
            return;
        const uint64_t freeBefore = FreeBytes(folder);
        run = RunEngine(false, {big});
        const uint64_t freeAfter = FreeBytes(folder);
        t[7] = run.seconds;
        sparseWritten = run.processed;
        sparseFailed += run.failed;
        sparseFreeLost = std::max(sparseFreeLost, freeBefore > freeAfter ? freeBefore - freeAfter : 0);
        memory.Add("engine, sparse file", run.peakKiB);
        ::unlink(big.c_str());

        times.Add("engine one pass", t[0]);
        times.Add("shred -n1", t[1]);
        times.Add("dd conv=fdatasync", t[2]);
        times.Add("engine three passes", t[3]);
        times.Add("shred -n3", t[4]);
        times.Add("engine sparse 8 GiB", t[7]);
        ratios.Add("engine one pass / shred -n1", t[0] / t[1]);
        ratios.Add("engine one pass / dd", t[0] / t[2]);
        ratios.Add("engine three passes / shred -n3", t[3] / t[4]);
        ratios.Add("engine three passes / (3 x dd)", t[3] / (3 * t[2]));
    }
    ::unlink(listPath.c_str());

    std::printf("\n%s: %llu MiB files, %d files of 4 KiB, %d rounds\n", folder.c_str(),
                static_cast<unsigned long long>(settings.mib), settings.smallFiles, settings.rounds);
    times.Print("s");
    ratios.Print("");
    if (!settings.smallOnly)
        std::printf("  sparse 8 GiB file: %llu bytes written, free space at most %llu bytes lower, %llu failures\n",
                    static_cast<unsigned long long>(sparseWritten), static_cast<unsigned long long>(sparseFreeLost),
                    static_cast<unsigned long long>(sparseFailed));
    std::printf("  processor time of the process running the engine:\n");
    cpu.Print("s");
    std::printf("  peak memory of the process running the engine (KiB):\n");
    memory.Print("KiB");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    wxInitializer toolkit;
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    Settings settings;
    if (argc > 2)
        settings.rounds = std::max(1, std::atoi(argv[2]));
    if (argc > 3)
        settings.mib = std::strtoull(argv[3], nullptr, 10);
    if (argc > 4)
        settings.smallFiles = std::atoi(argv[4]);
    settings.smallOnly = argc > 5 && std::string(argv[5]) == "small";

    if (folder != "-")
        Measure(folder, settings);
    if (::geteuid() == 0) {
        // Room for one big file and the small ones, not for the sparse file.
        LoopFilesystem image("ext4", std::to_string(settings.mib + 256) + "M");
        if (image.Usable())
            Measure(image.Path("").substr(0, image.Path("").size() - 1), settings);
        else
            std::cerr << "no ext4 loop image here" << std::endl;
    }
    return 0;
}
