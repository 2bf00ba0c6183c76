// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "WindowsFiles.h"
#include "engine/RandomWiper.h"
#include "engine/RunReport.h"
#include "engine/Wiper.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

namespace {

std::wstring RecentFolder()
{
    PWSTR found = nullptr;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Recent, KF_FLAG_CREATE, nullptr, &found)) && found)
        path = found;
    ::CoTaskMemFree(found);
    return path;
}

// A shortcut made as the shell makes its recent items: a link object saved
// to a .lnk.
bool MakeShortcut(const std::wstring& lnk, const std::wstring& target)
{
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(link->SetPath(target.c_str()))
                 && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))
                 && SUCCEEDED(file->Save(lnk.c_str(), TRUE));
    if (file)
        file->Release();
    link->Release();
    return saved;
}

std::string Bytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0)
        bytes.append(buffer, got);
    ::CloseHandle(file);
    return bytes;
}

// The shortcuts a case made in the user's Recent folder, gone with it
// whatever the case found.
struct OwnShortcuts {
    std::vector<std::wstring> paths;
    ~OwnShortcuts()
    {
        for (const std::wstring& path : paths)
            ::DeleteFileW(path.c_str());
    }
};

std::wstring Upper(std::wstring text)
{
    ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

// A file run takes the Recent folder's shortcuts to the files it wiped, spelt
// in any case, and to files gone from a folder wiped as a whole; a shortcut
// to a file it kept is left byte for byte. The end box counts them, and says
// how to clear the thumbnail cache.
TEST(DesktopTraces, ShortcutsToWipedFilesGoAndOthersStayAsTheyWere)
{
    const std::wstring recent = RecentFolder();
    ASSERT_FALSE(recent.empty());
    WindowsTempDir dir;
    const std::wstring album = dir.Path(L"album");
    ASSERT_TRUE(::CreateDirectoryW(album.c_str(), nullptr));
    const std::wstring first = dir.Path(L"first.txt"), second = album + L"\\second.txt", kept = dir.Path(L"kept.txt");
    for (const std::wstring& file : {first, second, kept})
        ASSERT_TRUE(WriteWide(file, std::string(3000, 'x')));

    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const std::wstring tag = recent + L"\\vorlix-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    const std::wstring toFirst = tag + L"first.lnk", toSecond = tag + L"second.lnk", toKept = tag + L"kept.lnk",
                       toEarlier = tag + L"earlier.lnk";
    const OwnShortcuts own{{toFirst, toSecond, toKept, toEarlier}};
    EXPECT_TRUE(MakeShortcut(toFirst, first));
    EXPECT_TRUE(MakeShortcut(toSecond, Upper(second)));
    EXPECT_TRUE(MakeShortcut(toKept, kept));
    // Opened from the folder before this run, and gone since.
    EXPECT_TRUE(MakeShortcut(toEarlier, album + L"\\earlier.txt"));
    ::CoUninitialize();
    const std::string keptLink = Bytes(toKept);
    ASSERT_FALSE(keptLink.empty());

    WipeQueue queue;
    ASSERT_TRUE(queue.AddPath(WindowsTempDir::Text(first)));
    ASSERT_TRUE(queue.AddPath(WindowsTempDir::Text(second)));
    Wiper::ResetRun();
    RunOptions options;
    options.wholeFolders = {WindowsTempDir::Text(album)};
    RandomWiper wiper;
    wiper.SetOptions(options);
    wiper.Wipe(&queue);
    const RunTotals totals = Wiper::GetTotals();
    const std::vector<TraceOutcome> traces = Wiper::TakeTraces();

    EXPECT_FALSE(ExistsWide(first));
    EXPECT_FALSE(ExistsWide(second));
    EXPECT_FALSE(ExistsWide(toFirst));
    EXPECT_FALSE(ExistsWide(toSecond));
    EXPECT_FALSE(ExistsWide(toEarlier));
    EXPECT_EQ(Bytes(toKept), keptLink);
    EXPECT_EQ(totals.shortcutsRemoved, 3u);
    EXPECT_EQ(totals.tracesNotRemoved, 0u);
    ASSERT_EQ(traces.size(), 3u);
    for (const TraceOutcome& trace : traces)
        EXPECT_EQ(trace.kind, DesktopTraces::Kind::Shortcut);

    const wxString message = RunReport({}, totals, false).Message();
    EXPECT_TRUE(message.Contains("\nAlso removed: 3 shortcuts\nExplorer may still keep small pictures")) << message;
}
