// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>

#include <unistd.h>
#include <thread>

#include "engine/WipeQueue.h"
#include "platform/PathBinding.h"
#include "platform/NativePath.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

uint64_t QueuedFilesSerial(const WipeQueue& queue, size_t at)
{
    return queue.Files().at(at).Serial();
}

wxString SizeText(wxULongLong size)
{
    return QueueEntry{"x", size, "", ""}.SizeText();
}

}  // namespace

TEST(WipeQueue, KeepsAddingOrderAndRefusesDuplicatesOfTheSameFile)
{
    TempDir dir;
    const wxString b = dir.File("b.txt"), a = dir.File("a.txt"), upper = dir.File("A.TXT");
    dir.Folder("sub");
    ASSERT_EQ(symlink(dir.path.c_str(), dir.Path("link").c_str()), 0);
    WipeQueue queue;
    queue.AddPath(b);
    queue.AddPath(a);
    queue.AddPath(b);
    queue.AddPath(upper);
    // Other spellings of a queued file are that file, queued once: the
    // second would be missing once the first was wiped.
    for (const std::string& spelling : {dir.path + "//a.txt", dir.path + "/./a.txt", dir.path + "/sub/../a.txt",
                                        dir.Path("link") + "/a.txt"})
        EXPECT_TRUE(queue.AddPath(spelling)) << spelling;
    EXPECT_EQ(QueuedPaths(queue), (std::vector<wxString>{b, a, upper}));
    EXPECT_EQ(queue.Count(), 3u);

    queue.RemovePath(b);
    queue.RemovePath("not queued");
    queue.AddPath(dir.path + "/./b.txt");
    EXPECT_EQ(QueuedPaths(queue), (std::vector<wxString>{a, upper, dir.path + "/./b.txt"}));
    queue.Remove({QueuedFilesSerial(queue, 0)});
    EXPECT_TRUE(queue.AddPath(dir.path + "//a.txt"));
    EXPECT_EQ(QueuedPaths(queue), (std::vector<wxString>{upper, dir.path + "/./b.txt", dir.path + "//a.txt"}));

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

TEST(WipeQueue, KeepsEveryPathItsFolderAndNameExactlyAsGiven)
{
    TempDir dir;
    dir.Folder("sub");
    const std::vector<wxString> given = {
        NativePath::Decode(dir.File("bad\xFF\x80name")),  // bytes that are not UTF-8
        NativePath::Decode(dir.File("\xF4\x80\x81\x81")),  // U+100041, not a marked byte
        NativePath::Decode(dir.File("caf\xC3\xA9 \xF0\x9F\x98\x80")),
        NativePath::Decode(dir.File("back\\slash")),
        NativePath::Decode(dir.Path("sub/")),  // its name is not the text after the last slash
        wxString::FromUTF8(dir.Path("sub/../bad\xC3\xBF\xC2\x80name")),  // a look-alike of the first
        "relative-without-a-folder",
    };
    WipeQueue queue;
    for (const wxString& path : given)
        ASSERT_TRUE(queue.AddPath(path)) << NativePath::Display(path);

    const std::vector<QueueEntry> entries = queue.Snapshot();
    const std::vector<QueuedFile> files = queue.Files();
    ASSERT_EQ(entries.size(), given.size());
    ASSERT_EQ(files.size(), given.size());
    for (size_t i = 0; i < given.size(); ++i) {
        SCOPED_TRACE(NativePath::Display(given[i]));
        wxString folder, name;
        uint64_t size;
        ASSERT_TRUE(PathBinding::Locate(given[i], folder, name, size));
        EXPECT_EQ(entries[i].path, given[i]);
        EXPECT_EQ(entries[i].folder, folder);
        EXPECT_EQ(entries[i].name, name);
        EXPECT_EQ(files[i].Path(), given[i]);
        EXPECT_EQ(files[i].Name(), name);
        EXPECT_TRUE(queue.Contains(given[i]));
    }
    EXPECT_EQ(entries[4].name, "sub");
    EXPECT_FALSE(queue.Contains(NativePath::Decode(dir.Path("bad\xFF\x80nam"))));
    EXPECT_FALSE(queue.Contains(NativePath::Decode(dir.Path("sub"))));
}

TEST(WipeQueue, RemovesScatteredFilesAtOnceAndStillFindsTheOthers)
{
    WipeQueue queue;
    std::vector<wxString> paths;
    for (int i = 0; i < 5000; ++i) {
        paths.push_back(wxString::Format("/nonexistent/vorlix/%d/%d", i % 7, i));
        queue.AddPath(paths.back());
    }
    // Some leave one by one first, as a run takes them, leaving gaps behind.
    for (int i = 0; i < 1500; ++i)
        queue.RemovePath(paths[i * 2]);
    std::vector<uint64_t> doomed;
    std::vector<wxString> kept;
    const std::vector<QueuedFile> files = queue.Files();
    for (size_t i = 0; i < files.size(); ++i) {
        if (i % 3 == 0 || i + 1 == files.size())
            doomed.push_back(files[i].Serial());
        else
            kept.push_back(files[i].Path());
    }
    doomed.push_back(files.back().Serial() + 1);  // never queued: passed over
    queue.Remove(doomed);

    EXPECT_EQ(QueuedPaths(queue), kept);
    EXPECT_EQ(queue.Count(), kept.size());
    EXPECT_FALSE(queue.Contains(files[0].Path()));
    EXPECT_TRUE(queue.Contains(kept.back()));
    // Removed paths may come again, at the end; kept ones are still refused.
    queue.AddPath(files[0].Path());
    queue.AddPath(kept.front());
    EXPECT_EQ(queue.Count(), kept.size() + 1);
    EXPECT_EQ(QueuedPaths(queue).back(), files[0].Path());
    for (const wxString& path : kept)
        queue.RemovePath(path);
    EXPECT_EQ(QueuedPaths(queue), std::vector<wxString>{files[0].Path()});
}

TEST(WipeQueue, RemovingManyAtOnceWhileARunTakesThemOneByOneLosesNothing)
{
    WipeQueue queue;
    for (int i = 0; i < 20000; ++i)
        queue.AddPath(wxString::Format("/nonexistent/b/%d", i));
    std::vector<uint64_t> odd;
    for (const QueuedFile& file : queue.Files()) {
        if (file.Serial() % 2)
            odd.push_back(file.Serial());
    }
    // As a run does: a batch, then each of its files leaves the queue.
    std::atomic<size_t> taken{0};
    std::thread run([&] {
        for (std::vector<QueueEntry> batch; !(batch = queue.Snapshot()).empty();) {
            for (size_t i = 0; i < batch.size() && i < 500; ++i) {
                queue.RemovePath(batch[i].path);
                ++taken;
            }
        }
    });
    queue.Remove(odd);
    run.join();
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_TRUE(queue.Files().empty());
    EXPECT_GE(taken.load(), 10000u);
    EXPECT_LE(taken.load(), 20000u);
}
