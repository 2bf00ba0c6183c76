// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "engine/WipeQueue.h"
#include "engine/RandomWiper.h"
#include "platform/NativePath.h"
#include "support/TempDir.h"

namespace {

const std::string privateKey = "PRIVATE KEY";

// U+10002F, which the toolkit's own file-name conversion turns into '/'.
const std::string slashLookAlike = "\xF4\x80\x80\xAF";

}  // namespace

// Every name a folder can hold converts to one text and back to exactly its
// bytes, whatever the locale; a text that no name converts to is refused.
TEST(NativePath, EveryNameRoundTripsAndNoTextStandsForAnother)
{
    const std::vector<std::string> names = {
        "plain", "caf\xC3\xA9.txt", "caf\xC3\x83\xC2\xA9.txt", "bad\xFF", "\xC3", "\xED\xA0\x80",
        "\xF4\x90\x80\x80", "\xC0\xAF", "x" + slashLookAlike + ".." + slashLookAlike + ".ssh",
        "\xF4\x80\x81\x81", "\xE6\x96\x87\xFF\xFE"};
    for (const char* locale : {"C", "POSIX", "C.UTF-8"}) {
        ASSERT_TRUE(std::setlocale(LC_ALL, locale)) << locale;
        for (const std::string& name : names) {
            std::string back;
            ASSERT_TRUE(NativePath::Encode(NativePath::Decode(name), back)) << name;
            EXPECT_EQ(back, name) << locale;
        }
        // Escaped bytes that together spell UTF-8 would read back as "é".
        std::string bytes;
        EXPECT_FALSE(NativePath::Encode(wxString(wxUniChar(0xDCC3)) + wxUniChar(0xDCA9), bytes));
        EXPECT_FALSE(NativePath::Encode(wxString("a") + wxUniChar(0xD800), bytes));
        EXPECT_FALSE(NativePath::Encode(wxString("a") + wxUniChar(0) + "b", bytes));
    }
    std::setlocale(LC_ALL, "C.UTF-8");
}

// Names crafted to convert to other files' names: each wipe takes exactly its
// own file, under every locale.
TEST(NativePath, CraftedNamesWipeExactlyTheirOwnFile)
{
    for (const char* locale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(locale);
        ASSERT_TRUE(std::setlocale(LC_ALL, locale));
        TempDir dir;
        dir.Folder("home");
        dir.Folder("home/.ssh");
        dir.Folder("home/x");
        const std::string key = dir.File("home/.ssh/id_ed25519", privateKey);
        const std::string crafted = dir.File(
            "home/x" + slashLookAlike + ".." + slashLookAlike + ".." + slashLookAlike + ".ssh" + slashLookAlike + "id_ed25519",
            "crafted");
        const std::string a = dir.File("home/A", "plain A");
        const std::string lookAlikeA = dir.File("home/\xF4\x80\x81\x81", "U+100041");
        const std::string latin = dir.File("home/caf\xC3\x83\xC2\xA9.txt", "mojibake");
        const std::string cafe = dir.File("home/caf\xC3\xA9.txt", "cafe");
        const std::string notUtf8 = dir.File("home/bad\xFF", "not UTF-8");

        for (const std::string& target : {crafted, lookAlikeA, cafe, notUtf8}) {
            WipeQueue queue;
            // As the command line and the folder walk hand it over: the raw bytes.
            ASSERT_TRUE(queue.AddPath(NativePath::Decode(target)));
            RandomWiper().Wipe(&queue);
            EXPECT_FALSE(Exists(target));
        }
        // The toolkit's dialogs and drops mark a byte that is not UTF-8 as
        // U+100000 + byte; that reading is taken only where it names a file.
        const wxString marked = NativePath::Decode(dir.Path("home/bad")) + wxUniChar(0x1000FF);
        WriteFile(notUtf8, "not UTF-8");
        EXPECT_EQ(NativePath::FromToolkit(marked), NativePath::Decode(notUtf8));
        const wxString lookAlike = NativePath::Decode(crafted);
        EXPECT_EQ(NativePath::FromToolkit(lookAlike), lookAlike);

        EXPECT_EQ(ReadFile(key), privateKey);
        EXPECT_EQ(ReadFile(a), "plain A");
        EXPECT_EQ(ReadFile(latin), "mojibake");
    }
    std::setlocale(LC_ALL, "C.UTF-8");
}
