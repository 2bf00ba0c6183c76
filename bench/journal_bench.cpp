// SPDX-License-Identifier: GPL-3.0-or-later
// Times clearing an ext4 journal after a run, for journals of the sizes given
// (MiB), on fresh loop-mounted images: as root (the system zeroes it) and as
// an unprivileged user (pushed round with folders). Needs root.
// Usage: journal_bench [MiB...]   (default: 32 128 1024)
#include "engine/JournalPush.h"
#include "support/LoopFilesystem.h"

#include <wx/init.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <string>
#include <vector>

namespace {

// Seconds JournalPush::Run takes, as root or as user nobody; -1 on failure.
double Time(const LoopFilesystem& fs, bool unprivileged)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (unprivileged && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(1);
        FreeSpace::Filesystem filesystem;
        wxString detail;
        double seconds = -1;
        if (FreeSpace::Examine(fs.Path("docs"), filesystem, detail)) {
            const auto start = std::chrono::steady_clock::now();
            if (JournalPush::Run(filesystem, fs.Path("docs/.push"), [] { return false; }, detail))
                seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        if (::write(pipeEnds[1], &seconds, sizeof seconds) != sizeof seconds)
            ::_exit(1);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    double seconds = -1;
    if (::read(pipeEnds[0], &seconds, sizeof seconds) != sizeof seconds)
        seconds = -1;
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    wxInitializer toolkit;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {32, 128, 1024};
    for (int mib : sizes) {
        // 4 KiB blocks, as on any filesystem of more than 512 MiB.
        LoopFilesystem fs("ext4", std::to_string(3 * mib + 512) + "M", "-b 4096 -J size=" + std::to_string(mib));
        if (!fs.Usable()) {
            std::fprintf(stderr, "needs root, a loop device and mkfs.ext4\n");
            return 1;
        }
        ::mkdir(fs.Path("docs").c_str(), 0700);
        ::chmod(fs.Path("docs").c_str(), 0777);
        ::chmod((fs.Path("") + "..").c_str(), 0755);
        const double root = Time(fs, false);
        const double user = Time(fs, true);
        std::printf("journal %5d MiB: as root %7.2f s, as another user %7.2f s\n", mib, root, user);
    }
    return 0;
}
