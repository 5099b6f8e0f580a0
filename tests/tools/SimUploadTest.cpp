// An upload from the PC: 0xC5, the personal rows and bare groups (0xC6), the group count
// (0xC7), the groups with members (0xC8), each in a block of its own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "tests/tools/PcSide.h"
#include "tools/sim/BookFile.h"
#include "tools/sim/PagerSim.h"
#include "tools/sim/RecordCodec.h"

using namespace sim;
using namespace simtest;

namespace {

// Every field at its longest, with bytes above 0x7F and a note that holds the end marker.
SPersonalEntry FullEntry(uint16_t number) {
    SPersonalEntry entry;
    entry.number = number;
    for (size_t f = 0; f < kFieldCount; ++f) {
        if (f != kByDefault) {
            const size_t length = CPagerBook::MaxLength(static_cast<EField>(f));
            for (size_t i = 0; i < length; ++i) {
                entry.texts[f] += static_cast<char>(0x20 + (f * 7 + i * 13) % 0xE0);
            }
        }
    }
    entry.texts[kNote].back() = '\xA2';
    entry.byDefault = kAddressHomeMail;
    return entry;
}

CPagerBook UploadBook() {
    CPagerBook book;
    book.PutEntry(FullEntry(0x0102));
    SPersonalEntry plain;
    plain.number = 7;
    plain.texts[kFirstName] = "Kai";
    plain.byDefault = kAddressWireless;
    book.PutEntry(plain);
    book.PutEntry(SPersonalEntry{});  // number 0, all fields empty
    book.PutGroup({3, "Fifteen chars!!", {{0x0102, kAddressWorkMail}, {7, kAddressWireless}}});
    book.PutGroup({0x0201, "", {}});
    return book;
}

bool SendInBlock(CPcSide& pc, const Bytes& frame) {
    return pc.SendBlock(frame) == kAckOnly;
}

// What the PC sends for a whole book, block by block: the rows of one kind follow each other
// in a single block, each sent once the previous one is ACKed.
std::vector<std::vector<Bytes>> UploadBlocks(const CPagerBook& book) {
    std::vector<std::vector<Bytes>> blocks = {{PcFrame(kCmdUploadStart)}, {}, {}, {}};
    for (const SPersonalEntry& entry : book.Entries()) {
        blocks[1].push_back(PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(entry)));
    }
    for (const SGroup& group : book.Groups()) {
        blocks[1].push_back(PcFrame(kCmdUploadRow, CRecordCodec::EncodeGroup(group, false)));
    }
    blocks[2].push_back(PcFrame(kCmdGroupCount, {static_cast<uint8_t>(book.Groups().size())}));
    for (const SGroup& group : book.Groups()) {
        blocks[3].push_back(PcFrame(kCmdUploadGroup, CRecordCodec::EncodeGroup(group)));
    }
    return blocks;
}

// POLL, STX, the frames, ETX, EOT: true when every unit was ACKed.
bool SendBlockOf(CPcSide& pc, const std::vector<Bytes>& frames) {
    bool acked = pc.Send(kPoll) == kAckOnly && pc.Send(kStx) == kAckOnly;
    for (const Bytes& frame : frames) {
        acked = acked && pc.Send(frame) == kAckOnly;
    }
    return acked && pc.Send(kEtx) == kAckOnly && pc.Send(kEot) == kAckOnly;
}

class SimUpload : public testing::Test {
  protected:
    void SetUp() override {
        m_path = (std::filesystem::temp_directory_path() /
                  ("sim-upload-" + std::to_string(getpid()) + ".txt"))
                     .string();
        std::remove(m_path.c_str());
    }
    void TearDown() override { std::remove(m_path.c_str()); }

    std::string m_path;
};

}  // namespace

TEST_F(SimUpload, AWholeBookLandsInTheDeviceAndInTheOutputFile) {
    const CPagerBook sent = UploadBook();
    CPagerSim pager;  // serving the sample book, which the upload replaces
    pager.Device().SetUploadOutput(m_path);
    CPcSide pc(pager);
    size_t frames = 0;
    for (const std::vector<Bytes>& block : UploadBlocks(sent)) {
        ASSERT_TRUE(SendBlockOf(pc, block)) << "block of command " << int(block[0][0]);
        frames += block.size();
    }
    CPagerBook expected = sent;
    expected.SetCapacity(CPagerBook::kDefaultCapacity);
    EXPECT_EQ(pager.Device().ReceivedBook(), expected);
    EXPECT_EQ(pager.Device().Book(), expected);
    EXPECT_EQ(pager.Device().AnnouncedGroups(), 2);

    const SBookLoad written = CBookFile::Load(m_path);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(written.book, expected);
    EXPECT_EQ(pager.Device().UploadWrites(), frames - 1);  // all but 0xC7 change the book

    // A download now hands back what was uploaded.
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    const std::vector<Bytes> records = pc.ReceiveAll();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].size(), 3u + 512u + 1u);  // the longest entry fills a frame exactly
}

TEST_F(SimUpload, UploadStartEmptiesTheBookAndResentRowsReplaceInsteadOfAdding) {
    CPagerSim pager;
    CPcSide pc(pager);
    ASSERT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadStart)));
    EXPECT_TRUE(pager.Device().Book().Entries().empty());
    EXPECT_TRUE(pager.Device().Book().Groups().empty());

    SPersonalEntry entry;
    entry.number = 5;
    entry.texts[kCity] = "Kiel";
    ASSERT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(entry))));
    entry.texts[kCity] = "Bonn";
    // Sent again, say after the ACK was lost: the same number replaces the row.
    ASSERT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(entry))));
    ASSERT_EQ(pager.Device().ReceivedBook().Entries().size(), 1u);
    EXPECT_EQ(pager.Device().ReceivedBook().Entries()[0].texts[kCity], "Bonn");

    const SGroup group{2, "Crew", {{5, kAddressWireless}}};
    ASSERT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadGroup, CRecordCodec::EncodeGroup(group))));
    // A bare row for the same group keeps its members; a 0xC8 replaces them.
    ASSERT_TRUE(SendInBlock(
        pc, PcFrame(kCmdUploadRow, CRecordCodec::EncodeGroup({2, "Crew2", {}}, false))));
    ASSERT_EQ(pager.Device().ReceivedBook().Groups().size(), 1u);
    EXPECT_EQ(pager.Device().ReceivedBook().Groups()[0].name, "Crew2");
    EXPECT_EQ(pager.Device().ReceivedBook().Groups()[0].members, group.members);
    ASSERT_TRUE(SendInBlock(
        pc, PcFrame(kCmdUploadGroup, CRecordCodec::EncodeGroup({2, "Crew", {{5, 3}}}))));
    EXPECT_EQ(pager.Device().ReceivedBook().Groups()[0].members,
              (std::vector<SGroupMember>{{5, 3}}));

    ASSERT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadStart)));
    EXPECT_TRUE(pager.Device().ReceivedBook().Entries().empty());
}

TEST_F(SimUpload, TheDeviceRefusesWhatItCannotStore) {
    CPagerBook small;
    small.SetCapacity(2);
    CPagerSim pager(small);
    CPcSide pc(pager);
    ASSERT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadStart)));
    SPersonalEntry entry;
    for (uint16_t number : {1, 2}) {
        entry.number = number;
        ASSERT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(entry))));
    }
    entry.number = 3;
    EXPECT_FALSE(SendInBlock(pc, PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(entry))))
        << "beyond the capacity";
    entry.number = 2;
    EXPECT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(entry))))
        << "replacing a row needs no room";

    const std::vector<std::pair<const char*, Bytes>> refused = {
        {"members in a bare group row",
         PcFrame(kCmdUploadRow, CRecordCodec::EncodeGroup({1, "A", {{1, 1}}}))},
        {"a member that is no received entry",
         PcFrame(kCmdUploadGroup, CRecordCodec::EncodeGroup({1, "A", {{9, 1}}}))},
        {"a personal entry as 0xC8", PcFrame(kCmdUploadGroup, CRecordCodec::EncodeEntry(entry))},
        {"more groups announced than fit", PcFrame(kCmdGroupCount, {21})},
        {"a control byte in a text",
         [] {
             SPersonalEntry bad;
             bad.texts[kNote] = "line\nbreak";
             return PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(bad));
         }()},
    };
    for (const auto& [what, frame] : refused) {
        EXPECT_FALSE(SendInBlock(pc, frame)) << what;
        pc.Send(kPoll);  // the PC's way out of a refusal
        pc.Send(kPoll);
        pc.Send(kEot);
    }
    EXPECT_EQ(pager.Device().ReceivedBook().Entries().size(), 2u);
    EXPECT_TRUE(pager.Device().ReceivedBook().Groups().empty());

    for (uint16_t number = 1; number <= CPagerBook::kMaxGroups; ++number) {
        ASSERT_TRUE(SendInBlock(
            pc, PcFrame(kCmdUploadRow, CRecordCodec::EncodeGroup({number, "G", {}}, false))));
    }
    EXPECT_FALSE(
        SendInBlock(pc, PcFrame(kCmdUploadGroup, CRecordCodec::EncodeGroup({99, "G", {}}))))
        << "a 21st group";
}

TEST_F(SimUpload, AnUnwritableOutputIsReportedAndTheFrameStillTaken) {
    CPagerSim pager;
    pager.Device().SetUploadOutput("/nonexistent-dir/upload.txt");
    CPcSide pc(pager);
    EXPECT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadStart)));
    EXPECT_NE(pager.Device().UploadError().find("/nonexistent-dir/upload.txt"), std::string::npos)
        << pager.Device().UploadError();
    EXPECT_EQ(pager.Device().UploadWrites(), 0u);

    pager.Device().SetUploadOutput(m_path);
    EXPECT_TRUE(SendInBlock(pc, PcFrame(kCmdUploadStart)));
    EXPECT_EQ(pager.Device().UploadError(), "");
    EXPECT_TRUE(std::filesystem::exists(m_path));
}
