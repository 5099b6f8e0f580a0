#include <gtest/gtest.h>

#include <QString>
#include <string>

#include "ui/QtText.h"

namespace orvex {
namespace {

TEST(QtTextTest, EveryByteValueGoesThereAndBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const QString text = CQtText::ToQString(all);
    EXPECT_EQ(text.size(), 256);
    std::string back;
    EXPECT_TRUE(CQtText::FromQString(text, back));
    EXPECT_EQ(back, all);
}

TEST(QtTextTest, WindowsCharactersBecomeTheirOwnCharacters) {
    EXPECT_EQ(CQtText::ToQString("caf\xE9 \x80"), QString::fromUtf8("caf\u00e9 \u20ac"));
    std::string bytes;
    EXPECT_TRUE(CQtText::FromQString(QString::fromUtf8("\u201cM\u00fcller\u201d"), bytes));
    EXPECT_EQ(bytes, "\x93M\xFCller\x94");
}

TEST(QtTextTest, ACharacterWithoutAByteFails) {
    std::string bytes;
    EXPECT_FALSE(CQtText::FromQString(QString::fromUtf8("\u03a9mega"), bytes));
    EXPECT_EQ(bytes, "?mega");
    EXPECT_TRUE(CQtText::FromQString(QString(), bytes));
    EXPECT_EQ(bytes, "");
}

}  // namespace
}  // namespace orvex
