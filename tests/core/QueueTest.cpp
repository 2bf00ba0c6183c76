#include <gtest/gtest.h>

#include <thread>

#include "engine/WipeQueue.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

wxString SizeText(wxULongLong size)
{
    return QueueEntry{"x", size, "", ""}.SizeText();
}

}  // namespace

TEST(WipeQueue, KeepsAddingOrderAndRefusesExactDuplicatesOnly)
{
    TempDir dir;
    const wxString b = dir.File("b.txt"), a = dir.File("a.txt"), upper = dir.File("A.TXT");
    WipeQueue queue;
    queue.AddPath(b);
    queue.AddPath(a);
    queue.AddPath(b);
    queue.AddPath(upper);
    queue.AddPath(dir.path + "//a.txt");  // another text for the same file is another entry
    EXPECT_EQ(QueuedPaths(queue), (std::vector<wxString>{b, a, upper, dir.path + "//a.txt"}));
    EXPECT_EQ(queue.Count(), 4u);

    queue.RemovePath(b);
    queue.RemovePath("not queued");
    queue.AddPath(b);
    EXPECT_EQ(QueuedPaths(queue), (std::vector<wxString>{a, upper, dir.path + "//a.txt", b}));

    queue.Clear();
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_TRUE(queue.IsEmpty());
    queue.AddPath(a);
    EXPECT_EQ(queue.Count(), 1u);
}

TEST(WipeQueue, StoresTheSizeAtAddingTimeAndAllOnesForAMissingPath)
{
    TempDir dir;
    const std::string file = dir.File("sized", std::string(1536, 'x'));
    WipeQueue queue;
    queue.AddPath(file);
    queue.AddPath(dir.path + "/missing");
    queue.AddPath(dir.Folder("folder"));
    dir.File("sized", "shrunk later");  // the stored size is not refreshed

    const std::vector<QueueEntry> entries = queue.Snapshot();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].size, wxULongLong(1536));
    EXPECT_EQ(entries[0].SizeText(), "1.50 KB");
    EXPECT_EQ(entries[1].size, QueueEntry::unknownSize);
    EXPECT_EQ(entries[1].SizeText(), "-");
    EXPECT_EQ(entries[2].path, dir.path + "/folder");  // a folder is one entry, not walked
}

TEST(QueueEntry, SizeTextScalesBy1024UpToTerabytes)
{
    const std::pair<wxULongLong, const char*> table[] = {
        {0, "0.00 B"},
        {1023, "1023.00 B"},
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {(1u << 20) - 1, "1024.00 KB"},
        {1u << 20, "1.00 MB"},
        {wxULongLong(1) << 40, "1.00 TB"},
        {wxULongLong(1) << 50, "1024.00 TB"},
        {QueueEntry::unknownSize, "-"},  // not a regular file when queued
    };
    for (const auto& row : table)
        EXPECT_EQ(SizeText(row.first), row.second) << row.first.ToString();
}

TEST(WipeQueue, RemovingEveryEntryOfALargeQueueLeavesItEmpty)
{
    WipeQueue queue;
    for (int i = 0; i < 20000; ++i)
        queue.AddPath(wxString::Format("/nonexistent/vorlix/%05d", i));
    ASSERT_EQ(queue.Count(), 20000u);
    for (const QueueEntry& entry : queue.Snapshot())
        queue.RemovePath(entry.path);
    EXPECT_TRUE(queue.IsEmpty());
}

TEST(WipeQueue, CanBeSharedBetweenAnAddingAndARemovingThread)
{
    WipeQueue queue;
    std::thread adder([&] {
        for (int i = 0; i < 2000; ++i)
            queue.AddPath(wxString::Format("/nonexistent/a/%d", i));
    });
    size_t removed = 0;
    while (removed < 2000) {
        for (const QueueEntry& entry : queue.Snapshot()) {
            queue.RemovePath(entry.path);
            ++removed;
        }
    }
    adder.join();
    EXPECT_TRUE(queue.IsEmpty());
}
