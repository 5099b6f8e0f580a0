#include "ui/FieldCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace orvex {
namespace {

using C = CFieldCheck;

TEST(FieldCheckTest, EmptyTextPassesEveryCheck) {
    EXPECT_TRUE(C::IsValidText(""));
    EXPECT_TRUE(C::IsValidAddress(""));
    EXPECT_TRUE(C::IsValidPhone(""));
}

TEST(FieldCheckTest, PhoneSetTakesDigitsBracketsHyphenAndSmallX) {
    for (const char* good : {"555-1234x12", "(555)123-4567", "12x", "12345-6789", "0123456789"}) {
        EXPECT_TRUE(C::IsValidPhone(good)) << good;
    }
    for (const char* bad : {" ", "+", ".", "X", "(555) 123-4567", "+1 555", "555.1234", "12X",
                            "SW1A 1AA", "1234A", "555/1234", "555-1234 "}) {
        EXPECT_FALSE(C::IsValidPhone(bad)) << bad;
    }
    EXPECT_FALSE(C::IsValidPhone("\xE9"));
}

TEST(FieldCheckTest, AddressSetRefusesBlanksAnywhere) {
    for (const char* good :
         {"john.doe-1_x@pager.example", "5551234@pager", "\xE9", "a!#$%&'*+/="}) {
        EXPECT_TRUE(C::IsValidAddress(good)) << good;
    }
    for (const char* bad : {" ", " a@b", "a @b", "a@b ", "a\tb", "a\r\nb"}) {
        EXPECT_FALSE(C::IsValidAddress(bad)) << bad;
    }
}

TEST(FieldCheckTest, TextSetRefusesControlCharactersOnly) {
    for (const char* good : {"Hello, World! #1 (ok)", " ", "\xE9t\xE9", "~\x7F"}) {
        EXPECT_TRUE(C::IsValidText(good)) << good;
    }
    // The multi-line fields hand their line breaks over as CR LF: both halves are controls.
    for (const char* bad : {"a\tb", "1 Main St\r\nApt 2", "a\nb", "a\rb", "\x1F", "\x01"}) {
        EXPECT_FALSE(C::IsValidText(bad)) << bad;
    }
    EXPECT_FALSE(C::IsValidText(std::string("a\0b", 3)));
}

TEST(FieldCheckTest, UpperHalfOfTheCodePagePassesTextAndAddress) {
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string text(1, static_cast<char>(b));
        EXPECT_TRUE(C::IsValidText(text)) << b;
        EXPECT_TRUE(C::IsValidAddress(text)) << b;
        EXPECT_FALSE(C::IsValidPhone(text)) << b;
    }
}

TEST(FieldCheckTest, EveryByteBelowTheBlankFailsTextAndAddress) {
    for (int b = 0x00; b < 0x20; ++b) {
        const std::string text = "a" + std::string(1, static_cast<char>(b)) + "b";
        EXPECT_FALSE(C::IsValidText(text)) << b;
        EXPECT_FALSE(C::IsValidAddress(text)) << b;
    }
    EXPECT_TRUE(C::IsValidText("a b"));
    EXPECT_FALSE(C::IsValidAddress("a b"));
}

TEST(FieldCheckTest, EachColumnHasItsCheck) {
    for (const char* column : {"strWAddr", "strWEmail", "strHEmail"}) {
        EXPECT_EQ(C::CheckOf(column), C::kAddress) << column;
    }
    for (const char* column : {"strHPhone", "strWPhone", "strMPhone", "strFax", "strZip"}) {
        EXPECT_EQ(C::CheckOf(column), C::kPhone) << column;
    }
    for (const char* column :
         {"strFName", "strLName", "strCompany", "strStreet", "strCity", "strState", "strNote"}) {
        EXPECT_EQ(C::CheckOf(column), C::kText) << column;
    }
    EXPECT_TRUE(C::IsValid(C::kPhone, "12x"));
    EXPECT_FALSE(C::IsValid(C::kPhone, "12 x"));
    EXPECT_FALSE(C::IsValid(C::kAddress, "a b"));
    EXPECT_TRUE(C::IsValid(C::kText, "a b"));
}

}  // namespace
}  // namespace orvex
