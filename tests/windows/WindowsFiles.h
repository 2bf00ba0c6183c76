// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Real files for the Windows cases, made and read through the system's own
// calls in the \\?\ form, so that paths past 260 characters work too.

#include <windows.h>

#include <string>

#include "support/Printing.h"

inline std::wstring LongForm(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

inline bool WriteWide(const std::wstring& path, const std::string& content)
{
    HANDLE file = ::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr)
                    && written == content.size();
    ::CloseHandle(file);
    return ok;
}

inline bool ExistsWide(const std::wstring& path)
{
    return ::GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A folder of its own under the user's temporary folder, removed with
// everything in it (read-only files included).
class WindowsTempDir {
public:
    WindowsTempDir()
    {
        wchar_t base[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, base);
        path = std::wstring(base) + L"vorlix-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-"
               + std::to_wstring(counter++);
        while (!path.empty() && path.back() == L'\\')
            path.pop_back();
        ::CreateDirectoryW(LongForm(path).c_str(), nullptr);
    }
    ~WindowsTempDir() { Remove(path); }
    WindowsTempDir(const WindowsTempDir&) = delete;
    WindowsTempDir& operator=(const WindowsTempDir&) = delete;

    const std::wstring& Path() const { return path; }
    std::wstring Path(const std::wstring& name) const { return path + L"\\" + name; }
    static wxString Text(const std::wstring& path) { return wxString(path.c_str(), path.size()); }

private:
    static void Remove(const std::wstring& folder)
    {
        WIN32_FIND_DATAW found;
        HANDLE search = ::FindFirstFileW(LongForm(folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring child = folder + L"\\" + name;
                ::SetFileAttributesW(LongForm(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    Remove(child);
                else
                    ::DeleteFileW(LongForm(child).c_str());
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(LongForm(folder).c_str());
    }

    static inline int counter = 0;
    std::wstring path;
};
