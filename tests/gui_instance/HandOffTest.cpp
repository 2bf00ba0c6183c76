#include <gtest/gtest.h>
#include <wx/statusbr.h>

#include <sys/socket.h>
#include <sys/un.h>

#include "MainFrame.h"
#include "QueueListCtrl.h"
#include "platform/RuntimeFolder.h"
#include "support/GuiHarness.h"
#include "support/Process.h"
#include "support/QueuedPaths.h"
#include "support/TempDir.h"

namespace {

const std::string label = "Param sent to main instance ";

ProcessResult StartLaterInstance(const std::vector<std::string>& args, const std::string& cwd = "")
{
    std::vector<std::string> command{VORLIX_BINARY};
    command.insert(command.end(), args.begin(), args.end());
    return RunProcess(command, cwd, 20000, [] { wxTheApp->Yield(true); });
}

bool Arrives(const wxString& path)
{
    return PumpUntil([&] { return mainFrame->wipeQueue.Contains(path); }, 5000);
}

// A client that speaks to the listener directly, as any local program could.
int ConnectRaw()
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = RuntimeFolder::Path().ToStdString() + "/vorlix.sock";
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void SendRaw(const std::string& bytes)
{
    const int fd = ConnectRaw();
    ASSERT_GE(fd, 0);
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    close(fd);
}

class HandOff : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(mainFrame, nullptr);
        mainFrame->wipeQueue.Clear();
        mainFrame->RefreshQueueList();
    }
};

}  // namespace

TEST_F(HandOff, ALaterInstanceHandsOverItsFirstPathAndExitsWithoutAWindow)
{
    TempDir dir;
    const std::string first = dir.File("first.txt"), second = dir.File("second.txt");
    const ProcessResult later = StartLaterInstance({first, second});
    EXPECT_NE(later.status, 0);  // the toolkit's status for a start that did not open a window
    EXPECT_EQ(later.out, label + first);
    ASSERT_TRUE(Arrives(first));
    Pump(300);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), std::vector<wxString>{first});
    EXPECT_EQ(mainFrame->queueList->GetItemCount(), 1);
    EXPECT_EQ(mainFrame->GetStatusBar()->GetStatusText(0), "No. of files in queue: 1");
}

TEST_F(HandOff, WithoutAPathNothingIsSentOrPrinted)
{
    const ProcessResult later = StartLaterInstance({});
    EXPECT_EQ(later.out, "");
    Pump(1300);
    EXPECT_TRUE(QueuedPaths(mainFrame->wipeQueue).empty());
}

TEST_F(HandOff, AnEmptyPathIsSentAsNothingAndIgnored)
{
    const ProcessResult later = StartLaterInstance({""});
    EXPECT_EQ(later.out, label);
    Pump(1300);
    EXPECT_TRUE(QueuedPaths(mainFrame->wipeQueue).empty());
}

TEST_F(HandOff, PathsArriveWholeAndUnchanged)
{
    const std::string accented = "/tmp/gr\xC3\xBC\xC3\x9F" "e/\xE6\x96\x87\xE4\xBB\xB6 with blanks.txt";
    std::string longPath = "/nonexistent";
    while (longPath.size() < 3000)
        longPath += "/" + std::string(200, 'd');
    for (const std::string& path : {accented, longPath}) {
        const ProcessResult later = StartLaterInstance({path});
        EXPECT_EQ(later.out, label + path);
        EXPECT_TRUE(Arrives(wxString::FromUTF8(path))) << path.size();
    }
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue).size(), 2u);
}

TEST_F(HandOff, ARelativePathNamesTheFileInTheLaterInstancesFolder)
{
    TempDir dir;
    dir.File("relative.txt");
    const ProcessResult later = StartLaterInstance({"relative.txt"}, dir.path);
    EXPECT_EQ(later.out, label + dir.path + "/relative.txt");
    EXPECT_TRUE(Arrives(dir.path + "/relative.txt"));
}

TEST_F(HandOff, ABurstOfLaterInstancesArrivesInOrder)
{
    std::vector<wxString> expected;
    for (int i = 0; i < 10; ++i) {
        const std::string path = "/nonexistent/burst/" + std::to_string(i);
        expected.push_back(path);
        EXPECT_EQ(StartLaterInstance({path}).out, label + path);
    }
    ASSERT_TRUE(PumpUntil([] { return mainFrame->wipeQueue.Count() == 10; }, 10000));
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), expected);
}

TEST_F(HandOff, MalformedOversizedAndSilentClientsAreIgnoredAndDoNotBlock)
{
    SendRaw("/tmp/\xFF\xFE not utf-8");
    SendRaw("/" + std::string(70 * 1024, 'x'));
    SendRaw("");
    // A client that connects and then neither sends nor closes.
    const int stuck = ConnectRaw();
    ASSERT_GE(stuck, 0);
    // One that sends part of a path and stalls: its path must never arrive cut.
    const int stalled = ConnectRaw();
    ASSERT_GE(stalled, 0);
    ASSERT_EQ(write(stalled, "/tmp/cut", 8), 8);

    const ProcessResult later = StartLaterInstance({"/nonexistent/after-the-bad-ones"});
    EXPECT_TRUE(PumpUntil([] { return mainFrame->wipeQueue.Contains("/nonexistent/after-the-bad-ones"); },
                          8000));
    close(stuck);
    close(stalled);
    Pump(500);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), std::vector<wxString>{"/nonexistent/after-the-bad-ones"});
}

TEST_F(HandOff, AFolderHandedOverIsOneEntry)
{
    TempDir dir;
    dir.Folder("folder");
    dir.File("folder/inside.txt");
    StartLaterInstance({dir.path + "/folder"});
    ASSERT_TRUE(Arrives(dir.path + "/folder"));
    EXPECT_EQ(mainFrame->queueList->GetItemText(0, 0), "folder");
    EXPECT_EQ(mainFrame->queueList->GetItemText(0, 1), dir.path);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue).size(), 1u);
}
