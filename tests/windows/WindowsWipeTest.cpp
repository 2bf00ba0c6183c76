// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "WindowsFiles.h"
#include "engine/WipeQueue.h"
#include "engine/RandomWiper.h"
#include "engine/Wiper.h"
#include "platform/Discard.h"
#include "platform/CrashRecord.h"
#include "platform/InPlaceFile.h"
#include "platform/StorageMedium.h"

#include <fcntl.h>
#include <io.h>

namespace {

// Wipes the one queued path and returns why it was not wiped (None if it was).
WipeFailure WipeOne(const std::wstring& path, bool clearReadOnly = false)
{
    WipeQueue queue;
    if (!queue.AddPath(WindowsTempDir::Text(path)))
        return WipeFailure::NotFound;
    Wiper::ResetRun();
    RunOptions options;
    options.clearReadOnly = clearReadOnly;
    RandomWiper wiper;
    wiper.SetOptions(options);
    wiper.Wipe(&queue);
    const std::vector<FailedEntry> failures = Wiper::GetFailures();
    return failures.empty() ? WipeFailure::None : failures[0].reason;
}

// True where the system keeps a read-only file from being written; Wine run
// as root does not.
bool ReadOnlyIsEnforced(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    ::CloseHandle(file);
    return false;
}

}  // namespace

// Each refusal carries Windows' own reason, and the file stays as it was.
TEST(WindowsWipe, InUseAndHardLinkedFilesAreRefusedWithTheirReason)
{
    WindowsTempDir dir;
    const std::wstring held = dir.Path(L"held.txt");
    ASSERT_TRUE(WriteWide(held, "held"));
    HANDLE other = ::CreateFileW(LongForm(held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WipeOne(held), WipeFailure::InUse);
    ::CloseHandle(other);
    EXPECT_TRUE(ExistsWide(held));

    const std::wstring linked = dir.Path(L"linked.txt");
    ASSERT_TRUE(WriteWide(linked, "linked"));
    if (::CreateHardLinkW(LongForm(dir.Path(L"other-name.txt")).c_str(), LongForm(linked).c_str(), nullptr)) {
        EXPECT_EQ(WipeOne(linked), WipeFailure::HardLinks);
        EXPECT_TRUE(ExistsWide(linked));
    }
    EXPECT_EQ(WipeOne(dir.Path(L"missing.txt")), WipeFailure::NotFound);
}

// A read-only file is wiped only after the user agreed to clear the attribute.
TEST(WindowsWipe, ReadOnlyFileIsWipedOnlyWhenClearingIsAllowed)
{
    WindowsTempDir dir;
    const std::wstring file = dir.Path(L"read-only.txt");
    ASSERT_TRUE(WriteWide(file, "read-only"));
    ASSERT_TRUE(::SetFileAttributesW(LongForm(file).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(InPlaceFile::IsReadOnly(WindowsTempDir::Text(file)));
    if (!ReadOnlyIsEnforced(file))
        GTEST_SKIP() << "read-only is not enforced here (Wine as root)";

    EXPECT_EQ(WipeOne(file), WipeFailure::AccessDenied);
    EXPECT_TRUE(ExistsWide(file));
    EXPECT_TRUE(InPlaceFile::IsReadOnly(WindowsTempDir::Text(file)));

    EXPECT_EQ(WipeOne(file, true), WipeFailure::None);
    EXPECT_FALSE(ExistsWide(file));
}

namespace {

// True where the system keeps named streams inside the file and lists them;
// Wine keeps "name:stream" as a file of its own and lists none.
bool ListsStream(const std::wstring& file)
{
    WIN32_FIND_STREAM_DATA found;
    HANDLE search = ::FindFirstStreamW(LongForm(file).c_str(), FindStreamInfoStandard, &found, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool named = false;
    do
        named = named || std::wstring(found.cStreamName) != L"::$DATA";
    while (::FindNextStreamW(search, &found));
    ::FindClose(search);
    return named;
}

}  // namespace

// A named stream (a Zone.Identifier, "file.txt:secret") is overwritten with
// the file and goes with it; one that cannot be opened keeps the file, with
// the stream's name in the reason.
TEST(WindowsWipe, NamedStreamsAreOverwrittenWithTheFileOrKeepIt)
{
    WindowsTempDir dir;
    const std::wstring file = dir.Path(L"download.txt");
    ASSERT_TRUE(WriteWide(file, "the file"));
    ASSERT_TRUE(WriteWide(file + L":Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n"));
    ASSERT_TRUE(WriteWide(file + L":secret", std::string(100000, 'S')));
    if (!ListsStream(file))
        GTEST_SKIP() << "named streams are not kept in the file here (Wine)";

    HANDLE reader = ::CreateFileW(LongForm(file + L":secret").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    WipeQueue queue;
    ASSERT_TRUE(queue.AddPath(WindowsTempDir::Text(file)));
    Wiper::ResetRun();
    RandomWiper().Wipe(&queue);
    ::CloseHandle(reader);
    std::vector<FailedEntry> failures = Wiper::GetFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].reason, WipeFailure::StreamFailed);
    EXPECT_TRUE(failures[0].detail.StartsWith(":secret")) << failures[0].detail;
    EXPECT_TRUE(ExistsWide(file));

    ASSERT_TRUE(queue.AddPath(WindowsTempDir::Text(file)));
    Wiper::ResetRun();
    RandomWiper().Wipe(&queue);
    EXPECT_TRUE(Wiper::GetFailures().empty());
    EXPECT_FALSE(ExistsWide(file));
}

// The drive's kind is what the storage driver says; where it says nothing
// (Wine) it is unknown, never flash by guess. The file is wiped either way,
// and a discard is asked for only on flash; asked directly, the volume either
// trims the file or says it cannot.
TEST(WindowsWipe, TheDriveIsAskedWhatItIsAndTrimsOnlyOnFlash)
{
    WindowsTempDir dir;
    const std::wstring file = dir.Path(L"medium.txt");
    ASSERT_TRUE(WriteWide(file, std::string(100000, 'm')));
    const StorageMedium::Kind kind = StorageMedium().Of(WindowsTempDir::Text(file));
    EXPECT_EQ(WipeOne(file), WipeFailure::None);
    EXPECT_FALSE(ExistsWide(file));
    const std::vector<FileOutcome> wiped = Wiper::GetWiped();
    ASSERT_EQ(wiped.size(), 1u);
    EXPECT_EQ(wiped[0].medium, kind);
    EXPECT_EQ(wiped[0].discard == Discard::Outcome::NotAsked, kind != StorageMedium::Kind::Flash);

    const std::wstring trimmed = dir.Path(L"trimmed.txt");
    ASSERT_TRUE(WriteWide(trimmed, std::string(100000, 't')));
    HANDLE handle = ::CreateFileW(LongForm(trimmed).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
    Discard discard;
    discard.Before(fd);
    ::_close(fd);
    EXPECT_TRUE(discard.Result() == Discard::Outcome::Discarded || discard.Result() == Discard::Outcome::Unsupported)
        << int(discard.Result());
    if (kind == StorageMedium::Kind::Unknown || discard.Result() == Discard::Outcome::Unsupported)
        GTEST_SKIP() << "not told here, as under Wine: the drive's kind (" << StorageMedium::Name(kind)
                     << "), the file-level trim ("
                     << (discard.Result() == Discard::Outcome::Unsupported ? "unsupported" : "done") << ")";
}

// Before it is deleted, a file goes through random names of its own name's
// length, so that the name the file record keeps is none of the user's.
TEST(WindowsWipe, AFileIsRenamedToRandomNamesOfTheSameLengthBeforeItGoes)
{
    WindowsTempDir dir;
    const std::wstring path = dir.Path(L"secret-plan.txt");
    ASSERT_TRUE(WriteWide(path, "secret"));
    std::vector<std::wstring> names;
    InPlaceFile::afterRename = [&] {
        WIN32_FIND_DATAW entry;
        const HANDLE find = ::FindFirstFileW(LongForm(dir.Path(L"*")).c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            if (entry.cFileName[0] != L'.')
                names.push_back(entry.cFileName);
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    };
    EXPECT_EQ(WipeOne(path), WipeFailure::None);
    InPlaceFile::afterRename = nullptr;
    EXPECT_FALSE(ExistsWide(path));
    ASSERT_FALSE(names.empty());
    for (const std::wstring& name : names) {
        EXPECT_EQ(name.size(), std::wstring(L"secret-plan.txt").size());
        EXPECT_NE(name, L"secret-plan.txt");
    }
}

// A wipe killed between the first rename and the deletion leaves the file
// (overwritten) under a random name; the next start deletes it, and nothing
// else, from the note the killed process left in %LOCALAPPDATA%\Vorlix.
TEST(WindowsWipe, AFileLeftByAKilledWipeIsDeletedByTheNextStart)
{
    WindowsTempDir dir;
    const std::wstring victim = dir.Path(L"victim.txt");
    ASSERT_TRUE(WriteWide(victim, std::string(5000, 'v')));
    ASSERT_TRUE(WriteWide(dir.Path(L"beside.txt"), "beside"));
    const std::wstring state = dir.Path(L"state");
    ASSERT_TRUE(::CreateDirectoryW(LongForm(state).c_str(), nullptr));

    wchar_t self[MAX_PATH];
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    wchar_t savedState[MAX_PATH] = L"";
    ::GetEnvironmentVariableW(L"LOCALAPPDATA", savedState, MAX_PATH);
    ::SetEnvironmentVariableW(L"LOCALAPPDATA", state.c_str());
    ::SetEnvironmentVariableW(L"VORLIX_TEST_KILLED_WIPE", victim.c_str());
    std::wstring command = L"\"" + std::wstring(self) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const bool started = ::CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                          &startup, &child);
    ::SetEnvironmentVariableW(L"VORLIX_TEST_KILLED_WIPE", nullptr);
    DWORD code = 0;
    if (started) {
        ::WaitForSingleObject(child.hProcess, 60000);
        ::GetExitCodeProcess(child.hProcess, &code);
        ::CloseHandle(child.hProcess);
        ::CloseHandle(child.hThread);
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(code, 9u);
    EXPECT_FALSE(ExistsWide(victim));
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW(LongForm(dir.Path(L"*.*")).c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L".." && name != L"state" && name != L"beside.txt")
                names.push_back(name);
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].size(), std::wstring(L"victim.txt").size());

    EXPECT_EQ(CrashRecord::FinishLeftovers(), 1u);
    ::SetEnvironmentVariableW(L"LOCALAPPDATA", savedState[0] ? savedState : nullptr);
    EXPECT_FALSE(ExistsWide(dir.Path(names[0])));
    EXPECT_TRUE(ExistsWide(dir.Path(L"beside.txt")));
    EXPECT_FALSE(ExistsWide(state + L"\\Vorlix"));
}
