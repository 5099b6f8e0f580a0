// The hand-writable book file: what it reads, what it writes, and how it reports mistakes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/sim/BookFile.h"

using namespace sim;

namespace {

SBookLoad ParseLines(const std::string& text) {
    return CBookFile::Parse(text);
}

}  // namespace

TEST(BookFileRead, AHandWrittenFileWithCommentsShortLinesAndCrlf) {
    const std::string text =
        "\xEF\xBB\xBF# my test book\r\n"
        "capacity 150\r\n"
        "\r\n"
        "   # an indented comment\n"
        "P\t12\tJ\xC3\xBCrgen\tM\xC3\xBCller\tjm@wave.example\t\t\t1\r\n"
        "P\t13\tEva\n"
        "G\t1\tFriends \xE2\x82\xAC\t12:1 13:3\t\n";
    const SBookLoad loaded = ParseLines(text);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    const CPagerBook& book = loaded.book;
    EXPECT_EQ(book.Capacity(), 150);
    ASSERT_EQ(book.Entries().size(), 2u);
    const SPersonalEntry& first = book.Entries()[0];
    EXPECT_EQ(first.number, 12);
    EXPECT_EQ(first.texts[kFirstName], "J\xFCrgen");  // UTF-8 ü is the single byte 0xFC
    EXPECT_EQ(first.texts[kLastName], "M\xFCller");
    EXPECT_EQ(first.texts[kWireless], "jm@wave.example");
    EXPECT_EQ(first.texts[kWorkMail], "");
    EXPECT_EQ(first.byDefault, kAddressWireless);
    EXPECT_EQ(first.texts[kNote], "");
    EXPECT_EQ(book.Entries()[1].texts[kFirstName], "Eva");
    EXPECT_EQ(book.Entries()[1].byDefault, kAddressNone);
    ASSERT_EQ(book.Groups().size(), 1u);
    EXPECT_EQ(book.Groups()[0].name, "Friends \x80");  // the euro sign is 0x80
    EXPECT_EQ(book.Groups()[0].members, (std::vector<SGroupMember>{{12, 1}, {13, 3}}));
}

TEST(BookFileRead, AnEmptyFileIsAnEmptyBookOfTheDefaultCapacity) {
    const SBookLoad loaded = ParseLines("");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.book, CPagerBook());
    EXPECT_EQ(loaded.book.Capacity(), 200);
}

TEST(BookFileWrite, EveryByteValueAndTheEscapesSurviveARoundTrip) {
    CPagerBook book;
    book.SetCapacity(7);
    // All 256 byte values, spread over entries in pieces that fit the notes.
    for (int start = 0; start < 256; start += 64) {
        SPersonalEntry entry;
        entry.number = static_cast<uint16_t>(start);
        for (int b = start; b < start + 64; ++b) {
            entry.texts[b - start < 32 ? kNote : kStreet] += static_cast<char>(b);
        }
        entry.byDefault = static_cast<uint8_t>(start / 64);
        book.PutEntry(entry);
    }
    book.PutGroup({20, "a\\b\tc", {{0, 2}, {64, 3}}});
    const std::string text = CBookFile::Format(book);
    const SBookLoad loaded = ParseLines(text);
    ASSERT_TRUE(loaded.ok) << loaded.error << "\n" << text;
    EXPECT_EQ(loaded.book, book);

    // The file stays one line per record: the tab and the line feed are escaped.
    EXPECT_NE(text.find("G\t20\ta\\\\b\\tc\t0:2\t64:3\n"), std::string::npos) << text;
}

TEST(BookFileWrite, BytesAreWrittenAsTheirCharactersOrAsHexWhereThatIsClearer) {
    EXPECT_EQ(CBookFile::Escape("plain text"), "plain text");
    EXPECT_EQ(CBookFile::Escape("\xE4\x80\x9F"), "\xC3\xA4\xE2\x82\xAC\xC5\xB8");  // ä € Ÿ
    EXPECT_EQ(CBookFile::Escape("\x81\x8D\x8F\x90\x9D"), "\\x81\\x8D\\x8F\\x90\\x9D");
    EXPECT_EQ(CBookFile::Escape(std::string("\x00\x1F\x7F", 3)), "\\x00\\x1F\\x7F");
    EXPECT_EQ(CBookFile::Escape("\xA0"), "\\xA0");  // a no-break space would look like a space
    EXPECT_EQ(CBookFile::Escape("\\\t\n"), "\\\\\\t\\n");
}

TEST(BookFileRead, BadFieldTextIsRefusedWithTheReason) {
    std::string bytes;
    std::string error;
    EXPECT_TRUE(CBookFile::Unescape("\\x4a\\x4B", bytes, error));
    EXPECT_EQ(bytes, "JK");
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"ab\\q", "bad escape at position 3"},
        {"\\x4", "bad escape"},
        {"\\xG1", "bad escape"},
        {"trailing\\", "bad escape"},
        {"x\xC3", "not UTF-8 at position 2"},
        {"\xC0\xAF", "not UTF-8"},  // an overlong slash
        {"\xFF", "not UTF-8"},
        {"\xC5\x82", "does not exist in Windows-1252"},  // ł
        {"\xC2\x81", "does not exist in Windows-1252"},  // a C1 control character
    };
    for (const auto& [text, message] : bad) {
        EXPECT_FALSE(CBookFile::Unescape(text, bytes, error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << text << ": " << error;
    }
}

TEST(BookFileRead, MistakesAreReportedWithTheirLineNumber) {
    const std::string head = "# head\ncapacity 10\n";  // lines 1 and 2
    const std::string p1 = "P\t1\tAnn\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {head + "X\t1\n", "line 3: unknown line 'X'"},
        {head + "p\t1\n", "line 3: unknown line 'p'"},
        {head + "P\tone\n", "line 3: entry number must be 0 to 65535"},
        {head + "P\t65536\n", "line 3: entry number"},
        {head + "P\t1\t\t\t\t\t\t4\n", "line 3: default address must be 0 to 3, not '4'"},
        {head + "P\t1\t" + std::string(16, 'F') + "\n", "line 3: first name is 16 bytes"},
        {head + "P\t1\t\\z\n", "line 3: first name: bad escape"},
        {head + p1 + p1, "line 4: entry number 1 is used twice"},
        {head + "P\t1" + std::string(17, '\t') + "extra\n", "line 3: P line has 19 columns"},
        {head + p1 + "G\t1\tA\t1\n", "line 4: member '1' is not <entry number>:<kind>"},
        {head + p1 + "G\t1\tA\t1:4\n", "line 4: member kind must be 1 to 3"},
        {head + p1 + "G\t1\tA\t1:1\nG\t1\tB\n", "line 5: group number 1 is used twice"},
        {head + p1 + "G\t1\t" + std::string(16, 'n') + "\n", "line 4: group name is 16 bytes"},
        {head + p1 + "G\t1\tA" + std::string(11, '\t') + "1:1" +
             [] {
                 std::string more;
                 for (int i = 0; i < 10; ++i) {
                     more += "\t1:1";
                 }
                 return more;
             }() +
             "\n",
         "line 4: 11 members"},
        // The member is checked once every entry is read, and blamed on its group's line.
        {head + "G\t1\tA\t2:1\n" + p1, "line 3: member 2 is no personal entry's number"},
        {"capacity 70000\n", "line 1: capacity must be 0 to 65535, not '70000'"},
        {"capacity 5\ncapacity 6\n", "line 2: capacity is given twice"},
    };
    for (const auto& [text, message] : cases) {
        const SBookLoad loaded = ParseLines(text);
        EXPECT_FALSE(loaded.ok) << text;
        EXPECT_NE(loaded.error.find(message), std::string::npos)
            << "expected '" << message << "', got '" << loaded.error << "'";
    }

    std::string groups;
    for (int g = 1; g <= 21; ++g) {
        groups += "G\t" + std::to_string(g) + "\tG\n";
    }
    const SBookLoad crowded = ParseLines(groups);
    EXPECT_EQ(crowded.error, "line 21: more than 20 groups");
}

TEST(BookFileDisk, SaveThenLoadAndUnreadableFilesNameThePath) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("sim-book-" + std::to_string(getpid()) + ".txt"))
            .string();
    const CPagerBook book = CPagerBook::Sample();
    ASSERT_EQ(CBookFile::Save(book, path), "");
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    const SBookLoad loaded = CBookFile::Load(path);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(loaded.book, book);

    { std::ofstream(path, std::ios::trunc) << "P\t1\nP\t1\n"; }
    EXPECT_EQ(CBookFile::Load(path).error, path + ": line 2: entry number 1 is used twice");
    std::remove(path.c_str());

    const SBookLoad missing = CBookFile::Load(path);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error.rfind(path + ": cannot be read", 0), 0u) << missing.error;
    EXPECT_NE(CBookFile::Save(book, "/nonexistent-dir/book.txt"), "");
}

TEST(BookSample, TheBuiltInBookIsOneTheFileFormatAccepts) {
    const CPagerBook sample = CPagerBook::Sample();
    EXPECT_GE(sample.Entries().size(), 3u);
    EXPECT_GE(sample.Groups().size(), 1u);
    const SBookLoad again = CBookFile::Parse(CBookFile::Format(sample));
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_EQ(again.book, sample);
}
