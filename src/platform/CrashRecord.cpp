// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CrashRecord.h"

#include <cstdio>
#include <mutex>
#include <type_traits>
#include <sstream>
#include <string_view>
#include <vector>


namespace {

std::mutex recordMutex;           // guards everything below
std::vector<std::string> lines;  // what this process is in the middle of
// Lines dropped, kept for their memory: a run notes and drops a line for
// every file it deletes, and none of that may cost an allocation.
std::vector<std::string> spare;
std::string content;      // the state file's text, as last made
bool unwritten = false;   // lines were dropped since it was written
// The last folder named in a line, and its hex: a run's files come folder by folder.
wxString lastFolder;
std::string lastFolderHex;
std::string tail;  // the end of a line to drop, its memory kept

// A path's text as the hex digits of its units (wchar_t: UTF-32 on Linux,
// UTF-16 on Windows), so that a line holds any name and gives back exactly
// the same text, stand-ins for bytes that are not UTF-8 included.
constexpr size_t unitWidth = sizeof(wchar_t) * 2;

// A unit of a wide name, or a byte of an ASCII one, as the wide unit it stands for.
wchar_t Unit(wchar_t unit) { return unit; }
wchar_t Unit(char ascii) { return wchar_t(static_cast<unsigned char>(ascii)); }

void AppendHex(std::string& text, wchar_t unit)
{
    static const char digits[] = "0123456789abcdef";
    const auto value = static_cast<std::make_unsigned_t<wchar_t>>(unit);
    for (int shift = int(unitWidth) * 4 - 4; shift >= 0; shift -= 4)
        text += digits[(value >> shift) & 0xF];
}

std::string Hex(const wxString& path)
{
    std::string text;
    for (const wchar_t unit : std::wstring_view(path.wc_str(), path.length()))
        AppendHex(text, unit);
    return text;
}

// The folder's hex, worked out once for all the files in it. Under recordMutex.
const std::string& FolderHex(const wxString& folder)
{
    if (folder != lastFolder || lastFolderHex.empty()) {
        lastFolder = folder;
        lastFolderHex = Hex(folder);
    }
    return lastFolderHex;
}

// A line in the memory of one dropped before. Under recordMutex.
std::string& NewLine()
{
    if (spare.empty())
        lines.emplace_back();
    else {
        lines.push_back(std::move(spare.back()));
        spare.pop_back();
    }
    lines.back().clear();
    return lines.back();
}

// Removes the lines of kind that end in tail, their memory kept; true when
// there were any. Under recordMutex.
bool RemoveEndingWith(const std::string& kind, const std::string& tail)
{
    const size_t before = lines.size();
    for (auto it = lines.begin(); it != lines.end();) {
        if (it->rfind(kind, 0) == 0 && it->size() > tail.size()
            && it->compare(it->size() - tail.size(), std::string::npos, tail) == 0) {
            spare.push_back(std::move(*it));
            it = lines.erase(it);
        } else {
            ++it;
        }
    }
    return lines.size() != before;
}

// " FOLDER NAME" in hex, as a hidden file's line ends. Under recordMutex.
template <class Name>
void AppendNames(std::string& into, const wxString& folder, const Name& name)
{
    into += ' ';
    into += FolderHex(folder);
    into += ' ';
    for (const auto unit : name)
        AppendHex(into, Unit(unit));
}

wxString FromHex(const std::string& text)
{
    constexpr size_t width = unitWidth;
    if (text.empty() || text.size() % width != 0)
        return wxString();
    std::wstring units;
    for (size_t at = 0; at < text.size(); at += width) {
        unsigned long value = 0;
        for (size_t k = 0; k < width; ++k) {
            const char c = text[at + k];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0)
                return wxString();
            value = value << 4 | unsigned(digit);
        }
        units += static_cast<wchar_t>(value);
    }
    return wxString(units.c_str(), units.size());
}

// Only folders named as Vorlix names them are ever removed, whatever a
// damaged record says.
bool IsOwnName(const wxString& path)
{
    const size_t slash = path.find_last_of("/\\");
    return path.Mid(slash == wxString::npos ? 0 : slash + 1).StartsWith(".vorlix-");
}

}  // namespace

void CrashRecord::NoteFillFolder(const wxString& folder, uint64_t device)
{
    Note("fill " + std::to_string(device) + " " + Hex(folder));
}

void CrashRecord::DropFillFolder(const wxString& folder)
{
    DropEndingWith("fill ", " " + Hex(folder));
}

void CrashRecord::NoteFrozen(const wxString& root, uint64_t device)
{
    Note("frozen " + std::to_string(device) + " " + Hex(root));
}

void CrashRecord::DropFrozen(const wxString& root)
{
    DropEndingWith("frozen ", " " + Hex(root));
}

template <class Name>
void CrashRecord::NoteHiddenName(const wxString& folder, const Name& hiddenName, uint64_t device, uint64_t inode)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    std::string& line = NewLine();
    char numbers[48];
    std::snprintf(numbers, sizeof numbers, "hidden %llu %llu", static_cast<unsigned long long>(device),
                  static_cast<unsigned long long>(inode));
    line += numbers;
    AppendNames(line, folder, hiddenName);
    Write();
}

void CrashRecord::NoteHidden(const wxString& folder, const wxString& hiddenName, uint64_t device, uint64_t inode)
{
    NoteHiddenName(folder, std::wstring_view(hiddenName.wc_str(), hiddenName.length()), device, inode);
}

void CrashRecord::NoteHidden(const wxString& folder, const char* asciiName, uint64_t device, uint64_t inode)
{
    NoteHiddenName(folder, std::string_view(asciiName), device, inode);
}

template <class Name>
void CrashRecord::DropHiddenName(const wxString& folder, const Name& hiddenName)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    tail.clear();
    AppendNames(tail, folder, hiddenName);
    // Not written now: a line left over names a file that no longer has
    // that name, which the next start checks and leaves alone. The next
    // note, or the end of the run, writes the truth.
    if (RemoveEndingWith("hidden ", tail))
        unwritten = true;
}

void CrashRecord::DropHidden(const wxString& folder, const wxString& hiddenName)
{
    DropHiddenName(folder, std::wstring_view(hiddenName.wc_str(), hiddenName.length()));
}

void CrashRecord::DropHidden(const wxString& folder, const char* asciiName)
{
    DropHiddenName(folder, std::string_view(asciiName));
}

void CrashRecord::Settle()
{
    std::lock_guard<std::mutex> lock(recordMutex);
    if (unwritten)
        Write();
}

void CrashRecord::Write()
{
    content.clear();
    for (const std::string& each : lines) {
        content += each;
        content += '\n';
    }
    unwritten = false;
    // Without a state file the step still goes ahead: a crash then leaves
    // what it always did, which is no reason to refuse the wipe.
    WriteOwn(content);
}

void CrashRecord::DropEndingWith(const std::string& kind, const std::string& tail)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    if (RemoveEndingWith(kind, tail) || unwritten)
        Write();
}

void CrashRecord::Note(const std::string& line)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    NewLine() = line;
    Write();
}

unsigned CrashRecord::FinishLeftovers()
{
    return ForEachEnded([](const std::string& content) {
        bool all = true;
        // A frozen filesystem first: removing fill files there would wait.
        for (const bool thaw : {true, false}) {
            std::istringstream in(content);
            for (std::string line; std::getline(in, line);)
                if ((line.rfind("frozen ", 0) == 0) == thaw)
                    all = Finish(line) && all;
        }
        return all;
    });
}

bool CrashRecord::Finish(const std::string& line)
{
    std::istringstream in(line);
    std::string kind, first, second;
    uint64_t device = 0, inode = 0;
    if (!(in >> kind >> device))
        return true;  // nothing a damaged line could name is touched
    if (kind == "fill" && in >> first) {
        const wxString folder = FromHex(first);
        return folder.empty() || !IsOwnName(folder) || RemoveFillFolder(folder, device);
    }
    if (kind == "frozen" && in >> first) {
        const wxString root = FromHex(first);
        return root.empty() || ThawFrozen(root, device);
    }
    if (kind == "hidden" && in >> inode >> first >> second) {
        const wxString folder = FromHex(first), name = FromHex(second);
        // Windows' random names are not marked as Vorlix's: the file itself,
        // by device and inode, is what DeleteHidden checks.
        return folder.empty() || name.empty() || DeleteHidden(folder, name, device, inode);
    }
    return true;
}
