#include <gtest/gtest.h>

#include "db/Win1252.h"

namespace orvex::test {
namespace {

TEST(Win1252Test, AllByteValuesRoundTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    std::string back;
    EXPECT_TRUE(CWin1252::FromUtf8(CWin1252::ToUtf8(all), back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(CWin1252::ToUtf8("\x80"), "\xE2\x82\xAC") << "the euro sign";
    EXPECT_EQ(CWin1252::ToUtf8("\xE9"), "\xC3\xA9");
}

TEST(Win1252Test, ForeignTextIsReadAsWellAsItCanBe) {
    std::string bytes;
    EXPECT_FALSE(CWin1252::FromUtf8("\xE6\x97\xA5 ok", bytes)) << "a character 1252 lacks";
    EXPECT_EQ(bytes, "? ok");
    EXPECT_TRUE(CWin1252::FromUtf8("caf\xE9", bytes)) << "not UTF-8: the byte as it is";
    EXPECT_EQ(bytes, "caf\xE9");
    EXPECT_EQ(CWin1252::ByteFor(U'\u20AC'), 0x80);
    EXPECT_EQ(CWin1252::ByteFor(U'\u65E5'), -1);
    EXPECT_EQ(CWin1252::Lower(0xC9), 0xE9);
    EXPECT_EQ(CWin1252::Lower(0xD7), 0xD7) << "the multiplication sign is no letter";
}

}  // namespace
}  // namespace orvex::test
