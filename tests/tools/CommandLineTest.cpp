// The options of orvex-pager-sim.
#include <gtest/gtest.h>

#include "tools/sim/CommandLine.h"

using namespace sim;

namespace {

std::string Parse(const std::vector<std::string>& args, SSimOptions& options) {
    return CCommandLine::Parse(args, options);
}

}  // namespace

TEST(SimCommandLine, EveryOptionInBothSpellings) {
    SSimOptions options;
    ASSERT_EQ(Parse({"--book", "b.txt", "--upload-out=u.txt", "--link", "/tmp/com1",
                     "--capacity=65535", "--locked", "--silent-after-records", "0",
                     "--bad-checksum-frame=3", "--garbage", "16", "--silent", "--verbose"},
                    options),
              "");
    EXPECT_EQ(options.bookPath, "b.txt");
    EXPECT_EQ(options.uploadOut, "u.txt");
    EXPECT_EQ(options.linkPath, "/tmp/com1");
    EXPECT_EQ(options.capacity, 65535);
    EXPECT_TRUE(options.faults.locked);
    EXPECT_EQ(options.faults.silentAfterRecords, 0u);
    EXPECT_EQ(options.faults.badChecksumFrame, 3u);
    EXPECT_EQ(options.faults.garbageBytes, 16u);
    EXPECT_TRUE(options.faults.silent);
    EXPECT_TRUE(options.verbose);
    EXPECT_FALSE(options.help);
}

TEST(SimCommandLine, NoOptionsMeansNoFaults) {
    SSimOptions options;
    ASSERT_EQ(Parse({}, options), "");
    EXPECT_EQ(options.bookPath, "");
    EXPECT_FALSE(options.capacity.has_value());
    EXPECT_FALSE(options.faults.silentAfterRecords.has_value());
    EXPECT_EQ(options.faults.badChecksumFrame, 0u);
    EXPECT_EQ(options.faults.garbageBytes, 0u);
    EXPECT_FALSE(options.faults.locked || options.faults.silent);

    ASSERT_EQ(Parse({"-h"}, options), "");
    EXPECT_TRUE(options.help);
    EXPECT_NE(CCommandLine::Usage().find("--silent-after-records K"), std::string::npos);
}

TEST(SimCommandLine, MistakesNameTheOption) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"book.txt"}, "unknown option 'book.txt'"},
        {{"--book"}, "--book needs a file name"},
        {{"--book="}, "--book needs a file name"},
        {{"--capacity"}, "--capacity needs a number"},
        {{"--capacity", "65536"}, "--capacity must be a number from 0 to 65535, not '65536'"},
        {{"--capacity=-1"}, "--capacity must be a number"},
        {{"--capacity", "12x"}, "--capacity must be a number"},
        {{"--bad-checksum-frame", "0"}, "--bad-checksum-frame must be a number from 1"},
        {{"--garbage", "0"}, "--garbage must be a number from 1"},
        {{"--silent-after-records", ""}, "--silent-after-records must be a number"},
        {{"--locked=yes"}, "--locked takes no value"},
    };
    for (const auto& [args, message] : cases) {
        SSimOptions options;
        const std::string error = Parse(args, options);
        EXPECT_EQ(error.rfind(message, 0), 0u)
            << "expected '" << message << "', got '" << error << "'";
    }
}
