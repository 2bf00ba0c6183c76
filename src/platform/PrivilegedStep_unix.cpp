// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PrivilegedStep.h"

#include "platform/NativePath.h"

#include <wx/log.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

const char* const PrivilegedStep::helperPath = "/usr/libexec/vorlix/vorlix-privileged";

namespace {

const char* const pkexecPath = "/usr/bin/pkexec";
// Enough for pkexec's messages and the job's one-line refusal.
constexpr size_t errorLimit = 8192;

}  // namespace

bool PrivilegedStep::Available()
{
    return ::access(pkexecPath, X_OK) == 0 && ::access(helperPath, X_OK) == 0;
}

PrivilegedStep::~PrivilegedStep()
{
    Close(input);
    Close(output);
    Close(errors);
    if (pid > 0)
        Wait();
}

void PrivilegedStep::Close(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool PrivilegedStep::Start(const std::vector<wxString>& args, wxString& detail, bool mayAsk)
{
    std::vector<std::string> native{pkexecPath};
    if (!mayAsk)
        native.emplace_back("--disable-internal-agent");
    native.emplace_back(helperPath);
    for (const wxString& arg : args) {
        native.emplace_back();
        if (!NativePath::Encode(arg, native.back(), detail))
            return false;
    }
    std::vector<char*> argv;
    for (std::string& arg : native)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    // The input is a socket: a line sent after the job has gone fails with
    // EPIPE instead of raising SIGPIPE in this process.
    int in[2], out[2], err[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
        detail = wxSysErrorMsgStr(errno);
        return false;
    }
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        detail = wxSysErrorMsgStr(errno);
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls safe after fork in a process with threads, until exec.
        ::dup2(in[1], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execv(pkexecPath, argv.data());
        ::_exit(127);
    }
    const int error = errno;
    ::close(in[1]);
    ::close(out[1]);
    ::close(err[1]);
    input = in[0];
    output = out[0];
    errors = err[0];
    if (child < 0) {
        detail = wxSysErrorMsgStr(error);
        Close(input);
        Close(output);
        Close(errors);
        return false;
    }
    pid = child;
    return true;
}

bool PrivilegedStep::ReadLine(std::string& line)
{
    for (;;) {
        const size_t newline = outBuffer.find('\n');
        if (newline != std::string::npos) {
            line = outBuffer.substr(0, newline);
            outBuffer.erase(0, newline + 1);
            return true;
        }
        if (output < 0)
            return false;
        // The error output is read meanwhile: a full pipe there would stop the job.
        pollfd fds[2] = {{output, POLLIN, 0}, {errors, POLLIN, 0}};
        if (::poll(fds, errors >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            Close(output);
            return false;
        }
        char chunk[4096];
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? output : errors;
            if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0 && !(n < 0 && errno == EINTR)) {
                Close(fd);
                continue;
            }
            if (n > 0)
                (i == 0 ? outBuffer : errBuffer).append(chunk, static_cast<size_t>(n));
        }
        if (errBuffer.size() > errorLimit)
            errBuffer.erase(0, errBuffer.size() - errorLimit);
    }
}

bool PrivilegedStep::Send(const std::string& line)
{
    const std::string text = line + "\n";
    return input >= 0 && ::send(input, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

int PrivilegedStep::Wait()
{
    if (pid <= 0)
        return status;
    // What it still says on its error output is kept for LastError.
    char chunk[4096];
    ssize_t n;
    while (errors >= 0 && ((n = ::read(errors, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)))
        if (n > 0 && errBuffer.size() < errorLimit)
            errBuffer.append(chunk, static_cast<size_t>(n));
    Close(errors);
    int raw = 0;
    pid_t waited;
    while ((waited = ::waitpid(static_cast<pid_t>(pid), &raw, 0)) < 0 && errno == EINTR) {
    }
    pid = -1;
    status = waited > 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return status;
}

wxString PrivilegedStep::LastError() const
{
    std::string text = errBuffer;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const size_t newline = text.rfind('\n');
    if (newline != std::string::npos)
        text.erase(0, newline + 1);
    return wxString::FromUTF8(text.data(), text.size());
}
