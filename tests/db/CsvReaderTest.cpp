#include <gtest/gtest.h>

#include "db/CsvReader.h"

namespace orvex::test {
namespace {

using Record = CCsvReader::Record;

TEST(CsvReaderTest, SplitsRecordsAsTheExportWritesThem) {
    std::vector<Record> records;
    std::string error;
    ASSERT_TRUE(
        CCsvReader::Parse("1,,\"a,b\",\"say \"\"hi\"\"\", x ,\"\"\r\n"
                          "\r\n"
                          "\"multi\r\nline\",last",
                          records, error))
        << error;
    ASSERT_EQ(records.size(), 2u) << "the blank line holds no record; the last needs no line end";
    EXPECT_EQ(records[0], (Record{"1", std::nullopt, "a,b", "say \"hi\"", " x ", std::nullopt}))
        << "blanks of a bare field are kept; an empty field has no value, quoted or not";
    EXPECT_EQ(records[1], (Record{"multi\r\nline", "last"}));
    // A lone line feed ends a record too, and a byte above 0x7F is just a byte.
    ASSERT_TRUE(CCsvReader::Parse("a\nb\xE9\n", records, error));
    EXPECT_EQ(records, (std::vector<Record>{{"a"}, {"b\xE9"}}));
}

TEST(CsvReaderTest, MalformedQuotingFailsAndNamesTheRecord) {
    std::vector<Record> records;
    std::string error;
    EXPECT_FALSE(CCsvReader::Parse("h\r\n1,\"open\r\n2,3\r\n", records, error));
    EXPECT_NE(error.find("record 2"), std::string::npos) << error;
    EXPECT_NE(error.find("not closed"), std::string::npos) << error;
    EXPECT_TRUE(records.empty());
    EXPECT_FALSE(CCsvReader::Parse("h\r\n1,a\"b\r\n", records, error));
    EXPECT_FALSE(CCsvReader::Parse("\"a\"b,c\r\n", records, error));
    EXPECT_FALSE(CCsvReader::ReadFile("/nonexistent/orvex.csv", records, error));
    EXPECT_NE(error.find("/nonexistent/orvex.csv"), std::string::npos);
}

}  // namespace
}  // namespace orvex::test
