// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "WindowsFiles.h"
#include "engine/RandomWiper.h"
#include "engine/TrashQueue.h"
#include "engine/WipeQueue.h"
#include "engine/Wiper.h"

namespace {

std::vector<wxString> Queued(const WipeQueue& queue)
{
    std::vector<wxString> paths;
    for (const QueueEntry& entry : queue.Snapshot())
        paths.push_back(entry.path);
    return paths;
}

}  // namespace

// $Recycle.Bin\<SID> as Explorer leaves it: $R… items (a folder among them)
// with their $I… records, a record whose item is gone, and the folder's own
// desktop.ini, which is not the user's and stays.
TEST(RecycleBin, EveryItemAndRecordIsQueuedWipedAndTheBinLeftEmpty)
{
    WindowsTempDir dir;
    const std::wstring bin = dir.Path(L"S-1-5-21-1-2-3-1001");
    ASSERT_TRUE(::CreateDirectoryW(LongForm(bin).c_str(), nullptr));
    auto file = [&](const std::wstring& name, const std::string& content = "trashed") {
        EXPECT_TRUE(WriteWide(bin + L"\\" + name, content));
        return WindowsTempDir::Text(bin + L"\\" + name);
    };
    const wxString item = file(L"$RA1B2C3.txt", std::string(5000, 'x')), record = file(L"$IA1B2C3.txt");
    ASSERT_TRUE(::CreateDirectoryW(LongForm(bin + L"\\$RQ9W8E7").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(LongForm(bin + L"\\$RQ9W8E7\\sub").c_str(), nullptr));
    const wxString inside = file(L"$RQ9W8E7\\sub\\inside.doc"), folderRecord = file(L"$IQ9W8E7");
    const wxString orphan = file(L"$IZZZZZZ.pdf"), noRecord = file(L"$RNORECD.bin");
    file(L"desktop.ini", "[.ShellClassInfo]\r\n");

    WipeQueue queue;
    const TrashQueue::Added added = TrashQueue::Add({WindowsTempDir::Text(bin)}, queue);
    EXPECT_EQ(Queued(queue), (std::vector<wxString>{item, record, noRecord, inside, folderRecord, orphan}));
    EXPECT_EQ(added.folders, std::vector<wxString>{WindowsTempDir::Text(bin + L"\\$RQ9W8E7")});

    Wiper::ResetRun();
    RandomWiper().Wipe(&queue);
    EXPECT_TRUE(Wiper::GetFailures().empty());
    TrashQueue::RemoveEmptied(added.folders);
    for (const wxString& gone : {item, record, inside, folderRecord, orphan, noRecord})
        EXPECT_FALSE(ExistsWide(gone.ToStdWstring())) << gone;
    EXPECT_FALSE(ExistsWide(bin + L"\\$RQ9W8E7"));
    EXPECT_TRUE(ExistsWide(bin + L"\\desktop.ini"));
}
