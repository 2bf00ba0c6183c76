#include "WipeQueue.h"
#include "engine/DoDWiper.h"
#include "engine/RandomWiper.h"
#include "engine/Wiper.h"
#include "support/LoopFilesystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// What is left on the device after a wipe, read from the raw image of a real
// ext4 filesystem: nothing of the wiped files, everything of the others.

namespace {

// Writes content and pushes it to the device, as a file would be long before
// anyone wipes it.
void WriteSynced(const std::string& path, const std::string& content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}

size_t CountOccurrences(const std::string& haystack, const std::string& needle)
{
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

// 100 KB of one short text, unique to this run, that occurs nowhere else.
std::string Marker(const std::string& name, std::string& unit)
{
    std::random_device entropy;
    std::ostringstream text;
    text << "<vorlix-marker " << name << ' ' << std::hex << entropy() << entropy() << '>';
    unit = text.str();
    std::string content;
    while (content.size() < 100 * 1000)
        content += unit;
    return content;
}

std::string WipeOnFreshThread(Wiper& wiper, WipeQueue& queue)
{
    Wiper::ResetRun();
    std::thread([&] { wiper.Wipe(&queue); }).join();
    std::string failed;
    for (const wxString& path : Wiper::GetFailedPaths())
        failed += path.ToStdString() + "\n";
    return failed;
}

}  // namespace

TEST(Forensic, WipedFilesLeaveNoTraceAndOthersKeepTheirBytes)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "skipped: mounting a loop device needs root";
    LoopFilesystem fs;
    if (!fs.Usable())
        GTEST_SKIP() << "skipped: no loop device or ext4 tools here";

    struct File {
        std::string name;
        std::string unit;
        std::string content;
    };
    std::vector<File> wiped;
    for (const char* name : {"random-1", "random-2", "dod-1", "dod-2"}) {
        File file{name, "", ""};
        file.content = Marker(name, file.unit);
        wiped.push_back(file);
    }
    std::vector<File> kept;
    for (const char* name : {"beside", "link-target", "linked"}) {
        File file{name, "", ""};
        file.content = Marker(name, file.unit);
        kept.push_back(file);
    }
    for (const File& file : wiped)
        WriteSynced(fs.Path(file.name), file.content);
    for (const File& file : kept)
        WriteSynced(fs.Path(file.name), file.content);
    ASSERT_EQ(::symlink(fs.Path("link-target").c_str(), fs.Path("link").c_str()), 0);
    ASSERT_EQ(::link(fs.Path("linked").c_str(), fs.Path("other-name").c_str()), 0);
    ::sync();

    RandomWiper random;
    WipeQueue randomQueue;
    for (const char* name : {"random-1", "link", "random-2", "other-name"})
        randomQueue.AddPath(fs.Path(name));
    EXPECT_EQ(WipeOnFreshThread(random, randomQueue), fs.Path("link") + "\n" + fs.Path("other-name") + "\n");

    DoDWiper dod;
    WipeQueue dodQueue;
    for (const char* name : {"dod-1", "dod-2"})
        dodQueue.AddPath(fs.Path(name));
    EXPECT_EQ(WipeOnFreshThread(dod, dodQueue), "");

    ASSERT_TRUE(fs.Unmount());
    const std::string raw = ReadFile(fs.Image());
    ASSERT_EQ(raw.size(), size_t(64) << 20);
    for (const File& file : wiped)
        EXPECT_EQ(CountOccurrences(raw, file.unit), 0u) << file.name << " left traces on the device";
    // The search itself finds what is there.
    for (const File& file : kept)
        EXPECT_GT(CountOccurrences(raw, file.unit), 0u) << file.name;

    ASSERT_TRUE(fs.Mount());
    for (const File& file : wiped)
        EXPECT_NE(::access(fs.Path(file.name).c_str(), F_OK), 0) << file.name;
    EXPECT_EQ(ReadFile(fs.Path("beside")), kept[0].content);
    EXPECT_EQ(ReadFile(fs.Path("link")), kept[1].content);
    EXPECT_EQ(ReadFile(fs.Path("link-target")), kept[1].content);
    EXPECT_EQ(ReadFile(fs.Path("linked")), kept[2].content);
    EXPECT_EQ(ReadFile(fs.Path("other-name")), kept[2].content);
}
