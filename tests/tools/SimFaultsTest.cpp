// Each injectable fault, as the PC sees it on the line.
#include <gtest/gtest.h>

#include "tests/tools/PcSide.h"
#include "tools/sim/PagerSim.h"

using namespace sim;
using namespace simtest;

namespace {

CPagerBook EntriesOnly(size_t count) {
    CPagerBook book;
    for (size_t i = 0; i < count; ++i) {
        SPersonalEntry entry;
        entry.number = static_cast<uint16_t>(10 + i);
        entry.texts[kLastName] = "Entry " + std::to_string(i);
        book.PutEntry(entry);
    }
    return book;
}

SSimFaults QuietAfter(size_t records) {
    SSimFaults faults;
    faults.silentAfterRecords = records;
    return faults;
}

}  // namespace

TEST(SimFaultSilentAfterRecords, DeviceStopsAnsweringRightAfterTheKthRecord) {
    CPagerSim pager(EntriesOnly(5), QuietAfter(2));
    CPcSide pc(pager);
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    EXPECT_EQ(pc.Send(kAck)[0], kCmdRecord);
    EXPECT_EQ(pc.Send(kAck)[0], kCmdRecord);
    EXPECT_TRUE(pager.Muted());
    EXPECT_TRUE(pc.Send(kAck).empty());
    EXPECT_TRUE(pc.Send(kNak).empty());  // not even the resend the NAK asks for
    EXPECT_TRUE(pc.Send(kPoll).empty());
    EXPECT_TRUE(pc.Send(kPoll).empty());
    EXPECT_EQ(pager.Counters().recordsSent, 2u);

    pager.Wake();
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kEot), kAckOnly);
}

TEST(SimFaultSilentAfterRecords, ZeroGoesQuietInPlaceOfTheFirstRecord) {
    CPagerSim pager(EntriesOnly(2), QuietAfter(0));
    CPcSide pc(pager);
    // Status replies are no records: they still come.
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdStatusRequest, {0, 0})), Bytes{kStx});
    ASSERT_EQ(pc.ReceiveAll().size(), 1u);
    pc.Send(kEot);
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    EXPECT_TRUE(pc.Send(kAck).empty());
    EXPECT_TRUE(pager.Muted());
}

TEST(SimFaultSilentAfterRecords, CountsTheRecordsOfEachDownloadAfresh) {
    CPagerSim pager(EntriesOnly(2), QuietAfter(3));
    CPcSide pc(pager);
    for (int download = 0; download < 2; ++download) {
        ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
        EXPECT_EQ(pc.ReceiveAll().size(), 2u) << "download " << download;
        EXPECT_EQ(pc.LastAfterFrames(), Bytes{kEot});
        EXPECT_EQ(pc.Send(kEot), kAckOnly);
    }
    EXPECT_FALSE(pager.Muted());
}

TEST(SimFaultBadChecksum, TheNthDeviceFrameIsSpoiltOnceAndItsResendIsRight) {
    SSimFaults faults;
    faults.badChecksumFrame = 2;
    CPagerSim pager(EntriesOnly(3), faults);
    CPcSide pc(pager);
    // Frame 1: the status reply, untouched.
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdStatusRequest, {0, 0})), Bytes{kStx});
    ASSERT_EQ(pc.ReceiveAll().size(), 1u);
    pc.Send(kEot);

    CPagerSim clean(EntriesOnly(3));
    CPcSide reference(clean);
    ASSERT_EQ(reference.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    const std::vector<Bytes> records = reference.ReceiveAll();
    ASSERT_EQ(records.size(), 3u);

    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    const Bytes spoilt = pc.Send(kAck);  // frame 2
    ASSERT_EQ(spoilt.size(), records[0].size());
    EXPECT_EQ(Bytes(spoilt.begin(), spoilt.end() - 1),
              Bytes(records[0].begin(), records[0].end() - 1));
    EXPECT_NE(spoilt.back(), records[0].back());
    EXPECT_EQ(pc.Send(kNak), records[0]);
    EXPECT_EQ(pc.Send(kAck), records[1]);
    EXPECT_EQ(pc.Send(kNak), records[1]);  // a NAK without a fault still gets the same frame
    EXPECT_EQ(pc.Send(kAck), records[2]);
    EXPECT_EQ(pc.Send(kAck), Bytes{kEtx});
}

TEST(SimFaultGarbage, FirstPollGetsTheBurstInsteadOfAckAndTheNextPollIsNormal) {
    SSimFaults faults;
    faults.garbageBytes = 9;
    CPagerSim pager(CPagerBook::Sample(), faults);
    CPcSide pc(pager);
    const Bytes burst = pc.Send(kPoll);
    ASSERT_EQ(burst.size(), 9u);
    for (uint8_t byte : burst) {
        EXPECT_TRUE(byte == 0xFF || byte == 0x55);
    }
    EXPECT_EQ(pc.Send(kEot), Bytes{kNak});  // the burst was no ACK: the device is still idle
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kEot), kAckOnly);
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pager.Counters().garbageBursts, 1u);

    // Setting the faults again arms the burst again.
    pager.SetFaults(faults);
    EXPECT_EQ(pc.Send(kPoll).size(), 9u);
}

TEST(SimFaultSilent, NothingIsEverAnsweredUntilTheFaultIsCleared) {
    SSimFaults faults;
    faults.silent = true;
    CPagerSim pager(CPagerBook::Sample(), faults);
    CPcSide pc(pager);
    for (const Bytes& unit : {Bytes{kPoll}, Bytes{kStx}, PcFrame(kCmdStatusRequest, {0, 0}),
                              Bytes{kEtx}, Bytes{kEot}, Bytes{0x41}}) {
        EXPECT_TRUE(pc.Send(unit).empty());
    }
    pager.LineQuiet();
    EXPECT_TRUE(pager.TakeOutput().empty());
    EXPECT_EQ(pager.Counters().pollsAnswered, 0u);
    EXPECT_EQ(pager.Counters().bytesUnanswered, 12u);

    pager.SetFaults({});
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
}

TEST(SimFaultCapacity, TheStatusReplyCarriesTheBooksCapacity) {
    CPagerBook book = EntriesOnly(1);
    book.SetCapacity(0xABCD);
    CPagerSim pager(book);
    CPcSide pc(pager);
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdStatusRequest, {0, 0})), Bytes{kStx});
    const Bytes reply = pc.Send(kAck);
    ASSERT_EQ(reply.size(), 9u);
    EXPECT_EQ(reply[3], 0xAB);
    EXPECT_EQ(reply[4], 0xCD);
    EXPECT_EQ(reply[6], 1);
}
