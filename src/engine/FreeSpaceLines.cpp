// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FreeSpaceLines.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace {

// Every field of a Result, in the order they are written.
const char* const fields[] = {
    "bytesWritten", "unreachedBytes", "filesMade", "keptBackWritten", "heldMilliseconds", "leftoversRemoved", "stopped", "removedAll",
    "failure", "medium", "discard", "discardedBytes", "periodicTrim", "journal",
    "fs.root", "fs.type", "fs.id", "fs.freeBytes", "fs.writableBytes", "fs.blockSize",
    "fs.caveat", "fs.system", "fs.freezable", "fs.inMemory",
};
constexpr size_t fieldCount = std::size(fields);

// The enumerations by name: a number would read back as another value once
// the order changes.
const char* const media[] = {"unknown", "spinning", "flash", "memory"};
const char* const discards[] = {"not-asked", "discarded", "deferred", "automatic", "unsupported", "not-free", "failed"};
const char* const journals[] = {"none", "cleared", "not-cleared"};

template <size_t N>
bool FromName(const std::string& value, const char* const (&names)[N], size_t& index)
{
    for (index = 0; index < N; ++index)
        if (value == names[index])
            return true;
    return false;
}

std::string Escape(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    std::string out;
    for (size_t i = 0; i < utf8.length(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8.data()[i]);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

bool Unescape(const std::string& value, wxString& text)
{
    std::string bytes;
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c < 0x20 || c == 0x7f)
            return false;  // the writer escapes every one
        if (c != '\\') {
            bytes += static_cast<char>(c);
            continue;
        }
        if (++i == value.size())
            return false;
        if (value[i] == '\\' || value[i] == 'n') {
            bytes += value[i] == 'n' ? '\n' : '\\';
        } else if (value[i] == 'x' && i + 2 < value.size() && std::isxdigit(static_cast<unsigned char>(value[i + 1]))
                   && std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
            bytes += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            return false;
        }
    }
    text = wxString::FromUTF8(bytes.data(), bytes.size());
    return !text.empty() || bytes.empty();  // empty from bytes that are not UTF-8
}

bool Number(const std::string& value, uint64_t& number)
{
    if (value.empty() || value.size() > 20)
        return false;
    number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (number > (UINT64_MAX - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    return value.size() == 1 || value[0] != '0';
}

bool Flag(const std::string& value, bool& flag)
{
    if (value != "0" && value != "1")
        return false;
    flag = value == "1";
    return true;
}

}  // namespace

std::string FreeSpaceLines::EscapedText(const wxString& text)
{
    return Escape(text);
}

bool FreeSpaceLines::TextFrom(const std::string& value, wxString& text)
{
    return Unescape(value, text);
}

bool FreeSpaceLines::NumberFrom(const std::string& value, uint64_t& number)
{
    return Number(value, number);
}

bool FreeSpaceLines::FlagFrom(const std::string& value, bool& flag)
{
    return Flag(value, flag);
}

std::string FreeSpaceLines::Progress(uint64_t done, uint64_t total)
{
    return "progress " + std::to_string(done) + " " + std::to_string(total) + "\n";
}

std::string FreeSpaceLines::Result(const FreeSpaceWiper::Result& r)
{
    const FreeSpace::Filesystem& fs = r.filesystem;
    const std::string values[] = {
        std::to_string(r.bytesWritten), std::to_string(r.unreachedBytes), std::to_string(r.filesMade),
        std::to_string(r.keptBackWritten), std::to_string(r.heldMilliseconds), std::to_string(r.leftoversRemoved), r.stopped ? "1" : "0", r.removedAll ? "1" : "0", Escape(r.failure),
        media[static_cast<size_t>(r.medium)], discards[static_cast<size_t>(r.discard)],
        std::to_string(r.discardedBytes), r.periodicTrim ? "1" : "0", journals[static_cast<size_t>(r.journal)],
        Escape(fs.root), Escape(fs.type), std::to_string(fs.id), std::to_string(fs.freeBytes),
        std::to_string(fs.writableBytes), std::to_string(fs.blockSize), Escape(fs.caveat), fs.system ? "1" : "0",
        fs.freezable ? "1" : "0", fs.inMemory ? "1" : "0",
    };
    static_assert(std::size(values) == fieldCount, "one value per field");
    std::string out = "result\n";
    for (size_t i = 0; i < fieldCount; ++i)
        out += std::string(fields[i]) + " " + values[i] + "\n";
    return out + "end\n";
}

bool FreeSpaceLines::Refuse()
{
    broken = true;
    return false;
}

bool FreeSpaceLines::Read(const std::string& line)
{
    if (broken || complete)
        return Refuse();
    heard = true;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (!inResult) {
        if (line == "result") {
            inResult = true;
            return true;
        }
        const size_t second = value.find(' ');
        if (key != "progress" || second == std::string::npos || !Number(value.substr(0, second), done)
            || !Number(value.substr(second + 1), total))
            return Refuse();
        return true;
    }
    if (line == "end") {
        if (seen != (uint32_t(1) << fieldCount) - 1)
            return Refuse();
        complete = true;
        return true;
    }
    if (space == std::string::npos)
        return Refuse();
    for (size_t i = 0; i < fieldCount; ++i) {
        if (key != fields[i])
            continue;
        if (seen & (uint32_t(1) << i))
            return Refuse();
        seen |= uint32_t(1) << i;
        return ReadField(key, value) || Refuse();
    }
    return Refuse();
}

bool FreeSpaceLines::ReadField(const std::string& key, const std::string& value)
{
    FreeSpaceWiper::Result& r = result;
    FreeSpace::Filesystem& fs = r.filesystem;
    uint64_t number = 0;
    size_t index = 0;
    if (key == "bytesWritten")
        return Number(value, r.bytesWritten);
    if (key == "unreachedBytes")
        return Number(value, r.unreachedBytes);
    if (key == "filesMade")
        return Number(value, r.filesMade);
    if (key == "keptBackWritten")
        return Number(value, r.keptBackWritten);
    if (key == "heldMilliseconds")
        return Number(value, number) && number <= UINT32_MAX
               && (r.heldMilliseconds = static_cast<uint32_t>(number), true);
    if (key == "leftoversRemoved")
        return Number(value, number) && number <= UINT32_MAX
               && (r.leftoversRemoved = static_cast<unsigned>(number), true);
    if (key == "stopped")
        return Flag(value, r.stopped);
    if (key == "removedAll")
        return Flag(value, r.removedAll);
    if (key == "failure")
        return Unescape(value, r.failure);
    if (key == "medium")
        return FromName(value, media, index) && (r.medium = static_cast<StorageMedium::Kind>(index), true);
    if (key == "discard")
        return FromName(value, discards, index) && (r.discard = static_cast<Discard::Outcome>(index), true);
    if (key == "discardedBytes")
        return Number(value, r.discardedBytes);
    if (key == "periodicTrim")
        return Flag(value, r.periodicTrim);
    if (key == "journal")
        return FromName(value, journals, index) && (r.journal = static_cast<JournalPush::State>(index), true);
    if (key == "fs.root")
        return Unescape(value, fs.root);
    if (key == "fs.type")
        return Unescape(value, fs.type);
    if (key == "fs.id")
        return Number(value, fs.id);
    if (key == "fs.freeBytes")
        return Number(value, fs.freeBytes);
    if (key == "fs.writableBytes")
        return Number(value, fs.writableBytes);
    if (key == "fs.blockSize")
        return Number(value, number) && number <= UINT32_MAX && (fs.blockSize = static_cast<uint32_t>(number), true);
    if (key == "fs.caveat")
        return Unescape(value, fs.caveat);
    if (key == "fs.system")
        return Flag(value, fs.system);
    if (key == "fs.freezable")
        return Flag(value, fs.freezable);
    return Flag(value, fs.inMemory);  // the last field; Read checked the name
}
