// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <string>
#include <vector>

// One job of vorlix-privileged, started through pkexec so that polkit asks
// for an administrator's consent the way the desktop's other tools do (its
// authentication agent). The job runs as root: this process can neither
// signal nor wait on it directly, so it is told to stop by a line on its
// standard input, and it stops of itself once its output has nobody reading.
class PrivilegedStep {
public:
    // Where the program must be for polkit's action to name it.
    static const char* const helperPath;

    // pkexec and vorlix-privileged are both installed here.
    static bool Available();
    // pkexec's exit statuses for an authorization refused, dismissed or not
    // to be had.
    static bool NotAuthorized(int status) { return status == 126 || status == 127; }

    PrivilegedStep() = default;
    PrivilegedStep(const PrivilegedStep&) = delete;
    PrivilegedStep& operator=(const PrivilegedStep&) = delete;
    // Closes the pipes (the job then stops and cleans up) and waits for it.
    ~PrivilegedStep();

    // Starts `pkexec helperPath args...`; false, with the system's text in
    // detail, when it cannot be started. With mayAsk false pkexec never asks
    // for a password on a terminal itself: polkit's answer is one it gives
    // without asking, or the desktop's agent's.
    bool Start(const std::vector<wxString>& args, wxString& detail, bool mayAsk = true);
    // The next line the job wrote, without its newline; false at the end of
    // its output. Blocks; one thread reads.
    bool ReadLine(std::string& line);
    // Sends one line to the job; false when it has gone. Any thread.
    bool Send(const std::string& line);
    // Once ReadLine has returned false: waits for the job to end and returns
    // its exit status (-1 when a signal ended it).
    int Wait();
    // The last line pkexec or the job wrote on its error output.
    wxString LastError() const;

private:
    void Close(int& fd);

    long pid = -1;
    int input = -1;   // the job's standard input
    int output = -1;  // its standard output
    int errors = -1;  // its error output
    std::string outBuffer;
    std::string errBuffer;
    int status = -1;
};
