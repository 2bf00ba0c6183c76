#include <gtest/gtest.h>

#include "HandOffMessage.h"

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
    // A name whose bytes are not UTF-8 has no form to send.
    EXPECT_TRUE(HandOffMessage::Encode(wxString("/tmp/a") + wxUniChar(0xDCFF)).empty());
}
