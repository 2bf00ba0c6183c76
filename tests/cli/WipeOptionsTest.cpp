#include <gtest/gtest.h>
#include <wx/arrstr.h>

#include "cli/ProgressLine.h"
#include "cli/WipeOptions.h"

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
             {}, {"-rf", "x"}, {"--force", "x"}, {"--method", "gost", "x"}, {"--method"}, {"x", "--report"},
             {"--report=", "x"}, {"--quiet=yes", "x"}, {"-n", "--report", "r", "x"}, {"-r", "-q"}}) {
        const WipeOptions options = Parse(args);
        EXPECT_EQ(options.action, WipeOptions::Action::Invalid) << wxJoin(wxArrayString(args.size(), args.data()), ' ');
        EXPECT_FALSE(options.error.empty());
    }
    // Help and the version win over everything else but a usage error before them.
    EXPECT_EQ(Parse({"x", "--help"}).action, WipeOptions::Action::Help);
    EXPECT_EQ(Parse({"--version"}).action, WipeOptions::Action::Version);
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
}
