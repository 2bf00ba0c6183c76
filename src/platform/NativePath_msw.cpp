// SPDX-License-Identifier: GPL-3.0-or-later
#include "NativePath.h"

#include <windows.h>

#include <cwctype>
#include <vector>

namespace {

// The longest path the system's file calls take in the \\?\ form.
const size_t longestPath = 32767;

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// A name the system keeps for a device (NUL, CON, COM1, "nul.txt" too): through
// the usual Win32 calls it opens the device, not a file, so no other program
// could have made or read a file of that name. Refused rather than guessed at.
bool IsDeviceName(const std::wstring& name)
{
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (base == reserved)
            return true;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
        const wchar_t digit = base[3];
        // COM0 and LPT0 too, and the superscript digits the system also accepts.
        return (digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

// Characters no file name holds: ':' would name a stream or a device, the rest
// are wildcards or invalid.
bool IsNameCharacter(wchar_t c)
{
    return c >= 32 && std::wstring(L"<>:\"|?*").find(c) == std::wstring::npos;
}

// The current folder's path (for a drive, that drive's current folder).
std::wstring FullPathOf(const wchar_t* relative)
{
    wchar_t buffer[longestPath + 1];
    const DWORD length = ::GetFullPathNameW(relative, longestPath + 1, buffer, nullptr);
    return length == 0 || length > longestPath ? std::wstring() : std::wstring(buffer, length);
}

}  // namespace

wxString NativePath::Decode(const String& native)
{
    return wxString(native.c_str(), native.size());
}

// Only the two forms of a path that name a file are taken: a drive letter
// (C:\...) and a share (\\server\share\...); relative paths are made absolute
// against the current folder first. The result is the \\?\ form, which the
// system passes on unchanged: no length limit, no trailing dots or spaces
// dropped, no device names. Its "." and ".." are resolved here, since the
// system no longer does it. Names in the device namespace (\\.\, \\?\, \??\)
// are refused, also \\?\C:\..., which the program never hands out.
bool NativePath::Encode(const wxString& path, String& native)
{
    std::wstring text(path.wc_str(), path.length());
    if (text.empty() || text.find(L'\0') != std::wstring::npos)
        return false;

    std::wstring root;  // \\?\C:\ or \\?\UNC\server\share\ .
    std::wstring rest;  // what follows it
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        // \\server\share\rest; \\.\ and \\?\ name devices and raw paths.
        const size_t serverEnd = text.find_first_of(L"\\/", 2);
        if (serverEnd == std::wstring::npos)
            return false;
        const std::wstring server = text.substr(2, serverEnd - 2);
        size_t shareEnd = text.find_first_of(L"\\/", serverEnd + 1);
        if (shareEnd == std::wstring::npos)
            shareEnd = text.size();
        const std::wstring share = text.substr(serverEnd + 1, shareEnd - serverEnd - 1);
        if (server.empty() || share.empty() || server == L"." || server == L"?" || share == L"." || share == L"..")
            return false;
        for (const std::wstring& part : {server, share})
            for (wchar_t c : part)
                if (!IsNameCharacter(c))
                    return false;
        root = L"\\\\?\\UNC\\" + server + L"\\" + share + L"\\";
        rest = text.substr(shareEnd);
    } else if (text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == L':') {
        if (text.size() >= 3 && IsSeparator(text[2])) {
            root = std::wstring(L"\\\\?\\") + static_cast<wchar_t>(std::towupper(text[0])) + L":\\";
            rest = text.substr(2);
        } else {
            // C:name is relative to that drive's current folder.
            return Encode(FullPathOf(text.substr(0, 2).c_str()) + L"\\" + text.substr(2), native);
        }
    } else if (text.compare(0, 4, L"\\??\\") == 0) {
        return false;
    } else if (IsSeparator(text[0])) {
        // \rest is relative to the current drive's root.
        const std::wstring current = FullPathOf(L"\\");
        return !current.empty() && !IsSeparator(current[0]) && Encode(current + text.substr(1), native);
    } else {
        const std::wstring current = FullPathOf(L".");
        return !current.empty() && !IsSeparator(text[0]) && Encode(current + L"\\" + text, native);
    }

    std::vector<std::wstring> names;
    for (size_t start = 0; start <= rest.size();) {
        size_t end = rest.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = rest.size();
        const std::wstring name = rest.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == L".")
            continue;
        if (name == L"..") {
            if (!names.empty())
                names.pop_back();
            continue;
        }
        for (wchar_t c : name)
            if (!IsNameCharacter(c))
                return false;
        if (IsDeviceName(name))
            return false;
        names.push_back(name);
    }
    std::wstring result = root;
    for (size_t i = 0; i < names.size(); ++i)
        result += (i == 0 ? L"" : L"\\") + names[i];
    if (result.size() > longestPath)
        return false;
    native = std::move(result);
    return true;
}

// The toolkit's Windows paths are the system's own UTF-16 text.
wxString NativePath::FromToolkit(const wxString& path)
{
    return path;
}

wxString NativePath::Display(const wxString& path)
{
    return path;
}
