// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/arrstr.h>

#include "cli/ProgressLine.h"
#include "cli/WipeOptions.h"
#include "engine/ShellQuote.h"

#include <clocale>

namespace {

WipeOptions Parse(std::vector<wxString> args)
{
    return WipeOptions::Parse(args);
}

}  // namespace

TEST(WipeOptions, ReadsEveryOptionInBothSpellings)
{
    const WipeOptions a = Parse({"-rnq", "--method", "dod", "--free-space=/mnt", "x"});
    EXPECT_EQ(a.action, WipeOptions::Action::Wipe);
    EXPECT_TRUE(a.recursive && a.dryRun && a.quiet);
    EXPECT_EQ(a.method, WipeMethod::DoD);
    EXPECT_EQ(a.freeSpaceFolder, "/mnt");
    EXPECT_EQ(a.paths, std::vector<wxString>{"x"});

    const WipeOptions b = Parse({"--recursive", "--verify", "--method=random", "--report", "r.json", "a", "b"});
    EXPECT_TRUE(b.recursive && b.verify);
    EXPECT_FALSE(b.dryRun || b.quiet);
    EXPECT_EQ(b.method, WipeMethod::Random);
    EXPECT_EQ(b.reportFile, "r.json");
    EXPECT_EQ(b.paths, (std::vector<wxString>{"a", "b"}));

    // A free-space wipe alone needs no path.
    EXPECT_EQ(Parse({"--free-space", "/"}).action, WipeOptions::Action::Wipe);

    // As getopt_long reads them: the start of one option's name stands for it.
    const WipeOptions c = Parse({"--meth", "dod", "--rec", "--dry", "--fr=/mnt", "--veri", "x"});
    EXPECT_EQ(c.action, WipeOptions::Action::Wipe) << c.error;
    EXPECT_TRUE(c.recursive && c.dryRun && c.verify);
    EXPECT_EQ(c.method, WipeMethod::DoD);
    EXPECT_EQ(c.freeSpaceFolder, "/mnt");

    const WipeOptions d = Parse({"-rzvf", "x"});
    EXPECT_TRUE(d.recursive && d.zero && d.verbose && d.force) << d.error;
    const WipeOptions e = Parse({"--zero", "--verb", "--force", "--files0-from", "-"});
    EXPECT_EQ(e.action, WipeOptions::Action::Wipe) << e.error;
    EXPECT_TRUE(e.zero && e.verbose && e.force);
    EXPECT_FALSE(e.recursive);
    EXPECT_TRUE(d.namesFrom.empty());
    EXPECT_EQ(e.namesFrom, "-");
    EXPECT_TRUE(e.paths.empty());
    EXPECT_EQ(Parse({"--files0=list"}).namesFrom, "list");
}

TEST(WipeOptions, EverythingAfterTheDoubleDashIsAPath)
{
    const WipeOptions options = Parse({"-r", "--", "-rf", "--help", "--"});
    EXPECT_EQ(options.action, WipeOptions::Action::Wipe);
    EXPECT_EQ(options.paths, (std::vector<wxString>{"-rf", "--help", "--"}));
    // The value of an option is taken whatever it looks like.
    EXPECT_EQ(Parse({"--report", "-n", "x"}).reportFile, "-n");
    EXPECT_EQ(Parse({"-"}).paths, std::vector<wxString>{"-"});
}

TEST(WipeOptions, RefusesWhatItCannotDoBeforeAnythingIsTouched)
{
    for (const std::vector<wxString>& args : std::vector<std::vector<wxString>>{
             {}, {"-rfy", "x"}, {"--force=yes", "x"}, {"--files0-from=l", "x"}, {"--files0-from="},
             {"--files0-from=a", "--files0-from=b"}, {"-z"}, {"--method", "gost", "x"}, {"--method"}, {"x", "--report"},
             {"--report=", "x"}, {"--quiet=yes", "x"}, {"-n", "--report", "r", "x"}, {"-r", "-q"}}) {
        const WipeOptions options = Parse(args);
        EXPECT_EQ(options.action, WipeOptions::Action::Invalid) << wxJoin(wxArrayString(args.size(), args.data()), ' ');
        EXPECT_FALSE(options.error.empty());
    }
    // Each says what was wrong: an unknown name is unknown whatever follows it,
    // a start shared by several names is ambiguous, and one free-space wipe is
    // all a run can do.
    EXPECT_EQ(Parse({"--bogus=1", "x"}).error, "unknown option --bogus");
    EXPECT_EQ(Parse({"--re", "x"}).error, "option --re is ambiguous (--recursive, --report)");
    EXPECT_EQ(Parse({"--ver", "x"}).error, "option --ver is ambiguous (--verify, --version, --verbose)");
    EXPECT_EQ(Parse({"--rec=yes", "x"}).error, "option --recursive takes no value");
    // As du and wc: names come from the list or from the arguments, never both.
    EXPECT_EQ(Parse({"--files0-from=l", "--", "*"}).error, "a path cannot be given with --files0-from: *");
    EXPECT_EQ(Parse({"--free-space", "/a", "--free=/b"}).action, WipeOptions::Action::Invalid);
    // Help and the version win over everything else but a usage error before them.
    EXPECT_EQ(Parse({"x", "--help"}).action, WipeOptions::Action::Help);
    EXPECT_EQ(Parse({"--version"}).action, WipeOptions::Action::Version);
}

TEST(WipeOptions, ReadsAWholeDriveWipeBesideTheFilesVerifyFlag)
{
    const WipeOptions a = Parse({"--drive", "/dev/loop3", "--yes-wipe-loop3", "--verify=sample", "--certificate=c.json"});
    EXPECT_EQ(a.action, WipeOptions::Action::Wipe) << a.error;
    EXPECT_EQ(a.drive, "/dev/loop3");
    EXPECT_EQ(a.confirmedName, "loop3");
    EXPECT_EQ(a.driveVerify, DriveWiper::Verification::Sample);
    EXPECT_EQ(a.certificateFile, "c.json");
    EXPECT_EQ(Parse({"--drive=/dev/sdb", "--verify=none"}).driveVerify, DriveWiper::Verification::None);
    EXPECT_EQ(Parse({"--drive=/dev/sdb"}).driveVerify, DriveWiper::Verification::All);
    EXPECT_EQ(Parse({"--list-drives"}).action, WipeOptions::Action::Wipe);
    // A bare --verify is still the files' flag, and a word after it still a path.
    const WipeOptions files = Parse({"--verify", "all"});
    EXPECT_TRUE(files.verify);
    EXPECT_EQ(files.paths, std::vector<wxString>{"all"});
    // The confirmation is never taken from a shortened or guessed name, and
    // a drive goes alone.
    for (const std::vector<wxString>& args : std::vector<std::vector<wxString>>{
             {"--drive", "/dev/sdb", "x"}, {"--drive", "/dev/sdb", "--free-space", "/"}, {"--yes-wipe-sdb", "x"},
             {"--drive", "/dev/sdb", "--verify=most"}, {"--list-drives", "--drive", "/dev/sdb"},
             {"--drive", "/dev/sdb", "-n", "--certificate", "c"}, {"--certificate", "c", "x"},
             {"--drive", "/dev/sdb", "--yes-wipe-sdb", "--yes-wipe-sdc"}, {"--drive", "/dev/sdb", "--yes-wipe-sdb=1"},
             {"--drive", "/dev/sdb", "--report", "r"}, {"--drive"}}) {
        const WipeOptions options = Parse(args);
        EXPECT_EQ(options.action, WipeOptions::Action::Invalid) << wxJoin(wxArrayString(args.size(), args.data()), ' ');
    }
}

TEST(ProgressLine, SaysFilesBytesRateAndTimeLeftOnlyWhenKnown)
{
    EXPECT_EQ(ProgressLine::Text(3, 10, 100 << 20, 400 << 20, 2000),
              "3/10 files, 100.00 MB of 400.00 MB, 50.00 MB/s, 6.0 s left");
    // Nothing written yet: no rate to tell the time left by.
    EXPECT_EQ(ProgressLine::Text(0, 2, 0, 1024, 500), "0/2 files, 0 B of 1.00 KB");
    // The free-space wipe has no files, and no total before it has measured.
    EXPECT_EQ(ProgressLine::Text(0, 0, 2 << 20, 0, 1000), "2.00 MB, 2.00 MB/s");
    // A queue that grew past its total shows no total and no time left.
    EXPECT_EQ(ProgressLine::Text(5, 5, 3000, 2048, 1000), "5/5 files, 2.93 KB, 2.93 KB/s");
    // A step after the bytes has its own share, never 100 % before the end.
    EXPECT_EQ(ProgressLine::StepText("Clearing the journal...", 1024, 4096), "Clearing the journal... 25%");
    EXPECT_EQ(ProgressLine::StepText("Clearing the journal...", 4096, 4096), "Clearing the journal... 99%");
    EXPECT_EQ(ProgressLine::StepText("Clearing the journal...", 0, 0), "Clearing the journal...");
}

// Names as `ls --quoting-style=shell-escape` prints them under C.UTF-8
// (wipe_cli.sh compares the real ls); U+DC00 + b is the byte b that is no text.
TEST(ShellQuote, PrintsNamesAsTheShellReadsThem)
{
    const char* const saved = setlocale(LC_CTYPE, nullptr);
    const std::string before = saved ? saved : "C";
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    const wxString invalid(wxUniChar(0xDCFF)), lone85(wxUniChar(0xDC85));
    const std::vector<std::pair<wxString, std::string>> table{
        {"plain-name_1.txt", "plain-name_1.txt"},
        {"", "''"},
        {"a b", "'a b'"},
        {"a\nb", "'a'$'\\n''b'"},
        {"\x01", "''$'\\001'"},
        {"\x01\x02z", "''$'\\001\\002''z'"},
        {"a" + invalid + "b", "'a'$'\\377''b'"},
        {wxString::FromUTF8("caf\xc3\xa9"), "caf\xc3\xa9"},
        {wxString::FromUTF8("\xc2\x85"), "''$'\\302\\205'"},  // U+0085 is no printable character
        {"it's", "\"it's\""},
        {wxString::FromUTF8("it's caf\xc3\xa9"), "\"it's caf\xc3\xa9\""},
        {"it's!", "'it'\\''s!'"},
        {"it's" + lone85, "'''it'\\''s'$'\\205'"},
        {"a'" + lone85 + "b", "'a'\\'''$'\\205''b'"},
        {"'\n", "''\\'''$'\\n'"},
        {"~a", "'~a'"}, {"a~", "a~"}, {"#a", "'#a'"}, {"a#", "a#"}, {"~it's", "\"~it's\""},
        {"{", "'{'"}, {"{}", "{}"}, {"a=b", "'a=b'"}, {"a\\b", "'a\\b'"}, {"?", "'?'"}, {"@a", "@a"},
        {"-rf", "-rf"}, {"x]", "x]"}, {"[x", "'[x'"}, {"\x7f", "''$'\\177'"},
    };
    for (const auto& [name, shown] : table)
        EXPECT_EQ(ShellQuote::Of(name).utf8_string(), shown) << shown;
    // Where ls itself goes wrong (it drops the $' of a leading escape), the
    // text still reads back as the name.
    EXPECT_EQ(ShellQuote::Of("\n'\n").utf8_string(), "''$'\\n'\\'''$'\\n'");
    // Under the C locale only ASCII is shown as it is.
    setlocale(LC_CTYPE, "C");
    EXPECT_EQ(ShellQuote::Of(wxString::FromUTF8("caf\xc3\xa9")).utf8_string(), "'caf'$'\\303\\251'");
    setlocale(LC_CTYPE, before.c_str());
}
