// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// A real child process with its output collected; `whileWaiting` runs between
// polls so that a GUI test keeps its event loop going meanwhile.
struct ProcessResult {
    int status = -1;  // exit code, or -1 when it had to be killed
    std::string out;
    std::string err;
};

inline ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& cwd = "",
                                int timeoutMs = 20000, const std::function<void()>& whileWaiting = {})
{
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(127);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline && !killed) {
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, 10) > 0) {
            for (pollfd& fd : fds) {
                if (fd.fd < 0 || !(fd.revents & (POLLIN | POLLHUP)))
                    continue;
                char buffer[4096];
                const ssize_t n = read(fd.fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(fd.fd);
                    fd.fd = -1;
                    --open;
                } else {
                    (fd.fd == outPipe[0] ? result.out : result.err).append(buffer, size_t(n));
                }
            }
        }
        if (whileWaiting)
            whileWaiting();
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return result;
}
