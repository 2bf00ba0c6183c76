// Times both algorithms against GNU shred on files of the same size in the same
// folder: RandomWiper against `shred -n1`, DoDWiper against `shred -n3`, each
// followed by the file's removal. Usage: wipe_bench [folder] [MiB]
#include "WipeQueue.h"
#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"

#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A file of the given size with every block allocated and on the device, so
// that each contender starts from the same state.
bool MakeFile(const std::string& path, uint64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    std::vector<char> chunk(1 << 20, 'x');
    bool ok = true;
    for (uint64_t left = size; ok && left != 0;) {
        const size_t n = left < chunk.size() ? size_t(left) : chunk.size();
        ok = ::write(fd, chunk.data(), n) == ssize_t(n);
        left -= n;
    }
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

double Seconds(const std::function<void()>& body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double TimeEngine(Wiper& wiper, const std::string& path)
{
    WipeQueue queue;
    queue.AddPath(wxString::FromUTF8(path));
    Wiper::ResetRun();
    // A fresh thread, as in the program.
    return Seconds([&] { std::thread([&] { wiper.Wipe(&queue); }).join(); });
}

double TimeShred(int passes, const std::string& path)
{
    const std::string command = "shred -n" + std::to_string(passes) + " '" + path + "' && rm '" + path + "'";
    return Seconds([&] {
        if (std::system(command.c_str()) != 0)
            std::cerr << "shred failed" << std::endl;
    });
}

}  // namespace

int main(int argc, char** argv)
{
    wxInitializer toolkit;
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 512;
    const uint64_t size = mib << 20;
    const std::string path = folder + "/vorlix-bench-" + std::to_string(::getpid());

    struct Contest {
        const char* name;
        Wiper* wiper;
        int shredPasses;
    };
    RandomWiper random;
    DoDWiper dod;
    const Contest contests[] = {{"RandomWiper", &random, 1}, {"DoDWiper", &dod, 3}};

    double engine[2];
    for (int i = 0; i < 2; ++i) {
        if (!MakeFile(path, size)) {
            std::cerr << "cannot create " << path << std::endl;
            return 1;
        }
        engine[i] = TimeEngine(*contests[i].wiper, path);
    }
    // Taken before shred runs: only the engine's own peak counts.
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);

    std::printf("\n%llu MiB in %s\n", static_cast<unsigned long long>(mib), folder.c_str());
    for (int i = 0; i < 2; ++i) {
        if (!MakeFile(path, size)) {
            std::cerr << "cannot create " << path << std::endl;
            return 1;
        }
        const double shred = TimeShred(contests[i].shredPasses, path);
        std::printf("%-12s %7.2f s   shred -n%d %7.2f s   ratio %.2fx\n", contests[i].name, engine[i],
                    contests[i].shredPasses, shred, engine[i] / shred);
    }
    std::printf("peak memory of the engine runs: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
