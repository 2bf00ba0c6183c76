// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"

#include "engine/DoDWiper.h"
#include "engine/FreeSpaceLines.h"
#include "engine/FileOverwriter.h"
#include "engine/RandomWiper.h"
#include "engine/RunRecord.h"
#include "engine/RunReport.h"
#include "platform/NativePath.h"
#include "support/UserLanguage.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>

namespace {

// Sets FileOverwriter::afterReadBack for one test, and has the wiper read back.
class ReadBack {
public:
    explicit ReadBack(std::function<void(unsigned char*, size_t)> hook = nullptr)
    {
        FileOverwriter::afterReadBack = std::move(hook);
    }
    ~ReadBack() { FileOverwriter::afterReadBack = nullptr; }
    static void Verify(Wiper& wiper)
    {
        RunOptions options;
        options.verify = true;
        wiper.SetOptions(options);
    }
};

const FileOutcome* OutcomeFor(const std::vector<FileOutcome>& outcomes, const std::string& path)
{
    for (const FileOutcome& outcome : outcomes)
        if (outcome.Path() == wxString(path))
            return &outcome;
    return nullptr;
}

}  // namespace

// Every file reached is in the record once, with what was written to it over
// all passes: holes are skipped, a refused file wrote nothing.
TEST(RunRecord, EachFileReachedHasItsSizeBytesWrittenAndReason)
{
    TempDir dir;
    WriteSynced(dir.Path("data"), Pattern(5000));
    ASSERT_EQ(truncate(dir.File("sparse", "").c_str(), 1 << 20), 0);
    ASSERT_EQ(symlink("data", dir.Path("link").c_str()), 0);
    WipeQueue queue;
    for (const char* name : {"data", "sparse", "link", "missing"})
        queue.AddPath(dir.Path(name));

    DoDWiper wiper;
    RunOnFreshThread(wiper, queue);
    const std::vector<FileOutcome> outcomes = Wiper::GetOutcomes();
    ASSERT_EQ(outcomes.size(), 4u);
    const FileOutcome* data = OutcomeFor(outcomes, dir.Path("data"));
    const FileOutcome* sparse = OutcomeFor(outcomes, dir.Path("sparse"));
    const FileOutcome* link = OutcomeFor(outcomes, dir.Path("link"));
    ASSERT_TRUE(data && sparse && link);
    EXPECT_EQ(data->size, 5000u);
    EXPECT_EQ(data->bytesOverwritten, 15000u);
    EXPECT_EQ(data->reason, WipeFailure::None);
    EXPECT_EQ(sparse->size, 1u << 20);
    EXPECT_EQ(sparse->bytesOverwritten, 0u);
    EXPECT_EQ(link->reason, WipeFailure::Link);
    EXPECT_EQ(link->bytesOverwritten, 0u);
    EXPECT_EQ(Wiper::FilesReached(), 4u);

    // The dry run finds the same refusals and sizes without writing.
    WriteSynced(dir.Path("again"), Pattern(3000));
    queue.AddPath(dir.Path("again"));
    queue.AddPath(dir.Path("link"));
    const std::vector<QueueEntry> entries = queue.Snapshot();
    EXPECT_EQ(FileOverwriter::Preview(entries[0]).bytesOverwritten, 3000u);
    EXPECT_EQ(FileOverwriter::Preview(entries[1]).reason, WipeFailure::Link);
    EXPECT_EQ(ReadFile(dir.Path("again")), Pattern(3000));
}

// The last pass is read back from the device: a good one lets the file go,
// one read that comes back changed keeps it, holding the last pass's bytes.
TEST(RunRecord, VerificationPassesOnAGoodDeviceAndKeepsAFileThatReadsBackWrong)
{
    TempDir dir;
    WriteSynced(dir.Path("good"), Pattern(200000));
    {
        ReadBack verify;
        WipeQueue queue;
        queue.AddPath(dir.Path("good"));
        RandomWiper wiper;
        ReadBack::Verify(wiper);
        const RunResult run = RunOnFreshThread(wiper, queue);
        EXPECT_TRUE(run.failed.empty()) << run.err;
        EXPECT_FALSE(Exists(dir.Path("good")));
    }

    WriteSynced(dir.Path("bad"), Pattern(200000));
    ReadBack corruptOne([](unsigned char* data, size_t n) {
        if (n > 100000)
            data[100000] ^= 0x01;
    });
    WipeQueue queue;
    queue.AddPath(dir.Path("bad"));
    DoDWiper wiper;
    ReadBack::Verify(wiper);
    const RunResult run = RunOnFreshThread(wiper, queue);
    ASSERT_EQ(run.failed.size(), 1u);
    EXPECT_EQ(Wiper::GetFailures()[0].reason, WipeFailure::VerificationFailed);
    EXPECT_EQ(Wiper::GetFailures()[0].detail, "bytes 65536 to 131072 differ");
    EXPECT_NE(run.err.find("Not wiped (verification failed"), std::string::npos) << run.err;
    ASSERT_TRUE(Exists(dir.Path("bad")));
    // Only the last pass is read back: the first two left no trace.
    const std::string left = ReadFile(dir.Path("bad"));
    EXPECT_EQ(left.find(std::string(1024, '\0')), std::string::npos);
    EXPECT_EQ(left.find(std::string(1024, '\xff')), std::string::npos);
    EXPECT_EQ(left.substr(0, 1024), left.substr(1024, 1024));
}

// The record names every file with its place, outcome and reason, and the
// text form reads as the log does.
TEST(RunRecord, JsonAndTextNameEveryFileAndTheTotals)
{
    // Records read the same whatever the user's language, while the box
    // speaks it.
    UserLanguage german("de_DE.UTF-8");
    ASSERT_EQ(RunReport::ReasonText(WipeFailure::NotRegular),
              wxString::FromUTF8("keine reguläre Datei, sondern ein Ordner, eine Pipe, ein Socket oder ein Gerät"));
    TempDir dir;
    WriteSynced(dir.Path("wiped \"quoted\""), Pattern(100));
    ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    WipeQueue queue;
    queue.AddPath(dir.Path("wiped \"quoted\""));
    queue.AddPath(dir.Path("fifo"));
    RunRecord record;
    record.Begin(std::make_shared<RunSurvey>(queue), WipeMethod::Random, false);
    RandomWiper wiper;
    RunOnFreshThread(wiper, queue);
    queue.AddPath(dir.Path("late"));
    record.End(Wiper::GetOutcomes(), queue.Files(), true, Wiper::GetTotals());

    const std::string json(record.Json().utf8_str());
    EXPECT_NE(json.find("\"path\": \"" + dir.Path("wiped \\\"quoted\\\"") + "\", \"path_native\": \""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"size\": 100, \"bytes_overwritten\": 100, \"outcome\": \"wiped\", \"reason\": null, "
                        "\"reason_code\": null, \"detail\": null, \"filesystem\": \""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"outcome\": \"not wiped\", \"reason\": \"not a regular file but a folder, pipe, socket or "
                        "device\", \"reason_code\": \"not_regular\""),
              std::string::npos);
    EXPECT_NE(json.find("\"outcome\": \"not reached\""), std::string::npos);
    EXPECT_NE(json.find("\"stopped\": true"), std::string::npos);
    EXPECT_NE(json.find("\"totals\": {\"files\": 3, \"wiped\": 1, \"not_wiped\": 1, \"not_reached\": 1, "
                        "\"bytes_overwritten\": 100, "),
              std::string::npos)
        << json;

    const std::string text(record.Text().utf8_str());
    EXPECT_NE(text.find("Not wiped (not a regular file but a folder, pipe, socket or device): " + dir.Path("fifo")),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Not reached: " + dir.Path("late")), std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("\n1 file wiped, 100 B overwritten, in (under 0\\.1|[0-9]+\\.[0-9]) s\\.\n")))
        << text;

    wxString error;
    EXPECT_TRUE(record.Save(dir.Path("report.TXT"), error));
    EXPECT_EQ(ReadFile(dir.Path("report.TXT")), text);
    EXPECT_FALSE(record.Save(dir.Path("no/such/folder.json"), error));
    EXPECT_FALSE(error.empty());

    // A journal left uncleared is said in both, in English.
    RunTotals uncleared = Wiper::GetTotals();
    uncleared.journal = JournalPush::State::NotCleared;
    record.End(Wiper::GetOutcomes(), queue.Files(), true, uncleared);
    EXPECT_NE(std::string(record.Json().utf8_str()).find(", \"journal_cleared\": false}\n"), std::string::npos)
        << record.Json();
    EXPECT_NE(std::string(record.Text().utf8_str()).find("\nThe filesystem's journal was not cleared: it may still hold"),
              std::string::npos)
        << record.Text();
}

// The record goes to a new file that takes the name only once complete, and
// never through a link: one put where the report goes, by anyone who can
// write that folder, gets nothing created or changed through it.
TEST(RunRecord, IsSavedWholeAndNeverThroughALink)
{
    TempDir dir;
    RunRecord record;
    record.Begin({}, WipeMethod::Random, false);
    record.End({}, {}, false, RunTotals());
    wxString error;
    WriteFile(dir.Path("theirs"), "theirs");
    ASSERT_EQ(symlink(dir.Path("theirs").c_str(), dir.Path("to-file").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("not-yet").c_str(), dir.Path("to-nothing").c_str()), 0);
    for (const char* link : {"to-file", "to-nothing"}) {
        EXPECT_FALSE(RunRecord::CanSave(dir.Path(link), error)) << link;
        EXPECT_EQ(error, "a link, which is never followed");
        EXPECT_FALSE(record.Save(dir.Path(link), error)) << link;
    }
    EXPECT_EQ(ReadFile(dir.Path("theirs")), "theirs");
    EXPECT_FALSE(Exists(dir.Path("not-yet")));
    EXPECT_TRUE(RunRecord::CanSave(dir.Path("new.json"), error));
    EXPECT_FALSE(Exists(dir.Path("new.json")));

    // A file already there is replaced whole and keeps its permissions; a
    // write that fails half-way (a file size limit) leaves it as it was.
    WriteFile(dir.Path("kept.json"), "old");
    ASSERT_EQ(chmod(dir.Path("kept.json").c_str(), 0600), 0);
    EXPECT_TRUE(record.Save(dir.Path("kept.json"), error)) << error;
    EXPECT_EQ(ReadFile(dir.Path("kept.json")), std::string(record.Json().utf8_str()));
    struct stat st;
    ASSERT_EQ(stat(dir.Path("kept.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    WriteFile(dir.Path("kept.json"), "old");
    rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small{100, before.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_FALSE(record.Save(dir.Path("kept.json"), error));
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(ReadFile(dir.Path("kept.json")), "old");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"kept.json", "theirs", "to-file", "to-nothing"}));
}

// The summary line and the record count the same bytes: all passes of every
// file reached, a file stopped halfway (dod) or overwritten but not
// deletable (random) included.
TEST(RunRecord, TheLineAndTheRecordCountTheSameBytesOverwritten)
{
    for (const WipeMethod method : {WipeMethod::DoD, WipeMethod::Random}) {
        TempDir dir;
        WriteSynced(dir.Path("a"), Pattern(3000));
        WriteSynced(dir.Path("b"), Pattern(2000));
        WriteSynced(dir.Path("c"), Pattern(1000));
        WipeQueue queue;
        for (const char* name : {"a", "b", "c"})
            queue.AddPath(dir.Path(name));
        RunRecord record;
        record.Begin(std::make_shared<RunSurvey>(queue), method, false);
        int passesOfB = 0;
        {
            AfterPassHook hook([&](const wxString& path) {
                if (path != wxString(dir.Path("b")))
                    return;
                if (method == WipeMethod::Random)
                    ASSERT_EQ(rename(dir.Path("b").c_str(), dir.Path("b-moved").c_str()), 0);
                else if (++passesOfB == 2)
                    Wiper::RequestStopNow();
            });
            std::unique_ptr<Wiper> wiper(method == WipeMethod::DoD ? static_cast<Wiper*>(new DoDWiper)
                                                                  : new RandomWiper);
            RunOnFreshThread(*wiper, queue);
        }
        const bool dod = method == WipeMethod::DoD;
        const RunTotals totals = Wiper::GetTotals();
        record.End(Wiper::GetOutcomes(), queue.Files(), dod, totals);
        const uint64_t expected = dod ? 3 * 3000 + 2 * 2000 : 3000 + 2000 + 1000;
        EXPECT_EQ(totals.bytesOverwritten, expected);
        EXPECT_EQ(totals.filesWiped, dod ? 1u : 2u);
        const std::string json(record.Json().utf8_str());
        EXPECT_NE(json.find("\"bytes_overwritten\": " + std::to_string(expected) + ", \"elapsed_ms\""),
                  std::string::npos)
            << json;
        // As the record words it: the decimal point whatever language an earlier test left.
        const wxString line = RunReport(Wiper::GetFailures(), totals, dod).SummaryLine(false);
        EXPECT_TRUE(line.StartsWith(dod ? "1 file wiped, 12.70 KB overwritten, in " : "2 files wiped, 5.86 KB overwritten, in "))
            << line;
        EXPECT_TRUE(record.Text().Contains("\n" + line + "\n")) << record.Text();
    }
}

// What vorlix-privileged tells the window of its free-space run comes back
// whole: every field, texts with newlines, backslashes and bytes that are not
// UTF-8 in a path; and nothing half-formed is taken for a result.
TEST(FreeSpaceLines, EveryFieldOfAResultRoundTripsAndMalformedLinesAreRefused)
{
    FreeSpaceWiper::Result sent;
    sent.bytesWritten = UINT64_MAX;
    sent.unreachedBytes = 670720;
    sent.filesMade = 6;
    sent.keptBackWritten = 2682880;
    sent.heldMilliseconds = 41;
    sent.leftoversRemoved = 2;
    sent.stopped = true;
    sent.removedAll = false;
    sent.failure = wxString::FromUTF8("Cannot write a fill file:\nNo space \\ left\t\xc3\xa9");
    sent.medium = StorageMedium::Kind::Flash;
    sent.discard = Discard::Outcome::NotFree;
    sent.discardedBytes = 4096;
    sent.periodicTrim = true;
    sent.journal = JournalPush::State::NotCleared;
    sent.filesystem.root = NativePath::Decode(std::string("/mnt/disk \xff\\n"));
    sent.filesystem.type = "ext4";
    sent.filesystem.id = 1792;
    sent.filesystem.freeBytes = 26448896;
    sent.filesystem.writableBytes = 25778176;
    sent.filesystem.blockSize = 1024;
    sent.filesystem.caveat = "network";
    sent.filesystem.system = true;
    sent.filesystem.freezable = true;
    sent.filesystem.inMemory = true;

    FreeSpaceLines reader;
    const std::string text = FreeSpaceLines::Progress(10, 20) + FreeSpaceLines::Result(sent);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        ASSERT_TRUE(reader.Read(line)) << line;
    ASSERT_TRUE(reader.HasResult());
    EXPECT_EQ(reader.Done(), 10u);
    EXPECT_EQ(reader.Total(), 20u);
    const FreeSpaceWiper::Result& got = reader.GetResult();
    EXPECT_EQ(got.bytesWritten, sent.bytesWritten);
    EXPECT_EQ(got.unreachedBytes, sent.unreachedBytes);
    EXPECT_EQ(got.filesMade, sent.filesMade);
    EXPECT_EQ(got.keptBackWritten, sent.keptBackWritten);
    EXPECT_EQ(got.heldMilliseconds, sent.heldMilliseconds);
    EXPECT_EQ(got.leftoversRemoved, sent.leftoversRemoved);
    EXPECT_EQ(got.stopped, sent.stopped);
    EXPECT_EQ(got.removedAll, sent.removedAll);
    EXPECT_EQ(got.failure, sent.failure);
    EXPECT_EQ(got.medium, sent.medium);
    EXPECT_EQ(got.discard, sent.discard);
    EXPECT_EQ(got.discardedBytes, sent.discardedBytes);
    EXPECT_EQ(got.periodicTrim, sent.periodicTrim);
    EXPECT_EQ(got.journal, sent.journal);
    EXPECT_EQ(got.filesystem.root, sent.filesystem.root);
    EXPECT_EQ(got.filesystem.type, sent.filesystem.type);
    EXPECT_EQ(got.filesystem.id, sent.filesystem.id);
    EXPECT_EQ(got.filesystem.freeBytes, sent.filesystem.freeBytes);
    EXPECT_EQ(got.filesystem.writableBytes, sent.filesystem.writableBytes);
    EXPECT_EQ(got.filesystem.blockSize, sent.filesystem.blockSize);
    EXPECT_EQ(got.filesystem.caveat, sent.filesystem.caveat);
    EXPECT_EQ(got.filesystem.system, sent.filesystem.system);
    EXPECT_EQ(got.filesystem.freezable, sent.filesystem.freezable);
    EXPECT_EQ(got.filesystem.inMemory, sent.filesystem.inMemory);
    EXPECT_FALSE(reader.Read("progress 1 2")) << "nothing comes after the end";

    // Each a fault of its own in an otherwise whole result.
    const FreeSpaceWiper::Result plain;
    const std::string whole = FreeSpaceLines::Result(plain);
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = whole;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::vector<std::string> malformed = {
        "progress 1\n", "progress -1 2\n", "progress 1 2 3\n", "progress 01 2\n", "progress 18446744073709551616 0\n",
        "hello\n", replaced("filesMade 0\n", ""), replaced("filesMade 0\n", "filesMade 0\nfilesMade 0\n"),
        replaced("stopped 0", "stopped 2"), replaced("medium unknown", "medium 0"),
        replaced("journal none", "journal"), replaced("fs.type \n", "fs.type \\q\n"),
        replaced("fs.type \n", "fs.type \\x4\n"), replaced("fs.type \n", "fs.type \xff\n"),
        replaced("fs.type \n", "fs.type a\tb\n"), replaced("fs.blockSize 4096", "fs.blockSize 4294967296"),
        replaced("end\n", "colour blue\nend\n"), replaced("end\n", ""),
    };
    for (const std::string& lines : malformed) {
        FreeSpaceLines broken;
        bool all = true;
        std::istringstream stream(lines);
        for (std::string line; std::getline(stream, line);)
            all = broken.Read(line) && all;
        EXPECT_FALSE(all && broken.HasResult()) << lines;
        EXPECT_FALSE(broken.HasResult()) << lines;
    }
}
