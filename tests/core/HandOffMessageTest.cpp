// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "shell/HandOffMessage.h"

TEST(HandOffMessage, CarriesAnyPathAsItsUtf8Bytes)
{
    const wxString paths[] = {"/tmp/a.txt", wxString::FromUTF8("/tmp/gr\xC3\xBC\xC3\x9F" "e/\xE6\x96\x87.txt"),
                              "/" + wxString('x', 4000)};
    for (const wxString& path : paths) {
        const std::string bytes = HandOffMessage::Encode(path);
        EXPECT_EQ(bytes, std::string(path.utf8_str()));
        EXPECT_EQ(HandOffMessage::Decode(bytes), path);
    }
}

TEST(HandOffMessage, DropsEmptyOversizedAndMalformedMessages)
{
    EXPECT_TRUE(HandOffMessage::Decode("").empty());
    EXPECT_TRUE(HandOffMessage::Decode(std::string(HandOffMessage::maxBytes + 1, 'a')).empty());
    EXPECT_FALSE(HandOffMessage::Decode("/" + std::string(HandOffMessage::maxBytes - 1, 'a')).empty());
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xC3(").empty());        // broken sequence
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xFF\xFE").empty());     // not UTF-8 at all
    EXPECT_TRUE(HandOffMessage::Decode(std::string("/tmp/a\0b", 8)).empty());
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xED\xA0\x80").empty());      // an encoded surrogate
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xF4\x90\x80\x80").empty());  // above U+10FFFF
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xC0\xAF").empty());          // an overlong '/'
    // Read against this instance's working folder, it would name another file.
    EXPECT_TRUE(HandOffMessage::Decode("relative/file").empty());
    // Surrogates that stand for no byte 0x80-0xFF: U+DC00 + 0x00, + 0x7F, U+DD00.
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xED\xB0\x80").empty());
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xED\xB1\xBF").empty());
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xED\xB4\x80").empty());
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xED\xB2").empty());  // cut short
}

// Bytes that are not UTF-8 travel as the surrogates that stand for them, and
// only in the form a folder listing gives: one name, one message.
TEST(HandOffMessage, CarriesNamesThatAreNotUtf8AsTheirStandIns)
{
    const wxString path = wxString("/tmp/a") + wxUniChar(0xDCFF) + wxUniChar(0xDCFE) + wxString::FromUTF8("\xC3\xA9");
    const std::string bytes = HandOffMessage::Encode(path);
    EXPECT_EQ(bytes, "/tmp/a\xED\xB3\xBF\xED\xB3\xBE\xC3\xA9");
    EXPECT_EQ(HandOffMessage::Decode(bytes), path);

    // C3 A9 as two stand-ins would read back as the text "é": another name.
    const wxString mojibake = wxString("/tmp/") + wxUniChar(0xDCC3) + wxUniChar(0xDCA9);
    EXPECT_TRUE(HandOffMessage::Encode(mojibake).empty());
    EXPECT_TRUE(HandOffMessage::Decode("/tmp/\xED\xB3\x83\xED\xB2\xA9").empty());
    // A lone C3 that no continuation follows stays a byte of its own.
    EXPECT_EQ(HandOffMessage::Decode("/tmp/\xED\xB3\x83"), wxString("/tmp/") + wxUniChar(0xDCC3));
    // Broken text stands for no byte: it cannot travel.
    EXPECT_TRUE(HandOffMessage::Encode(wxString("/tmp/a") + wxUniChar(0xD800)).empty());
    EXPECT_TRUE(HandOffMessage::Encode(wxString("/tmp/a") + wxUniChar(0xDC41)).empty());
}
