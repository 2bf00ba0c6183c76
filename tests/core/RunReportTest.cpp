// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>

#include "engine/RunRecord.h"
#include "engine/RunReport.h"

namespace {

// Where the system's thumbnail cache cannot be cleared file by file (Windows),
// a run that wiped files says how to clear it, under its summary.
wxString PicturesLine()
{
    return DesktopTraces::KeepsPictures() ? "\nExplorer may still keep small pictures of wiped pictures in its thumbnail "
                                            "cache: to clear it, run Disk Cleanup and select \"Thumbnails\"."
                                          : "";
}

}  // namespace

TEST(RunReport, GroupsTheFilesNotWipedByReasonWithACountEach)
{
    // In the order the run met them; only some reasons say more with the system's text.
    const std::vector<FailedEntry> failures = {
        {"/q/a", WipeFailure::NotFound, "No such file or directory"},
        {"/q/stopped", WipeFailure::Stopped, ""},
        {"/q/b", WipeFailure::NotFound, ""},
        {"/ro/kept", WipeFailure::DeleteFailed, "Permission denied"},
        {"/q/c", WipeFailure::NotFound, ""},
    };
    const RunReport report(failures, RunTotals{2, 1536, 300}, false);
    EXPECT_EQ(report.Message(),
              "Wiping process completed!\n"
              "2 files wiped, 1.50 KB overwritten, in 0.3 s."
                  + PicturesLine()
                  + "\n"
                    "\n"
                    "5 file(s) could not be wiped:\n"
              "\n"
              "Not found (3):\n/q/a\n/q/b\n/q/c\n"
              "\n"
              "Overwritten, but could not be deleted (1):\n/ro/kept (Permission denied)\n"
              "\n"
              "Stopped while being overwritten, left partly overwritten (1):\n/q/stopped");
    EXPECT_EQ(report.Caption(), "Completed!");
    EXPECT_EQ(report.StatusText(), "Completed");
    EXPECT_FALSE(report.AllWiped());

    // Two groups share the box: each names its first ten.
    std::vector<FailedEntry> many;
    for (int i = 0; i < 23; ++i)
        many.push_back({wxString::Format("/m/%d", i), WipeFailure::NotFound, ""});
    many.push_back({"/m/link", WipeFailure::Link, ""});
    const wxString text = RunReport(many, RunTotals{}, false).Message();
    EXPECT_TRUE(text.Contains("Not found (23):\n/m/0\n")) << text;
    EXPECT_TRUE(text.Contains("\n/m/9\nand 13 more\n\nA link, which is never followed (1):\n/m/link")) << text;
    EXPECT_FALSE(text.Contains("/m/10\n")) << text;
}

TEST(RunReport, SummaryLineSaysFilesBytesAndTime)
{
    EXPECT_EQ(RunReport({}, RunTotals{1, 300, 40}, false).SummaryLine(), "1 file wiped, 300 B overwritten, in under 0.1 s.");
    EXPECT_EQ(RunReport({}, RunTotals{0, 0, 0}, false).SummaryLine(), "0 files wiped, 0 B overwritten, in under 0.1 s.");
    EXPECT_EQ(RunReport({}, RunTotals{3, 5 << 20, 125400}, false).SummaryLine(),
              "3 files wiped, 5.00 MB overwritten, in 2 min 5 s.");
    EXPECT_EQ(RunReport::DurationText(59949), "59.9 s");
    EXPECT_EQ(RunReport::DurationText(3723000), "1 h 2 min");

    const RunReport all({}, RunTotals{1, 10, 0}, false);
    EXPECT_EQ(all.Message(), "Wiping process completed!\n1 file wiped, 10 B overwritten, in under 0.1 s." + PicturesLine());
    EXPECT_TRUE(all.AllWiped());
    const RunReport stopped({{"/big", WipeFailure::Stopped, ""}}, RunTotals{}, true);
    EXPECT_TRUE(stopped.Message().StartsWith("Wiping process stopped!\n0 files wiped")) << stopped.Message();
    EXPECT_EQ(stopped.Caption(), "Stopped!");
    EXPECT_EQ(stopped.StatusText(), "Stopped");
    EXPECT_EQ(stopped.PicturesLine(), "");

    // A journal the run left uncleared (stopped in its push) is said under
    // the summary; one cleared, or none, is not.
    RunTotals uncleared{1, 10, 0};
    uncleared.journal = JournalPush::State::NotCleared;
    const wxString journalLine = "The filesystem's journal was not cleared: it may still hold the names of the wiped "
                                 "files, and their data where it keeps data.";
    EXPECT_EQ(RunReport({}, uncleared, true).Message(),
              "Wiping process stopped!\n1 file wiped, 10 B overwritten, in under 0.1 s.\n" + journalLine + PicturesLine());
    EXPECT_EQ(RunReport({}, uncleared, true).JournalLine(false), journalLine);
    uncleared.journal = JournalPush::State::Cleared;
    EXPECT_EQ(RunReport({}, uncleared, false).JournalLine(), "");
}

// Each kind removed is counted in one line, in the box's language and in the
// records' English; a run that removed none has no line.
TEST(RunReport, TracesLineCountsEachKindRemoved)
{
    RunTotals totals{2, 10, 0};
    EXPECT_EQ(RunReport({}, totals, false).TracesLine(), "");
    totals.shortcutsRemoved = 1;
    EXPECT_EQ(RunReport({}, totals, false).TracesLine(), "Also removed: 1 shortcut");
    totals.thumbnailsRemoved = 1;
    totals.recentRemoved = 2;
    totals.shortcutsRemoved = 3;
    EXPECT_EQ(RunReport({}, totals, false).TracesLine(false),
              "Also removed: 1 thumbnail, 2 recent-files entries, 3 shortcuts");
}

TEST(RunReport, EveryReasonHasWordsOfItsOwnAndALogLine)
{
    std::set<wxString> texts, codes;
    // VerificationFailed is the last reason.
    for (int reason = int(WipeFailure::None); reason <= int(WipeFailure::VerificationFailed); ++reason) {
        texts.insert(RunReport::ReasonText(static_cast<WipeFailure>(reason)));
        // The report's names are distinct too, and only None has none.
        codes.insert(RunRecord::ReasonCode(static_cast<WipeFailure>(reason)));
    }
    EXPECT_EQ(texts.size(), size_t(int(WipeFailure::VerificationFailed) + 1));
    EXPECT_EQ(codes.size(), texts.size());
    EXPECT_EQ(RunRecord::ReasonCode(WipeFailure::None), "");

    EXPECT_EQ(RunReport::LogLine({"/full/disk", WipeFailure::OverwriteFailed, "No space left on device"}),
              "Not wiped (could not be overwritten, some old content may remain: No space left on device): "
              "/full/disk");
    EXPECT_EQ(RunReport::LogLine({"/gone", WipeFailure::NotFound, "No such file or directory"}),
              "Not wiped (not found): /gone");
}

// Files on flash are listed with what a file wipe cannot reach there and what
// was done about their blocks, one sentence per outcome; a drive that could
// not be told is said as such; spinning disks and memory add nothing.
TEST(RunReport, SaysWhatOverwritingCannotReachOnFlashAndWhatWasDiscarded)
{
    using Kind = StorageMedium::Kind;
    using Outcome = Discard::Outcome;
    const std::vector<FileOutcome> wiped = {
        {QueuedFile::Named("/ssd/a"), 0, 0, WipeFailure::None, "", Kind::Flash, Outcome::Discarded, 1536},
        {QueuedFile::Named("/hdd/b"), 0, 0, WipeFailure::None, "", Kind::Spinning, Outcome::NotAsked, 0},
        {QueuedFile::Named("/ssd/c"), 0, 0, WipeFailure::None, "", Kind::Flash, Outcome::Deferred, 0},
        {QueuedFile::Named("/tmp/d"), 0, 0, WipeFailure::None, "", Kind::Memory, Outcome::NotAsked, 0},
        {QueuedFile::Named("/net/e"), 0, 0, WipeFailure::None, "", Kind::Unknown, Outcome::NotAsked, 0},
        {QueuedFile::Named("/ssd/f"), 0, 0, WipeFailure::None, "", Kind::Flash, Outcome::Discarded, 512},
    };
    RunTotals totals{6, 6000, 100};
    EXPECT_EQ(RunReport({}, totals, false, wiped).Message(),
              "Wiping process completed!\n"
              "6 files wiped, 5.86 KB overwritten, in 0.1 s."
                  + PicturesLine()
                  + "\n"
                    "\n"
                    "On flash storage (3):\n/ssd/a\n/ssd/c\n/ssd/f\n"
              "The drive may keep old copies of these files in cells that overwriting cannot reach.\n"
              "2 of them: Vorlix asked the drive to discard the wiped blocks (2.00 KB).\n"
              "1 of them: the wiped blocks will be discarded at the system's next fstrim run, but "
              "fstrim.timer is not enabled: run fstrim as root to discard them.\n"
              "Full-disk encryption, or the drive's own secure erase, protects what a file wipe cannot reach.\n"
              "\n"
              "On a drive of unknown kind (1):\n/net/e\n"
              "Vorlix could not tell whether this drive is flash storage, which may keep old copies that "
              "overwriting cannot reach.");
    totals.periodicTrim = true;
    const wxString deferred = RunReport({}, totals, false, {wiped[2]}).MediumText();
    EXPECT_TRUE(deferred.Contains("\nThe wiped blocks will be discarded at the system's next fstrim run "
                                  "(fstrim.timer is enabled).\n"))
        << deferred;
    EXPECT_EQ(RunReport({}, totals, false, {wiped[1], wiped[3]}).MediumText(), "");
}
