// SPDX-License-Identifier: GPL-3.0-or-later
// Times what opening many files at once costs: with the real first instance
// running here (its listener, window and list), 300 later instances of the
// built program are started at once, as a file manager starts one per file,
// and then one later instance with 1,000 paths. Prints how many paths reached
// the queue and how long each took. Needs a display for the first instance
// only (run under xvfb-run); the later instances get none of it.
// Usage: handoff_bench [instances] [arguments]
#include <wx/app.h>
#include <wx/stopwatch.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Main.h"
#include "MainFrame.h"
#include "QueueListCtrl.h"
#include "shell/StartUp.h"

extern char** environ;

namespace {

struct Started {
    size_t processes = 0;
    size_t succeeded = 0;  // exited with status 0
};

pid_t Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs the window's event loop until the queue holds `expected` entries, all
// shown in the list, and every started process has ended; the time it took.
long WaitForQueue(size_t expected, Started& started, const wxStopWatch& clock, long timeoutMs)
{
    size_t ended = 0;
    long arrivedMs = -1;
    while (clock.Time() < timeoutMs) {
        wxTheApp->Yield(true);
        int status = 0;
        while (ended < started.processes && waitpid(-1, &status, WNOHANG) > 0) {
            ++ended;
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                ++started.succeeded;
        }
        if (arrivedMs < 0 && mainFrame->wipeQueue.Count() >= expected &&
            size_t(mainFrame->queueList->GetItemCount()) >= expected)
            arrivedMs = clock.Time();
        if (arrivedMs >= 0 && ended == started.processes)
            break;
        wxMilliSleep(2);
    }
    return arrivedMs;
}

// CPU time of the ended later instances so far, in ms: what the launches cost
// a machine that has nothing else to do.
long ChildrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
}

void Report(const char* what, size_t expected, Started& started, long arrivedMs, long cpuMs)
{
    std::printf("%-40s %6zu / %-6zu %8ld ms %8ld ms  (%zu of %zu exited 0)\n", what,
                mainFrame->wipeQueue.Count(), expected, arrivedMs, cpuMs, started.succeeded, started.processes);
}

}  // namespace

int main(int argc, char** argv)
{
    const size_t instances = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300;
    const size_t arguments = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000;
    const long timeoutMs = 60000;

    char runtime[] = "/tmp/vorlix-handoff-bench-XXXXXX";
    setenv("XDG_RUNTIME_DIR", mkdtemp(runtime), 1);

    int result = 1;
    StartUp::Run({}, [&](bool) {
        int appArgc = 1;
        char* appArgv[] = {argv[0], nullptr};
        wxApp::SetInstance(new MyApp);
        if (!wxEntryStart(appArgc, appArgv) || !wxTheApp->CallOnInit()) {
            std::fprintf(stderr, "handoff_bench needs a display\n");
            return 1;
        }
        std::printf("%-40s %15s %11s %11s\n", "later instances", "queued", "time", "their CPU");

        Started burst;
        long cpuBefore = ChildrenCpuMs();
        wxStopWatch clock;
        for (size_t i = 0; i < instances; ++i)
            if (Spawn({VORLIX_BINARY, "/nonexistent/bench/burst-" + std::to_string(i)}) > 0)
                ++burst.processes;
        long ms = WaitForQueue(instances, burst, clock, timeoutMs);
        Report((std::to_string(instances) + " started at once, one path each").c_str(), instances, burst, ms,
               ChildrenCpuMs() - cpuBefore);

        mainFrame->wipeQueue.Clear();
        mainFrame->RefreshQueueList();
        std::vector<std::string> command{VORLIX_BINARY};
        for (size_t i = 0; i < arguments; ++i)
            command.push_back("/nonexistent/bench/argument-" + std::to_string(i));
        Started one;
        cpuBefore = ChildrenCpuMs();
        clock.Start();
        if (Spawn(command) > 0)
            ++one.processes;
        ms = WaitForQueue(arguments, one, clock, timeoutMs);
        Report(("one with " + std::to_string(arguments) + " paths").c_str(), arguments, one, ms,
               ChildrenCpuMs() - cpuBefore);
        result = 0;

        if (mainFrame)
            mainFrame->Close(true);
        wxTheApp->OnExit();
        wxEntryCleanup();
        return 0;
    });
    rmdir(runtime);
    return result;
}
