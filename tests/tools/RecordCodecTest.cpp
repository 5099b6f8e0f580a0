// The byte layout of records, and the decoder's refusal of malformed ones.
#include <gtest/gtest.h>

#include <random>

#include "tools/sim/RecordCodec.h"

using namespace sim;
using Bytes = std::vector<uint8_t>;

namespace {

bool Decodes(const Bytes& payload, SDecodedRecord* out = nullptr, std::string* why = nullptr) {
    SDecodedRecord record;
    std::string error;
    const bool ok = CRecordCodec::Decode(payload.data(), payload.size(), record, error);
    if (out != nullptr) {
        *out = record;
    }
    if (why != nullptr) {
        *why = error;
    }
    return ok;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The record with the byte at `at` replaced.
Bytes With(Bytes record, size_t at, uint8_t byte) {
    record[at] = byte;
    return record;
}

}  // namespace

TEST(RecordLayout, AnEmptyEntryIsItsNumberAndTheSixteenCodes) {
    SPersonalEntry entry;
    entry.number = 0x1234;
    const Bytes expected = {0x12, 0x34, 0xA0, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x06,
                            0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xA2};
    EXPECT_EQ(CRecordCodec::EncodeEntry(entry), expected);
    EXPECT_EQ(expected.size(), 21u);
}

TEST(RecordLayout, TextsFollowTheirCodesAndByDefaultIsOneByte) {
    SPersonalEntry entry;
    entry.number = 2;
    entry.texts[kFirstName] = "Al";
    entry.texts[kHomeMail] = "a@b";
    entry.texts[kNote] = "\xE9t\xE9";  // "été" in Windows-1252
    entry.byDefault = kAddressHomeMail;
    Bytes expected = {0x00, 0x02, 0xA0, 0x00, 'A',  'l',  0x01, 0x02, 0x03, 0x04,
                      'a',  '@',  'b',  0x05, 0x03, 0x06, 0x07, 0x08, 0x09, 0x0A,
                      0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xE9, 't',  0xE9, 0xA2};
    EXPECT_EQ(CRecordCodec::EncodeEntry(entry), expected);
}

TEST(RecordLayout, AGroupHasAPaddedNameAndLittleEndianMembers) {
    const SGroup group{0x0105, "Team", {{0x0203, kAddressWireless}, {0x00FF, kAddressWorkMail}}};
    Bytes expected = {0x01, 0x05, 0xA1};
    const Bytes name = Text("Team");
    expected.insert(expected.end(), name.begin(), name.end());
    expected.insert(expected.end(), 11, 0xFF);
    const Bytes members = {0x03, 0x02, 0x01, 0xFF, 0x00, 0x02, 0xA3};
    expected.insert(expected.end(), members.begin(), members.end());
    EXPECT_EQ(CRecordCodec::EncodeGroup(group), expected);

    // The upload's bare row: the end marker right after the name, frame byte 21.
    const Bytes bare = CRecordCodec::EncodeGroup(group, false);
    ASSERT_EQ(bare.size(), 19u);
    EXPECT_EQ(bare[18], 0xA3);

    const Bytes full = CRecordCodec::EncodeGroup({1, "ABCDEFGHIJKLMNO", {}});
    EXPECT_EQ(Bytes(full.begin() + 3, full.begin() + 18), Text("ABCDEFGHIJKLMNO"));
}

TEST(RecordDecode, EncodedRecordsDecodeToThemselves) {
    SPersonalEntry entry;
    entry.number = 0xFFFF;
    for (size_t f = 0; f < kFieldCount; ++f) {
        if (f != kByDefault) {
            entry.texts[f] = std::string(CPagerBook::MaxLength(static_cast<EField>(f)),
                                         static_cast<char>(0x80 + f));
        }
    }
    entry.texts[kNote] = std::string(71, 'x') + "\xA2";  // ends in the end marker's value
    entry.byDefault = kAddressWorkMail;
    SDecodedRecord record;
    ASSERT_TRUE(Decodes(CRecordCodec::EncodeEntry(entry), &record));
    EXPECT_FALSE(record.isGroup);
    EXPECT_EQ(record.entry, entry);

    std::vector<SGroupMember> members;
    for (uint16_t i = 0; i < CPagerBook::kMaxMembers; ++i) {
        members.push_back({static_cast<uint16_t>(i * 300), static_cast<uint8_t>(1 + i % 3)});
    }
    const SGroup group{9, "\xC4rzte", members};
    ASSERT_TRUE(Decodes(CRecordCodec::EncodeGroup(group), &record));
    EXPECT_TRUE(record.isGroup);
    EXPECT_EQ(record.group, group);
}

TEST(RecordDecode, MalformedEntriesAreRefusedWithAReason) {
    SPersonalEntry entry;
    entry.texts[kCity] = "Ulm";
    const Bytes good = CRecordCodec::EncodeEntry(entry);
    ASSERT_TRUE(Decodes(good));

    // Every truncation of a valid record is refused, and read within its bounds.
    for (size_t n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(Decodes(Bytes(good.begin(), good.begin() + n))) << "first " << n << " bytes";
    }
    std::string why;
    EXPECT_FALSE(Decodes(With(good, 7, 0x03), nullptr, &why)) << "field code 3 given twice";
    EXPECT_NE(why.find("home e-mail"), std::string::npos) << why;
    EXPECT_FALSE(Decodes(With(good, 9, 4), nullptr, &why)) << "byDefault 4";
    EXPECT_NE(why.find("default"), std::string::npos) << why;
    EXPECT_FALSE(Decodes(With(good, good.size() - 1, 0xA3))) << "wrong end marker";
    EXPECT_FALSE(Decodes(With(good, 2, 0xA5))) << "neither entry nor group";

    SPersonalEntry controlInText;
    controlInText.texts[kNote] = "a\x01z";
    EXPECT_FALSE(Decodes(CRecordCodec::EncodeEntry(controlInText)));
    controlInText.texts[kNote].clear();
    controlInText.texts[kCompany] = "a\x1Fz";
    EXPECT_FALSE(Decodes(CRecordCodec::EncodeEntry(controlInText)));

    SPersonalEntry tooLong;
    tooLong.texts[kState] = std::string(11, 'S');
    EXPECT_FALSE(Decodes(CRecordCodec::EncodeEntry(tooLong), nullptr, &why));
    EXPECT_NE(why.find("state is 11 bytes"), std::string::npos) << why;
    tooLong.texts[kState] = std::string(10, 'S');
    EXPECT_TRUE(Decodes(CRecordCodec::EncodeEntry(tooLong)));

    Bytes extra = good;
    extra.insert(extra.end() - 1, 0x10);  // a seventeenth code
    EXPECT_FALSE(Decodes(extra));
}

TEST(RecordDecode, MalformedGroupsAreRefused) {
    const SGroup group{4, "Ops", {{1, 1}}};
    const Bytes good = CRecordCodec::EncodeGroup(group);
    ASSERT_TRUE(Decodes(good));
    for (size_t n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(Decodes(Bytes(good.begin(), good.begin() + n))) << "first " << n << " bytes";
    }
    EXPECT_FALSE(Decodes(With(good, 10, 'x'))) << "a name byte after the padding began";
    EXPECT_FALSE(Decodes(With(good, 4, 0x09))) << "a control byte in the name";
    EXPECT_FALSE(Decodes(With(good, 20, 0))) << "member kind 0";
    EXPECT_FALSE(Decodes(With(good, 20, 4))) << "member kind 4";

    Bytes partialMember = good;
    partialMember.insert(partialMember.end() - 1, 0x01);
    EXPECT_FALSE(Decodes(partialMember));

    SGroup crowded{5, "Many", {}};
    crowded.members.assign(CPagerBook::kMaxMembers + 1, {1, 1});
    EXPECT_FALSE(Decodes(CRecordCodec::EncodeGroup(crowded)));
}

TEST(RecordDecode, RandomPayloadsAreDecodedOrRefusedNeverMisread) {
    std::mt19937 random(77);
    const Bytes entryPrefix = {0, 1, 0xA0, 0x00};
    const Bytes groupPrefix = {0, 1, 0xA1};
    for (int i = 0; i < 20000; ++i) {
        Bytes payload(random() % 600);
        for (uint8_t& byte : payload) {
            // Small values are field codes: make them common.
            byte = random() % 3 == 0 ? static_cast<uint8_t>(random() % 0x11)
                                     : static_cast<uint8_t>(random());
        }
        const Bytes& prefix = i % 2 ? entryPrefix : groupPrefix;
        if (payload.size() >= prefix.size()) {
            std::copy(prefix.begin(), prefix.end(), payload.begin());
        }
        SDecodedRecord record;
        if (Decodes(payload, &record)) {
            // Whatever is accepted encodes back to exactly the bytes received.
            const Bytes again = record.isGroup ? CRecordCodec::EncodeGroup(record.group)
                                               : CRecordCodec::EncodeEntry(record.entry);
            EXPECT_EQ(again, payload);
        }
    }
}
