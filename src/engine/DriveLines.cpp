// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DriveLines.h"

#include "engine/FreeSpaceLines.h"

#include <iterator>

namespace {

const char* const phases[] = {"starting", "writing", "verifying", "discarding", "done"};

// Every field of a Result but the refusals, in the order they are written.
const char* const fields[] = {
    "device", "name", "manufacturer", "model", "serial", "bus", "media", "size", "sectorSize",
    "method", "passes", "pattern", "verification", "verified", "verifyResult", "bytesVerified",
    "mismatch", "mismatchOffset", "discarded", "discardKind", "discardNote", "start", "end",
    "complete", "bytesWritten", "passesDone", "reached", "stopped", "stopReason", "host",
    "operator", "toolVersion",
};
constexpr size_t fieldCount = std::size(fields);
static_assert(fieldCount < 64, "one bit per field");

std::string Text(const wxString& text)
{
    return FreeSpaceLines::EscapedText(text);
}

std::string Count(uint64_t n)
{
    return std::to_string(n);
}

std::string Time(const wxDateTime& time)
{
    return time.IsValid() ? std::to_string(time.GetValue().GetValue()) : "0";
}

}  // namespace

std::string DriveLines::Progress(uint64_t done, uint64_t total)
{
    return FreeSpaceLines::Progress(done, total);
}

std::string DriveLines::PhaseLine(DriveWiper::Phase phase)
{
    return std::string("phase ") + phases[static_cast<size_t>(phase)] + "\n";
}

std::string DriveLines::Result(const DriveWiper::Result& r)
{
    const DriveWipeFacts& f = r.facts;
    const std::string values[] = {
        Text(f.device), Text(f.name), Text(f.manufacturer), Text(f.model), Text(f.serial), Text(f.bus),
        Text(f.media), Count(f.size), Count(f.sectorSize), f.method == WipeMethod::DoD ? "dod" : "random",
        Count(static_cast<uint64_t>(f.passes)), Text(f.pattern), Text(f.verification), f.verified ? "1" : "0",
        Text(f.verifyResult), Count(f.bytesVerified), f.mismatch ? "1" : "0", Count(f.mismatchOffset),
        f.discarded ? "1" : "0", Text(f.discardKind), Text(f.discardNote), Time(f.start), Time(f.end),
        f.complete ? "1" : "0", Count(f.bytesWritten), Count(static_cast<uint64_t>(f.passesDone)), Count(f.reached),
        f.stopped ? "1" : "0", Text(f.stopReason), Text(f.host), Text(f.operatorName), Text(f.toolVersion),
    };
    static_assert(std::size(values) == fieldCount, "one value per field");
    std::string out = "result\n";
    for (size_t i = 0; i < fieldCount; ++i)
        out += std::string(fields[i]) + " " + values[i] + "\n";
    for (const wxString& refusal : r.refusals)
        out += "refusal " + Text(refusal) + "\n";
    return out + "end\n";
}

bool DriveLines::Refuse()
{
    broken = true;
    return false;
}

bool DriveLines::Read(const std::string& line)
{
    if (broken || complete)
        return Refuse();
    heard = true;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (!inResult) {
        if (line == "result")
            return inResult = true;
        if (key == "phase") {
            for (size_t i = 0; i < std::size(phases); ++i)
                if (value == phases[i])
                    return phase = static_cast<DriveWiper::Phase>(i), true;
            return Refuse();
        }
        const size_t second = value.find(' ');
        if (key != "progress" || second == std::string::npos
            || !FreeSpaceLines::NumberFrom(value.substr(0, second), done)
            || !FreeSpaceLines::NumberFrom(value.substr(second + 1), total))
            return Refuse();
        return true;
    }
    if (line == "end") {
        if (seen != (uint64_t(1) << fieldCount) - 1)
            return Refuse();
        return complete = true;
    }
    if (space == std::string::npos)
        return Refuse();
    if (key == "refusal") {
        wxString text;
        if (!FreeSpaceLines::TextFrom(value, text))
            return Refuse();
        result.refusals.push_back(text);
        return true;
    }
    for (size_t i = 0; i < fieldCount; ++i) {
        if (key != fields[i])
            continue;
        if (seen & (uint64_t(1) << i))
            return Refuse();
        seen |= uint64_t(1) << i;
        return ReadField(i, value) || Refuse();
    }
    return Refuse();
}

bool DriveLines::ReadField(size_t field, const std::string& value)
{
    DriveWipeFacts& f = result.facts;
    wxString* const texts[fieldCount] = {
        &f.device, &f.name, &f.manufacturer, &f.model, &f.serial, &f.bus, &f.media, nullptr, nullptr, nullptr,
        nullptr, &f.pattern, &f.verification, nullptr, &f.verifyResult, nullptr, nullptr, nullptr, nullptr,
        &f.discardKind, &f.discardNote, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        &f.stopReason, &f.host, &f.operatorName, &f.toolVersion,
    };
    if (texts[field])
        return FreeSpaceLines::TextFrom(value, *texts[field]);
    const std::string key = fields[field];
    uint64_t n = 0;
    if (key == "method") {
        if (value != "random" && value != "dod")
            return false;
        f.method = value == "dod" ? WipeMethod::DoD : WipeMethod::Random;
        return true;
    }
    bool* const flags[] = {&f.verified, &f.mismatch, &f.discarded, &f.complete, &f.stopped};
    const char* const flagNames[] = {"verified", "mismatch", "discarded", "complete", "stopped"};
    for (size_t i = 0; i < std::size(flags); ++i)
        if (key == flagNames[i])
            return FreeSpaceLines::FlagFrom(value, *flags[i]);
    if (!FreeSpaceLines::NumberFrom(value, n))
        return false;
    if (key == "size") f.size = n;
    else if (key == "sectorSize") f.sectorSize = static_cast<uint32_t>(n);
    else if (key == "passes") f.passes = static_cast<int>(n);
    else if (key == "bytesVerified") f.bytesVerified = n;
    else if (key == "mismatchOffset") f.mismatchOffset = n;
    else if (key == "start") f.start = n ? wxDateTime(wxLongLong(static_cast<wxLongLong_t>(n))) : wxDateTime();
    else if (key == "end") f.end = n ? wxDateTime(wxLongLong(static_cast<wxLongLong_t>(n))) : wxDateTime();
    else if (key == "bytesWritten") f.bytesWritten = n;
    else if (key == "passesDone") f.passesDone = static_cast<int>(n);
    else if (key == "reached") f.reached = n;
    return (key != "passes" && key != "passesDone") || n <= 3;
}
