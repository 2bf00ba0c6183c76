// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/DriveWiper.h"

#include <cstdint>
#include <string>

// The lines in which vorlix-privileged tells the window how its whole-drive
// wipe goes: "progress DONE TOTAL" (as FreeSpaceLines writes it) and "phase
// writing|verifying|discarding" while it runs, then the whole Result, one
// field a line between "result" and "end" ("refusal TEXT" once per reason),
// texts escaped as FreeSpaceLines escapes them. Written and read here alone;
// the reader takes nothing it does not know.
class DriveLines {
public:
    static std::string Progress(uint64_t done, uint64_t total);
    static std::string PhaseLine(DriveWiper::Phase phase);
    static std::string Result(const DriveWiper::Result& result);

    // Takes one line without its newline; false when it is malformed (an
    // unknown or repeated field, a bad value, anything after "end"), after
    // which every further line is refused too.
    bool Read(const std::string& line);

    bool Broken() const { return broken; }
    bool HasResult() const { return complete; }
    bool HeardFrom() const { return heard && !broken; }
    uint64_t Done() const { return done; }
    uint64_t Total() const { return total; }
    DriveWiper::Phase CurrentPhase() const { return phase; }
    const DriveWiper::Result& GetResult() const { return result; }

private:
    bool ReadField(size_t field, const std::string& value);
    bool Refuse();

    bool broken = false;
    bool heard = false;
    bool inResult = false;
    bool complete = false;
    uint64_t done = 0;
    uint64_t total = 0;
    DriveWiper::Phase phase = DriveWiper::Phase::Starting;
    uint64_t seen = 0;  // one bit per field read
    DriveWiper::Result result;
};
