// The line protocol as the PC drives it: polling, a frame from the PC, the device's replies.
#include <gtest/gtest.h>

#include <random>

#include "tests/tools/PcSide.h"
#include "tools/sim/PagerSim.h"
#include "tools/sim/RecordCodec.h"

using namespace sim;
using namespace simtest;

namespace {

CPagerBook BookOf(size_t entries, size_t groups, uint16_t capacity) {
    CPagerBook book;
    book.SetCapacity(capacity);
    for (size_t i = 0; i < entries; ++i) {
        SPersonalEntry entry;
        entry.number = static_cast<uint16_t>(i + 1);
        entry.texts[kFirstName] = "Name" + std::to_string(i + 1);
        book.PutEntry(entry);
    }
    for (size_t g = 0; g < groups; ++g) {
        SGroup group;
        group.number = static_cast<uint16_t>(g + 1);
        group.name = "G" + std::to_string(g + 1);
        if (entries > 0) {
            group.members.push_back({1, kAddressWireless});
        }
        book.PutGroup(group);
    }
    return book;
}

uint8_t Sum(const Bytes& bytes, size_t n) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint8_t>(sum);
}

}  // namespace

TEST(PagerSimLine, IdlePollIsAckedAndEotHandsTheLineBack) {
    CPagerSim pager;
    CPcSide pc(pager);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(pc.Send(kPoll), kAckOnly);
        EXPECT_EQ(pc.Send(kEot), kAckOnly);
    }
    EXPECT_EQ(pager.Counters().pollsAnswered, 3u);
    EXPECT_EQ(pager.Counters().naksSent, 0u);
}

TEST(PagerSimLine, StrayAckOrNakWhileIdleIsIgnoredButOtherBytesAreNaked) {
    CPagerSim pager;
    CPcSide pc(pager);
    EXPECT_TRUE(pc.Send(kAck).empty());
    EXPECT_TRUE(pc.Send(kNak).empty());
    EXPECT_EQ(pc.Send(kEot), kNakOnly);
    EXPECT_EQ(pc.Send(kEtx), kNakOnly);
    EXPECT_EQ(pc.Send('A'), kNakOnly);
    // A frame without POLL and STX first is no frame: each byte is refused on its own.
    EXPECT_EQ(pc.Send(Bytes{kCmdStatusRequest}), kNakOnly);

    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kEtx), kNakOnly);  // polled: only EOT or STX make sense
    EXPECT_EQ(pc.Send(kEot), kAckOnly);  // ... and the refusal did not lose the state
}

TEST(PagerSimStatus, StatusRequestIsAnsweredWithCapacityAndCounts) {
    CPagerSim pager(BookOf(3, 2, 300));
    CPcSide pc(pager);
    EXPECT_EQ(pc.SendBlock(PcFrame(kCmdStatusRequest, {0x01, 0x02})), Bytes{kStx});

    const Bytes reply = pc.Send(kAck);
    ASSERT_EQ(reply.size(), 9u);
    EXPECT_EQ(reply[0], kCmdStatusReply);
    EXPECT_EQ(reply[1], 0x00);
    EXPECT_EQ(reply[2], 0x05);
    EXPECT_EQ(reply[3], 0x01);  // capacity 300 = 0x012C, big-endian
    EXPECT_EQ(reply[4], 0x2C);
    EXPECT_EQ(reply[5], 0x00);  // three personal entries
    EXPECT_EQ(reply[6], 0x03);
    EXPECT_EQ(reply[7], 0x02);  // two groups
    EXPECT_EQ(reply[8], Sum(reply, 8));

    EXPECT_EQ(pc.Send(kAck), Bytes{kEtx});
    EXPECT_EQ(pc.Send(kAck), Bytes{kEot});
    EXPECT_EQ(pc.Send(kEot), kAckOnly);
    EXPECT_EQ(pager.Device().PcRowCount(), 0x0102);
    EXPECT_EQ(pager.Counters().Accepted(kCmdStatusRequest), 1u);
}

TEST(PagerSimStatus, PcAnsweringTheDeviceEotWithStxSendsItsNextFrameAtOnce) {
    CPagerSim pager;
    CPcSide pc(pager);
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdStatusRequest, {0, 0})), Bytes{kStx});
    ASSERT_EQ(pc.ReceiveAll().size(), 1u);
    ASSERT_EQ(pc.LastAfterFrames(), Bytes{kEot});

    EXPECT_EQ(pc.Send(kStx), kAckOnly);
    EXPECT_EQ(pc.Send(PcFrame(kCmdOpenBook)), kAckOnly);
    EXPECT_EQ(pc.Send(kEtx), kAckOnly);
    EXPECT_EQ(pc.Send(kEot), kAckOnly);  // 0xA6 has no reply: the line is the PC's again
    EXPECT_EQ(pager.Counters().Accepted(kCmdOpenBook), 1u);
}

TEST(PagerSimDownload, RecordRequestSendsEveryEntryThenEveryGroupEachAfterAnAck) {
    const CPagerBook book = CPagerBook::Sample();
    CPagerSim pager(book);
    CPcSide pc(pager);
    EXPECT_EQ(pc.SendBlock(PcFrame(kCmdOpenBook)), kAckOnly);
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});

    const std::vector<Bytes> frames = pc.ReceiveAll();
    ASSERT_EQ(frames.size(), book.Entries().size() + book.Groups().size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const Bytes& frame = frames[i];
        ASSERT_GE(frame.size(), 4u);
        EXPECT_EQ(frame[0], kCmdRecord);
        EXPECT_EQ(static_cast<size_t>((frame[1] << 8) | frame[2]), frame.size() - 4);
        EXPECT_EQ(frame.back(), Sum(frame, frame.size() - 1)) << "frame " << i;
        SDecodedRecord record;
        std::string error;
        ASSERT_TRUE(CRecordCodec::Decode(frame.data() + 3, frame.size() - 4, record, error))
            << error;
        if (i < book.Entries().size()) {
            ASSERT_FALSE(record.isGroup);
            EXPECT_EQ(record.entry, book.Entries()[i]);
        } else {
            ASSERT_TRUE(record.isGroup);
            EXPECT_EQ(record.group, book.Groups()[i - book.Entries().size()]);
        }
    }
    EXPECT_EQ(pc.LastAfterFrames(), Bytes{kEot});
    EXPECT_EQ(pc.Send(kEot), kAckOnly);
    EXPECT_EQ(pager.Counters().recordsSent, frames.size());
}

TEST(PagerSimDownload, NakOfAnyDeviceUnitMakesTheDeviceSendItAgain) {
    CPagerSim pager(BookOf(2, 0, 200));
    CPcSide pc(pager);
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    EXPECT_EQ(pc.Send(kNak), Bytes{kStx});
    const Bytes first = pc.Send(kAck);
    EXPECT_EQ(pc.Send(kNak), first);
    EXPECT_EQ(pc.Send(kNak), first);
    const Bytes second = pc.Send(kAck);
    EXPECT_NE(second, first);
    EXPECT_EQ(second[0], kCmdRecord);
    EXPECT_EQ(pc.Send(kAck), Bytes{kEtx});
    EXPECT_EQ(pc.Send(kNak), Bytes{kEtx});
    EXPECT_EQ(pc.Send(kAck), Bytes{kEot});
    EXPECT_EQ(pc.Send(kNak), Bytes{kEot});
    EXPECT_EQ(pc.Send(kEot), kAckOnly);
    EXPECT_EQ(pager.Counters().framesSent, 2u);
    EXPECT_EQ(pager.Counters().framesResent, 2u);
}

TEST(PagerSimDownload, PollAbandonsADownloadAndTheNextRequestStartsOver) {
    CPagerSim pager(BookOf(3, 0, 200));
    CPcSide pc(pager);
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    const Bytes first = pc.Send(kAck);
    pc.Send(kAck);
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kEot), kAckOnly);  // nothing left to send
    ASSERT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), Bytes{kStx});
    EXPECT_EQ(pc.Send(kAck), first);
}

TEST(PagerSimDownload, AnEmptyBookAnswersTheRecordRequestWithoutTakingTheLine) {
    CPagerSim pager(CPagerBook{});
    CPcSide pc(pager);
    EXPECT_EQ(pc.SendBlock(PcFrame(kCmdRecordRequest)), kAckOnly);
}

TEST(PagerSimFrames, LockedBookNaksTheOpenRequestButStillAnswersStatus) {
    SSimFaults faults;
    faults.locked = true;
    CPagerSim pager(CPagerBook::Sample(), faults);
    CPcSide pc(pager);
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kStx), kAckOnly);
    EXPECT_EQ(pc.Send(PcFrame(kCmdOpenBook)), kNakOnly);
    EXPECT_EQ(pc.Send(PcFrame(kCmdOpenBook)), kNakOnly);  // and again when sent again
    // The PC gives up with two POLLs, which put the device back to idle.
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kEot), kAckOnly);
    EXPECT_EQ(pc.SendBlock(PcFrame(kCmdStatusRequest, {0, 0})), Bytes{kStx});
    EXPECT_EQ(pager.Counters().Accepted(kCmdOpenBook), 0u);
    EXPECT_EQ(pager.Counters().framesRejected, 2u);
}

TEST(PagerSimFrames, BadChecksumOrTrailerIsNakedAndTheFrameCanBeSentAgain) {
    const Bytes good = PcFrame(kCmdStatusRequest, {0, 7});
    Bytes badSum = good;
    badSum[badSum.size() - 2] ^= 0x01;
    Bytes badTrailer = good;
    badTrailer.back() = 0x00;
    // A frame without its trailer: the PC's next unit (ETX) is taken for the trailer.
    Bytes noTrailer(good.begin(), good.end() - 1);

    for (const Bytes& bad : {badSum, badTrailer}) {
        CPagerSim pager;
        CPcSide pc(pager);
        pc.Send(kPoll);
        pc.Send(kStx);
        EXPECT_EQ(pc.Send(bad), kNakOnly);
        EXPECT_EQ(pc.Send(good), kAckOnly);
        EXPECT_EQ(pc.Send(kEtx), kAckOnly);
        EXPECT_EQ(pc.Send(kEot), Bytes{kStx});
    }
    CPagerSim pager;
    CPcSide pc(pager);
    pc.Send(kPoll);
    pc.Send(kStx);
    EXPECT_TRUE(pc.Send(noTrailer).empty());
    EXPECT_EQ(pc.Send(kEtx), kNakOnly);
    EXPECT_EQ(pager.Counters().Accepted(kCmdStatusRequest), 0u);
    EXPECT_EQ(pager.Counters().framesRejected, 1u);
}

TEST(PagerSimFrames, FrameCutShortIsNakedOnceTheLineGoesQuiet) {
    const Bytes frame = PcFrame(kCmdStatusRequest, {0, 1});
    CPagerSim pager;
    CPcSide pc(pager);
    pc.Send(kPoll);
    pc.Send(kStx);
    pager.LineQuiet();  // between units: nothing to give up
    EXPECT_TRUE(pager.TakeOutput().empty());
    EXPECT_TRUE(pc.Send(Bytes(frame.begin(), frame.begin() + 4)).empty());
    EXPECT_TRUE(pager.InFrame());
    pager.LineQuiet();
    EXPECT_EQ(pager.TakeOutput(), kNakOnly);
    EXPECT_FALSE(pager.InFrame());
    EXPECT_EQ(pc.Send(frame), kAckOnly);
}

TEST(PagerSimFrames, ImpossibleLengthIsNakedWithoutWaitingForThePayload) {
    CPagerSim pager;
    CPcSide pc(pager);
    pc.Send(kPoll);
    pc.Send(kStx);
    EXPECT_EQ(pc.Send(Bytes{kCmdUploadRow, 0x02, 0x01}), kNakOnly);  // 513 bytes
    EXPECT_FALSE(pager.InFrame());
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
}

TEST(PagerSimFrames, WrongPayloadSizesAndDeviceCommandsAreRefused) {
    const std::vector<Bytes> refused = {
        PcFrame(kCmdStatusRequest, {0}),
        PcFrame(kCmdStatusRequest, {0, 0, 0}),
        PcFrame(kCmdRecordRequest, {0}),
        PcFrame(kCmdOpenBook, {1}),
        PcFrame(kCmdGroupCount),
        PcFrame(kCmdUploadStart, {0}),
        PcFrame(kCmdUploadRow, {0, 1, 0xA0, 0}),
    };
    for (const Bytes& frame : refused) {
        CPagerSim pager;
        CPcSide pc(pager);
        pc.Send(kPoll);
        pc.Send(kStx);
        EXPECT_EQ(pc.Send(frame), kNakOnly) << "command " << int(frame[0]);
        EXPECT_EQ(pc.Send(kEtx), kNakOnly);  // nothing was accepted, so no ETX yet
    }
    // The device's own commands are not frames it takes: refused at the first byte.
    CPagerSim pager;
    CPcSide pc(pager);
    pc.Send(kPoll);
    pc.Send(kStx);
    EXPECT_EQ(pc.Send(Bytes{kCmdStatusReply}), kNakOnly);
    EXPECT_EQ(pc.Send(Bytes{kCmdRecord}), kNakOnly);
    EXPECT_FALSE(pager.InFrame());
}

TEST(PagerSimSplit, AnyChunkingOfTheSameBytesGetsTheSameAnswers) {
    const Bytes row = [] {
        SPersonalEntry entry;
        entry.number = 9;
        // 'r' is the POLL byte and 0xA2 the entry's end marker: inside a frame both are text.
        entry.texts[kNote] = "r\xA2 rr \xFE\xA2";
        return PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(entry));
    }();
    const Bytes session = simtest::Join({{kPoll, kStx},
                                         PcFrame(kCmdUploadStart),
                                         row,
                                         PcFrame(kCmdStatusRequest, {0, 1}),
                                         {kEtx, kEot, kAck, kAck, kAck, kEot}});

    CPagerSim reference;
    reference.Receive(session);
    const Bytes expected = reference.TakeOutput();
    // POLL, STX, three frames, ETX answered ACK; EOT answered STX; the reply; ETX; EOT; ACK.
    ASSERT_EQ(expected.size(), 6u + 1u + 9u + 1u + 1u + 1u);
    EXPECT_EQ(Bytes(expected.begin(), expected.begin() + 7),
              (Bytes{kAck, kAck, kAck, kAck, kAck, kAck, kStx}));

    for (size_t cut = 0; cut <= session.size(); ++cut) {
        CPagerSim pager;
        pager.Receive(session.data(), cut);
        pager.Receive(session.data() + cut, session.size() - cut);
        ASSERT_EQ(pager.TakeOutput(), expected) << "cut at " << cut;
    }
    CPagerSim byteByByte;
    Bytes answers;
    for (uint8_t byte : session) {
        byteByByte.Receive(&byte, 1);
        const Bytes out = byteByByte.TakeOutput();
        answers.insert(answers.end(), out.begin(), out.end());
    }
    EXPECT_EQ(answers, expected);
}

TEST(PagerSimRobustness, RandomBytesNeverBreakTheDeviceAndHeldMemoryStaysBounded) {
    std::mt19937 random(20240611);
    // Mostly real units, so that every state is reached, mixed with junk and cut anywhere.
    const std::vector<Bytes> units = {
        {kPoll},
        {kAck},
        {kAck},
        {kAck},
        {kNak},
        {kStx},
        {kEtx},
        {kEot},
        PcFrame(kCmdStatusRequest, {0, 3}),
        PcFrame(kCmdRecordRequest),
        PcFrame(kCmdOpenBook),
        PcFrame(kCmdUploadRow, CRecordCodec::EncodeEntry(CPagerBook::Sample().Entries()[1])),
    };
    CPagerSim pager;
    size_t maxHeld = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes stream;
        for (int piece = 0; piece < 8; ++piece) {
            if (random() % 4 != 0) {
                const Bytes& unit = units[random() % units.size()];
                stream.insert(stream.end(), unit.begin(), unit.end());
            } else {
                for (size_t n = 1 + random() % 6; n > 0; --n) {
                    stream.push_back(static_cast<uint8_t>(random()));
                }
            }
        }
        const size_t cut = random() % (stream.size() + 1);
        pager.Receive(stream.data(), cut);
        pager.Receive(stream.data() + cut, stream.size() - cut);
        const Bytes out = pager.TakeOutput();
        // At most one answer per byte, none longer than the largest device frame.
        EXPECT_LE(out.size(), stream.size() * 516);
        maxHeld = std::max(maxHeld, pager.HeldBytes());
        if (round % 7 == 0) {
            pager.LineQuiet();
            pager.TakeOutput();
        }
    }
    // The walk went through the device's own sending and took frames of every kind offered.
    const SSimCounters& counters = pager.Counters();
    EXPECT_GT(counters.recordsSent, 0u);
    EXPECT_GT(counters.Accepted(kCmdStatusRequest), 0u);
    EXPECT_GT(counters.Accepted(kCmdUploadRow), 0u);
    EXPECT_GT(counters.framesRejected, 0u);
    EXPECT_LT(maxHeld, 64u * 1024u);

    pager.LineQuiet();
    pager.TakeOutput();
    CPcSide pc(pager);
    EXPECT_EQ(pc.Send(kPoll), kAckOnly);
    EXPECT_EQ(pc.Send(kEot), kAckOnly);
}
