// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"

#include "engine/FileOverwriter.h"
#include "engine/ThreadRandom.h"
#include "engine/WipeThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

std::string Bytes(size_t n, char fill)
{
    return std::string(n, fill);
}

std::string Pattern(size_t n)
{
    // Runs of 'k' can come neither from a constant pass nor, at this length,
    // from the generator.
    std::string s;
    s.reserve(n);
    for (size_t i = 0; i < n; ++i)
        s += (i % 97 == 0) ? '\n' : 'k';
    return s;
}

HeldFile::HeldFile(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
{
    EXPECT_GE(fd, 0) << path;
}

HeldFile::~HeldFile()
{
    if (fd >= 0)
        ::close(fd);
}

std::string HeldFile::Read() const
{
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return {};
    std::string content(static_cast<size_t>(st.st_size), '\0');
    const ssize_t got = ::pread(fd, &content[0], content.size(), 0);
    content.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return content;
}

std::string RandomBytes(uint32_t seed, size_t skip, size_t n)
{
    std::string bytes;
    std::thread([&] {
        ThreadRandom::Seed(seed);
        for (size_t i = 0; i < skip; ++i)
            ThreadRandom::Next();
        for (size_t i = 0; i < n; ++i)
            bytes += static_cast<char>(ThreadRandom::Next() & 0xFF);
    }).join();
    return bytes;
}

namespace {

// Sends fd to a fresh temporary file until Restore() and returns what arrived.
class Redirect {
public:
    explicit Redirect(int fd) : fd(fd), saved(::dup(fd)), sink(std::tmpfile())
    {
        ::dup2(::fileno(sink), fd);
    }
    std::string Restore()
    {
        ::dup2(saved, fd);
        ::close(saved);
        std::string content;
        std::rewind(sink);
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, sink)) > 0)
            content.append(buffer, got);
        std::fclose(sink);
        return content;
    }

private:
    int fd;
    int saved;
    std::FILE* sink;
};

}  // namespace

RunResult Capture(const std::function<void()>& body)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    Redirect out(1);
    Redirect err(2);
    body();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    RunResult result;
    result.err = err.Restore();
    result.out = out.Restore();
    result.failed = Wiper::GetFailedPaths();
    return result;
}

RunResult RunOnFreshThread(Wiper& wiper, WipeQueue& queue)
{
    Wiper::ResetRun();
    return Capture([&] { std::thread([&] { wiper.Wipe(&queue); }).join(); });
}

bool WaitForRunEnd()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Wiper::IsRunFinished()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

RunResult RunOnWipeThread(Wiper& wiper, WipeQueue& queue)
{
    queue.wiper = &wiper;
    Wiper::ResetRun();
    RunResult run = Capture([&] {
        auto* thread = new WipeThread(&queue);
        if (thread->Create() != wxTHREAD_NO_ERROR || thread->Run() != wxTHREAD_NO_ERROR) {
            delete thread;
            ADD_FAILURE() << "the wipe thread did not start";
            return;
        }
        EXPECT_TRUE(WaitForRunEnd());
    });
    queue.wiper = nullptr;
    return run;
}

int RunUnprivileged(const std::function<int()>& body, const std::string& outPath,
                    const std::string& errPath)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        const int status = body();
        std::cout.flush();
        std::cerr.flush();
        ::_exit(status);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -2;
    return WEXITSTATUS(status) == 77 ? -1 : WEXITSTATUS(status);
}

AfterPassHook::AfterPassHook(std::function<void(const wxString& path)> hook)
{
    FileOverwriter::afterPass = std::move(hook);
}

AfterPassHook::~AfterPassHook()
{
    FileOverwriter::afterPass = nullptr;
}

void WriteSynced(const std::string& path, const std::string& content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}
