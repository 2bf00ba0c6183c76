// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WipeQueue.h"
#include "engine/Wiper.h"
#include "support/TempDir.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

std::string Bytes(size_t n, char fill);
// Writes content and pushes it to the device, as a file would be long before
// anyone wipes it.
void WriteSynced(const std::string& path, const std::string& content);
// Content that no pass of either algorithm can produce by chance.
std::string Pattern(size_t n);

// The file's bytes as the wipe leaves them, even after it has been deleted:
// a descriptor opened before the wipe keeps the inode readable.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    std::string Read() const;

private:
    int fd;
};

// n values of the generator's sequence from seed, after skipping `skip`, each cut to 8 bits.
std::string RandomBytes(uint32_t seed, size_t skip, size_t n);

// What a run left behind.
struct RunResult {
    std::string out;
    std::string err;
    std::vector<wxString> failed;
};

// Runs wiper over queue on a new thread (so the generator starts unseeded), with
// standard output and standard error captured, after ResetRun.
RunResult RunOnFreshThread(Wiper& wiper, WipeQueue& queue);
// Runs wiper over queue on a WipeThread, as the window does, and waits up to
// 30 s for the run to finish.
RunResult RunOnWipeThread(Wiper& wiper, WipeQueue& queue);
// Waits up to 30 s for the current run to finish; false if it did not.
bool WaitForRunEnd();
// The same, around any function.
RunResult Capture(const std::function<void()>& body);

// Runs body in a child process as the unprivileged user 65534 when the test runs
// as root, with its standard streams sent to the given files. Returns the
// child's exit status, or -1 if privileges could not be dropped.
int RunUnprivileged(const std::function<int()>& body, const std::string& outPath,
                    const std::string& errPath);

// Sets FileOverwriter::afterPass for the lifetime of the object.
class AfterPassHook {
public:
    explicit AfterPassHook(std::function<void(const wxString& path)> hook);
    ~AfterPassHook();
};
