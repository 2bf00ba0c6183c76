// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/statusbr.h>

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>

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

std::string SocketPath()
{
    return RuntimeFolder::Path().ToStdString() + "/vorlix.sock";
}

// A client that speaks to the listener directly, as any local program could.
int ConnectRaw(const std::string& path = SocketPath())
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendRawOnce(const std::string& bytes)
{
    const int fd = ConnectRaw();
    if (fd < 0)
        return false;
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    close(fd);
    return sent == bytes.size();
}

void SendRaw(const std::string& bytes)
{
    ASSERT_TRUE(SendRawOnce(bytes));
}

// Sends as another user, from a child process that has become that user:
// true when its connection was made.
bool SendRawAs(uid_t uid, gid_t gid, const std::string& socketPath, const std::string& bytes)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(2);
        // A dropped connection may close before the write: only the connect counts.
        signal(SIGPIPE, SIG_IGN);
        const int fd = ConnectRaw(socketPath);
        if (fd < 0)
            _exit(1);
        if (write(fd, bytes.data(), bytes.size())) {
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0)
        wxTheApp->Yield(true);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What the process writes to standard error (GTK's warnings) meanwhile.
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        saved = dup(2);
        std::FILE* file = std::tmpfile();
        held = fileno(file);
        dup2(held, 2);
    }
    ~StderrCapture() { Restore(); }
    std::string Text()
    {
        Restore();
        std::string text;
        char buffer[4096];
        lseek(held, 0, SEEK_SET);
        for (ssize_t n; (n = read(held, buffer, sizeof buffer)) > 0;)
            text.append(buffer, size_t(n));
        return text;
    }

private:
    void Restore()
    {
        if (saved < 0)
            return;
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        saved = -1;
    }
    int saved = -1;
    int held = -1;
};

std::string Sent(const std::vector<std::string>& paths)
{
    std::string lines;
    for (const std::string& path : paths)
        lines += label + path + "\n";
    return lines;
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

TEST_F(HandOff, ALaterInstanceHandsOverEveryPathInOrderAndExitsWithSuccess)
{
    TempDir dir;
    const std::vector<std::string> paths{dir.File("first.txt"), dir.File("second.txt"), dir.File("third.txt")};
    const ProcessResult later = StartLaterInstance(paths);
    EXPECT_EQ(later.status, 0);
    EXPECT_EQ(later.out, Sent(paths));
    ASSERT_TRUE(PumpUntil([] { return mainFrame->queueList->GetItemCount() == 3; }, 5000));
    Pump(300);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), std::vector<wxString>(paths.begin(), paths.end()));
    EXPECT_EQ(mainFrame->GetStatusBar()->GetStatusText(0), "No. of files in queue: 3");
}

TEST_F(HandOff, WithTheWalkOptionALaterInstanceHandsOverTheFilesInsideFolders)
{
    TempDir dir;
    dir.Folder("picked");
    dir.Folder("picked/deeper");
    const std::string inside = dir.File("picked/deeper/inside.txt"), loose = dir.File("loose.txt");
    ASSERT_EQ(symlink(dir.Path().c_str(), dir.Path("picked/deeper/up").c_str()), 0);
    const ProcessResult later = StartLaterInstance({"--walk", dir.Path("picked"), loose});
    EXPECT_EQ(later.status, 0) << later.err;
    EXPECT_EQ(later.out, Sent({inside, loose}));
    ASSERT_TRUE(Arrives(loose));
    Pump(300);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), (std::vector<wxString>{inside, loose}));
}

TEST_F(HandOff, ALaterInstanceNeedsNoDisplay)
{
    const std::string path = "/nonexistent/without-a-display";
    const ProcessResult later = RunProcess({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                            VORLIX_BINARY, path},
                                           "", 20000, [] { wxTheApp->Yield(true); });
    EXPECT_EQ(later.status, 0) << later.err;
    EXPECT_EQ(later.out, Sent({path}));
    EXPECT_TRUE(Arrives(path));
}

// A file manager hands over whatever bytes a name has: they arrive exactly,
// and the list shows them by the display rule, with no complaint from GTK.
TEST_F(HandOff, APathThatIsNotUtf8ArrivesExactlyAndIsShownWithoutAWarning)
{
    const std::string before = "/nonexistent/before", after = "/nonexistent/after";
    const std::string odd = "/nonexistent/not-\xFF\xFE-utf8";
    const ProcessResult later = StartLaterInstance({before, odd, after});
    EXPECT_EQ(later.status, 0) << later.err;
    EXPECT_EQ(later.err, "");
    EXPECT_EQ(later.out, Sent({before, "/nonexistent/not-\xEF\xBF\xBD\xEF\xBF\xBD-utf8", after}));
    ASSERT_TRUE(Arrives(after));
    Pump(300);
    const wxString exact = NativePath::Decode(odd);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), (std::vector<wxString>{before, exact, after}));

    StderrCapture captured;
    mainFrame->RefreshQueueList();
    mainFrame->queueList->Refresh();
    mainFrame->queueList->Update();
    Pump(300);
    EXPECT_EQ(mainFrame->queueList->GetItemText(1, 0), wxString::FromUTF8("not-\xEF\xBF\xBD\xEF\xBF\xBD-utf8"));
    EXPECT_EQ(captured.Text().find("Invalid UTF-8"), std::string::npos) << captured.Text();
}

TEST_F(HandOff, WithoutAPathNothingIsSentOrPrinted)
{
    const ProcessResult later = StartLaterInstance({});
    EXPECT_EQ(later.status, 0);
    EXPECT_EQ(later.out, "");
    Pump(1300);
    EXPECT_TRUE(QueuedPaths(mainFrame->wipeQueue).empty());
}

TEST_F(HandOff, AnEmptyPathIsSentAsNothingAndIgnored)
{
    const ProcessResult later = StartLaterInstance({""});
    EXPECT_EQ(later.out, Sent({""}));
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
        EXPECT_EQ(later.out, Sent({path}));
        EXPECT_TRUE(Arrives(wxString::FromUTF8(path))) << path.size();
    }
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue).size(), 2u);
}

TEST_F(HandOff, ARelativePathNamesTheFileInTheLaterInstancesFolder)
{
    TempDir dir;
    dir.File("relative.txt");
    const ProcessResult later = StartLaterInstance({"relative.txt"}, dir.path);
    EXPECT_EQ(later.out, Sent({dir.path + "/relative.txt"}));
    EXPECT_TRUE(Arrives(dir.path + "/relative.txt"));
}

TEST_F(HandOff, ABurstOfConcurrentLaterInstancesAllArrive)
{
    // Started at once, as a file manager starts one process per file.
    std::string script = "pids=; for i in $(seq 0 19); do \"$0\" /nonexistent/burst/$i >/dev/null & pids=\"$pids $!\"; done; "
                         "failed=0; for p in $pids; do wait $p || failed=1; done; exit $failed";
    const ProcessResult burst = RunProcess({"/bin/sh", "-c", script, VORLIX_BINARY}, "", 30000,
                                           [] { wxTheApp->Yield(true); });
    EXPECT_EQ(burst.status, 0) << burst.err;
    ASSERT_TRUE(PumpUntil([] { return mainFrame->queueList->GetItemCount() == 20; }, 10000));
    std::vector<wxString> queued = QueuedPaths(mainFrame->wipeQueue), expected;
    for (int i = 0; i < 20; ++i)
        expected.push_back(wxString::Format("/nonexistent/burst/%d", i));
    std::sort(queued.begin(), queued.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(queued, expected);
}

TEST_F(HandOff, AConnectionFromAnotherUserIsDropped)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to connect as another user";
    // The private folder keeps other users away from the socket; open it to
    // them for this test, so that only the listener's own check stands.
    // (While it is open, the program itself would no longer take the folder.)
    const std::string folder = RuntimeFolder::Path().ToStdString(), socket = SocketPath();
    ASSERT_EQ(chmod(folder.c_str(), 0711), 0);
    ASSERT_EQ(chmod(socket.c_str(), 0777), 0);
    const bool othersConnected = SendRawAs(65534, 65534, socket, "/nonexistent/from-nobody");
    const bool ownConnected = SendRawAs(geteuid(), getegid(), socket, "/nonexistent/from-the-same-user");
    chmod(socket.c_str(), 0755);
    chmod(folder.c_str(), 0700);
    ASSERT_TRUE(othersConnected);
    ASSERT_TRUE(ownConnected);
    ASSERT_TRUE(Arrives("/nonexistent/from-the-same-user"));
    Pump(300);
    EXPECT_EQ(QueuedPaths(mainFrame->wipeQueue), std::vector<wxString>{"/nonexistent/from-the-same-user"});
}

TEST_F(HandOff, MalformedOversizedAndSilentClientsAreIgnoredAndDoNotBlock)
{
    SendRaw("/tmp/\xFF\xFE not utf-8");
    // An encoded surrogate that stands for no byte 0x80-0xFF (U+DC41).
    SendRaw("/nonexistent/\xED\xB1\x81");
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
