#include "platform/CrashRecord.h"

#include <mutex>
#include <type_traits>
#include <sstream>
#include <vector>


namespace {

std::mutex recordMutex;           // guards lines
std::vector<std::string> lines;  // what this process is in the middle of

// A path's text as the hex digits of its units (wchar_t: UTF-32 on Linux,
// UTF-16 on Windows), so that a line holds any name and gives back exactly
// the same text, stand-ins for bytes that are not UTF-8 included.
std::string Hex(const wxString& path)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const wchar_t unit : std::wstring(path.wc_str(), path.length())) {
        const auto value = static_cast<std::make_unsigned_t<wchar_t>>(unit);
        for (int shift = int(sizeof unit) * 8 - 4; shift >= 0; shift -= 4)
            text += digits[(value >> shift) & 0xF];
    }
    return text;
}

wxString FromHex(const std::string& text)
{
    constexpr size_t width = sizeof(wchar_t) * 2;
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

void CrashRecord::NoteHidden(const wxString& folder, const wxString& hiddenName, uint64_t device, uint64_t inode)
{
    Note("hidden " + std::to_string(device) + " " + std::to_string(inode) + " " + Hex(folder) + " "
         + Hex(hiddenName));
}

void CrashRecord::DropHidden(const wxString& folder, const wxString& hiddenName)
{
    DropEndingWith("hidden ", " " + Hex(folder) + " " + Hex(hiddenName));
}

void CrashRecord::DropEndingWith(const std::string& kind, const std::string& tail)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    const size_t before = lines.size();
    for (auto it = lines.begin(); it != lines.end();) {
        if (it->rfind(kind, 0) == 0 && it->size() > tail.size()
            && it->compare(it->size() - tail.size(), std::string::npos, tail) == 0)
            it = lines.erase(it);
        else
            ++it;
    }
    if (lines.size() == before)
        return;
    std::string content;
    for (const std::string& line : lines)
        content += line + "\n";
    WriteOwn(content);
}

void CrashRecord::Note(const std::string& line)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    lines.push_back(line);
    std::string content;
    for (const std::string& each : lines)
        content += each + "\n";
    // Without a state file the step still goes ahead: a crash then leaves
    // what it always did, which is no reason to refuse the wipe.
    WriteOwn(content);
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
