// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/FreeSpaceWiper.h"

#include <cstdint>
#include <string>

// The lines in which vorlix-privileged tells the window how its free-space
// wipe goes: "progress DONE TOTAL" while it runs, then the whole Result, one
// field a line between "result" and "end". Texts are UTF-8 with \\, \n and
// control characters escaped, so that each field stays on its line. Written
// and read here alone; the reader takes nothing it does not know.
class FreeSpaceLines {
public:
    static std::string Progress(uint64_t done, uint64_t total);
    static std::string Result(const FreeSpaceWiper::Result& result);

    // The pieces of a line's value, shared with DriveLines: a text escaped
    // and back (false for a bad escape or bytes that are not UTF-8), a
    // number without a sign or leading zeros, and a flag of 0 or 1.
    static std::string EscapedText(const wxString& text);
    static bool TextFrom(const std::string& value, wxString& text);
    static bool NumberFrom(const std::string& value, uint64_t& number);
    static bool FlagFrom(const std::string& value, bool& flag);

    // Takes one line without its newline; false when it is malformed (an
    // unknown or repeated field, a bad number or escape, anything after
    // "end"), after which every further line is refused too.
    bool Read(const std::string& line);

    bool Broken() const { return broken; }
    // True once the whole result has been read.
    bool HasResult() const { return complete; }
    // Lines were read, none of them malformed.
    bool HeardFrom() const { return heard && !broken; }
    uint64_t Done() const { return done; }
    uint64_t Total() const { return total; }
    const FreeSpaceWiper::Result& GetResult() const { return result; }

private:
    bool ReadField(const std::string& key, const std::string& value);
    bool Refuse();

    bool broken = false;
    bool heard = false;
    bool inResult = false;
    bool complete = false;
    uint64_t done = 0;
    uint64_t total = 0;
    // The fields read so far, one bit each, so that none is missing or twice.
    uint32_t seen = 0;
    FreeSpaceWiper::Result result;
};
