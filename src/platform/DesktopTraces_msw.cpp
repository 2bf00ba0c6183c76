// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopTraces.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <unordered_map>

namespace {

// The longest path the system's calls take.
const size_t longestPath = 32767;

// A COM pointer released when it goes.
template <class T>
struct Held {
    T* p = nullptr;
    ~Held()
    {
        if (p)
            p->Release();
    }
};

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR found = nullptr;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &found)) && found)
        path = found;
    ::CoTaskMemFree(found);
    return path;
}

bool EndsWithLnk(const std::wstring& name)
{
    return name.size() > 4 && ::CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".lnk", 4, TRUE) == CSTR_EQUAL;
}

// The .lnk files of folder, from one listing.
std::vector<std::wstring> Shortcuts(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        // Matched here, not by the pattern: "*.lnk" also matches short names.
        const std::wstring name = entry.cFileName;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && EndsWithLnk(name))
            files.push_back(folder + L"\\" + name);
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return files;
}

// The path a shortcut stores, as written in it: never resolved, which could
// search the disks for a file that moved and rewrite the link.
std::wstring TargetOf(IShellLinkW* link, IPersistFile* file, const std::wstring& shortcut)
{
    if (FAILED(file->Load(shortcut.c_str(), STGM_READ)))
        return std::wstring();
    std::vector<wchar_t> buffer(longestPath + 1);
    if (link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, SLGP_RAWPATH) != S_OK)
        return std::wstring();
    std::wstring target = buffer.data();
    if (target.find(L'%') != std::wstring::npos) {
        std::vector<wchar_t> expanded(longestPath + 1);
        const DWORD length = ::ExpandEnvironmentStringsW(target.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (length != 0 && length <= expanded.size())
            target = expanded.data();
    }
    return target;
}

// A path as Windows matches it: no \\?\ prefix, one kind of separator, none
// doubled or trailing, upper case as the file system folds it. "." and ".."
// are left: neither the run's paths nor the shell's links hold them.
std::wstring Key(std::wstring path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        path = L"\\\\" + path.substr(8);
    else if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\??\\") == 0)
        path = path.substr(4);
    std::wstring key;
    for (size_t i = 0; i < path.size(); ++i) {
        const wchar_t c = path[i] == L'/' ? L'\\' : path[i];
        // A share's two leading separators are its own.
        if (c == L'\\' && !key.empty() && key.back() == L'\\' && i > 1)
            continue;
        key += c;
    }
    if (key.size() > 3 && key.back() == L'\\')
        key.pop_back();
    if (key.empty())
        return key;
    std::wstring upper(key.size(), L'\0');
    const int length = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, key.c_str(), static_cast<int>(key.size()),
                                       &upper[0], static_cast<int>(upper.size()), nullptr, nullptr, 0);
    return length == static_cast<int>(upper.size()) ? upper : key;
}

bool Gone(const std::wstring& path)
{
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

wxString Text(const std::wstring& path)
{
    return wxString(path.c_str(), path.size());
}

}  // namespace

struct DesktopTraces::State {
    struct Target {
        std::wstring path;  // as the links store it
        std::vector<std::wstring> shortcuts;
    };
    std::unordered_map<std::wstring, Target> byKey;
    std::vector<Problem> none;

    void Take(Target& target, std::vector<Found>& found)
    {
        for (const std::wstring& shortcut : target.shortcuts)
            found.push_back(Found{Kind::Shortcut, Text(shortcut), false});
    }
};

// Every link is read here, once, and COM is needed only for that: it is
// set up for this thread and let go before the first look-up.
DesktopTraces::DesktopTraces() : state(new State)
{
    std::vector<std::wstring> folders;
    const std::wstring recent = KnownFolder(FOLDERID_Recent);
    if (!recent.empty())
        folders.push_back(recent);
    const std::wstring roaming = KnownFolder(FOLDERID_RoamingAppData);
    if (!roaming.empty())
        folders.push_back(roaming + L"\\Microsoft\\Office\\Recent");
    std::vector<std::wstring> shortcuts;
    for (const std::wstring& folder : folders) {
        for (std::wstring& file : Shortcuts(folder))
            shortcuts.push_back(std::move(file));
    }
    if (shortcuts.empty())
        return;

    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    {
        // One link object loads every file in turn.
        Held<IShellLinkW> link;
        Held<IPersistFile> file;
        if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&link.p)))
            && SUCCEEDED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p)))) {
            for (const std::wstring& shortcut : shortcuts) {
                const std::wstring target = TargetOf(link.p, file.p, shortcut);
                const std::wstring key = Key(target);
                if (key.empty())
                    continue;
                State::Target& entry = state->byKey[key];
                entry.path = target;
                entry.shortcuts.push_back(shortcut);
            }
        }
    }
    // S_FALSE too: the thread had it already, and this call counted once more.
    if (SUCCEEDED(com))
        ::CoUninitialize();
}

DesktopTraces::~DesktopTraces() = default;

bool DesktopTraces::KeepsPictures()
{
    return true;
}

bool DesktopTraces::Nothing() const
{
    return state->byKey.empty();
}

void DesktopTraces::Of(const wxString& path, std::vector<Found>& found, std::vector<Problem>&)
{
    const auto entry = state->byKey.find(Key(std::wstring(path.wc_str(), path.length())));
    if (entry == state->byKey.end())
        return;
    state->Take(entry->second, found);
    // Taken once, whichever spelling of the file asks.
    state->byKey.erase(entry);
}

void DesktopTraces::Under(const wxString& folder, std::vector<Found>& found)
{
    const std::wstring key = Key(std::wstring(folder.wc_str(), folder.length()));
    if (key.empty())
        return;
    const std::wstring prefix = key.back() == L'\\' ? key : key + L"\\";
    for (auto it = state->byKey.begin(); it != state->byKey.end();) {
        const bool inside = it->first.size() > prefix.size() && it->first.compare(0, prefix.size(), prefix) == 0;
        if (inside && Gone(it->second.path)) {
            state->Take(it->second, found);
            it = state->byKey.erase(it);
        } else {
            ++it;
        }
    }
}

const std::vector<DesktopTraces::Problem>& DesktopTraces::ReadProblems() const
{
    return state->none;
}

// Windows keeps no list of its own to rewrite: each recent item is a file.
DesktopTraces::Rewrite DesktopTraces::RewriteRecent()
{
    return Rewrite();
}
