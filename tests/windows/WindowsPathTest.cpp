// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "WindowsFiles.h"
#include "engine/WipeQueue.h"
#include "engine/RandomWiper.h"
#include "engine/Wiper.h"
#include "platform/FolderWalk.h"
#include "platform/NativePath.h"

namespace {

std::wstring Encoded(const wxString& path)
{
    std::wstring native;
    return NativePath::Encode(path, native) ? native : L"(refused)";
}

}  // namespace

// Drive-letter and share paths become the \\?\ form, which the system takes
// as it is: "." and ".." resolved here, a trailing dot or space kept (the
// usual calls would drop it and name another file).
TEST(WindowsPath, DriveAndSharePathsBecomeTheirFullLongForm)
{
    const std::vector<std::pair<wxString, std::wstring>> cases = {
        {"C:\\Users\\a\\file.txt", L"\\\\?\\C:\\Users\\a\\file.txt"},
        {"c:/Users//a/./b/../file.txt", L"\\\\?\\C:\\Users\\a\\file.txt"},
        {"C:\\", L"\\\\?\\C:\\"},
        {"C:\\a\\..\\..\\x", L"\\\\?\\C:\\x"},
        {"C:\\dir\\name. ", L"\\\\?\\C:\\dir\\name. "},
        {"\\\\server\\share\\dir\\f", L"\\\\?\\UNC\\server\\share\\dir\\f"},
        {"//server/share/f", L"\\\\?\\UNC\\server\\share\\f"},
        {"C:\\dir\\NULL.txt", L"\\\\?\\C:\\dir\\NULL.txt"},
        {"C:\\dir\\COM10", L"\\\\?\\C:\\dir\\COM10"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(Encoded(test.first), test.second) << test.first;

    WindowsTempDir dir;
    wchar_t previous[MAX_PATH + 1];
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH + 1, previous), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    EXPECT_EQ(Encoded("sub\\f"), L"\\\\?\\" + dir.Path() + L"\\sub\\f");
    // The current folder cannot be removed.
    ::SetCurrentDirectoryW(previous);
}

// Only drive-letter and share forms name files: the device namespace, raw
// \\?\ input, the names the system keeps for devices, streams and wildcards
// are all refused, and the queue takes none of them.
TEST(WindowsPath, DeviceNamesAndRawFormsAreRefused)
{
    const std::vector<wxString> refused = {
        "\\\\?\\PhysicalDrive0", "\\\\.\\PhysicalDrive0", "\\\\?\\C:", "\\\\?\\C:\\Windows\\win.ini",
        "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\x", "\\\\?\\UNC\\server\\share\\x", "\\\\.\\pipe\\x",
        "\\??\\C:\\x", "//?/C:/x", "//./C:/x", "C:\\dir\\NUL", "C:\\dir\\nul.txt", "C:\\COM1", "C:\\dir\\CON \\x",
        "C:\\dir\\conout$", wxString(L"C:\\LPT\u00B9"), "C:\\dir\\file.txt:secret", "C:\\dir\\file.txt::$DATA", "C:\\a*",
        "C:\\a?", "C:\\a\x01", "\\\\server", "\\\\server\\", "\\\\\\share\\x",
        wxString("C:\\") + wxString('a', 32800),
    };
    for (const wxString& path : refused) {
        EXPECT_EQ(Encoded(path), L"(refused)") << path;
        WipeQueue queue;
        EXPECT_FALSE(queue.AddPath(path)) << path;
        EXPECT_TRUE(queue.IsEmpty());
    }
}

// A file more than 260 characters deep is found by the folder walk, queued,
// overwritten and deleted, and its neighbour is left alone.
TEST(WindowsPath, FilesBeyondTwoHundredSixtyCharactersAreWiped)
{
    WindowsTempDir dir;
    std::wstring folder = dir.Path();
    while (folder.size() < 400) {
        folder += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(::CreateDirectoryW(LongForm(folder).c_str(), nullptr));
    }
    const std::wstring file = folder + L"\\secret.txt";
    const std::wstring neighbour = folder + L"\\keep.txt";
    ASSERT_TRUE(WriteWide(file, std::string(5000, 'S')));
    ASSERT_TRUE(WriteWide(neighbour, "keep"));

    std::vector<wxString> found;
    FolderWalk::Run(WindowsTempDir::Text(dir.Path()), [&](const wxString& path) { found.push_back(path); },
                    [](const wxString& folder) { ADD_FAILURE() << "unreadable: " << folder; });
    ASSERT_EQ(found.size(), 2u);

    WipeQueue queue;
    ASSERT_TRUE(queue.AddPath(WindowsTempDir::Text(file)));
    ASSERT_EQ(queue.Snapshot()[0].size.GetValue(), 5000u);
    Wiper::ResetRun();
    RandomWiper().Wipe(&queue);
    EXPECT_TRUE(Wiper::GetFailures().empty());
    EXPECT_FALSE(ExistsWide(file));
    EXPECT_TRUE(ExistsWide(neighbour));
}
