#include <random>

#include "tests/link/LinkTestFixture.h"
#include "tests/link/TransferPhase.h"

namespace orvex::test {
namespace {

intptr_t Self(CDeviceLink& link) {
    return reinterpret_cast<intptr_t>(&link);
}

TEST_F(LinkFixture, IdlePollExchangeReportsPresenceOnce) {
    link->RestartPolling();
    EXPECT_EQ(Sent(), Bytes{kPoll});
    EXPECT_TRUE(link->PollTimerRunning());
    EXPECT_TRUE(link->WatchdogRunning());
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kEot});
    Feed(kAck);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgConnected, 0, 2400, true}}));
    EXPECT_EQ(LinkState().devicePresent, 1);
    EXPECT_FALSE(link->WatchdogRunning()) << "the device's answer ends the reply wait";

    // The next polls come from the poll timer and no longer announce the device.
    time.Advance(kPollPeriodMs);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    Feed(kAck);
    Feed(kAck);
    EXPECT_EQ(window.Count(kMsgConnected), 0u);

    // Once the flag is cleared (link lost, port change), the next exchange announces again.
    LinkState().devicePresent = 0;
    time.Advance(kPollPeriodMs);
    Feed(kAck);
    Feed(kAck);
    EXPECT_EQ(window.Count(kMsgConnected), 1u);
}

TEST_F(LinkFixture, PreparedFrameRoundTripWithTurnAround) {
    BringPresent();
    link->PrepareFrame(kCmdStatusRequest, Bytes{0x00, 0x05}.data(), 2);
    time.Advance(kPollPeriodMs);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kStx});
    EXPECT_FALSE(link->PollTimerRunning());
    Feed(kAck);
    EXPECT_EQ(Sent(), PcFrame(kCmdStatusRequest, {0x00, 0x05}));
    EXPECT_EQ(Sent().size(), 0u);
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kEtx});
    EXPECT_FALSE(link->SendPending());
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kEot});

    // The device takes the line and answers.
    Feed(kStx);
    EXPECT_EQ(Sent(), Bytes{kAck});
    bool ackedBeforeHandler = false;
    window.onSend = [&](uint32_t message, intptr_t, intptr_t) {
        if (message == kMsgStatusReply) {
            ackedBeforeHandler = line.bytes == Bytes{kAck};
        }
    };
    Feed(StatusReply(200, 3, 1));
    EXPECT_TRUE(ackedBeforeHandler);
    EXPECT_EQ(Sent(), Bytes{kAck});
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgStatusReply, 0, Self(*link), true}}));
    const uint8_t* frame = link->RecvFrame();
    EXPECT_EQ(frame[3] << 8 | frame[4], 200);
    EXPECT_EQ(frame[5] << 8 | frame[6], 3);
    EXPECT_EQ(frame[7], 1);
    Feed(kEtx);
    EXPECT_EQ(Sent(), Bytes{kAck});
    Feed(kEot);
    EXPECT_EQ(Sent(), Bytes{kEot}) << "nothing pending: the line goes back";
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kPoll}) << "after the turn-around polling restarts";
    EXPECT_TRUE(link->PollTimerRunning());

    // With a frame pending when the device ends its turn, the PC asks for the line at once.
    link->SetSendPending(true);
    Feed(kAck);
    Sent();
    Feed(kStx);
    Feed(kEtx);
    Sent();
    Feed(kEot);
    EXPECT_EQ(Sent(), Bytes{kStx});
}

TEST_F(LinkFixture, InvalidAndUnsolicitedFramesAreRefused) {
    BringPresent();
    EXPECT_EQ(link->LastSent(), kEot);

    // Nothing asked for: a recorded NAK.
    Feed(StatusReply(200, 0, 0));
    EXPECT_EQ(Sent(), Bytes{kNak});
    EXPECT_EQ(link->LastSent(), kNak);
    link->BuildFrame(kCmdStatusRequest, Bytes{0, 0}.data(), 2);
    Feed(DeviceFrame(kCmdRecord, {0, 1, 0xA0}));
    EXPECT_EQ(Sent(), Bytes{kNak}) << "a record while the prepared frame is 0xC1";

    // A bad checksum: a NAK that does not become the last sent byte, and the device may
    // send again.
    link->SendByte(kEtx);
    Sent();
    Bytes bad = DeviceFrame(kCmdStatusReply, {0, 200, 0, 0, 0}, true);
    Feed(bad);
    EXPECT_EQ(Sent(), Bytes{kNak});
    EXPECT_EQ(link->LastSent(), kEtx);
    EXPECT_TRUE(link->WatchdogRunning());
    EXPECT_EQ(window.Count(kMsgStatusReply), 0u);
    Feed(StatusReply(200, 0, 0));
    EXPECT_EQ(Sent(), Bytes{kAck});
    EXPECT_EQ(window.Count(kMsgStatusReply), 1u);
}

// A frame shorter than its layout, checksum and all, is refused like a bad one: nothing of it
// is read from what an earlier frame left in the buffer.
TEST_F(LinkFixture, FramesShorterThanTheirLayoutAreRefused) {
    BringPresent();
    link->BuildFrame(kCmdStatusRequest, Bytes{0, 0}.data(), 2);
    Feed(StatusReply(150, 7, 2));
    EXPECT_EQ(Sent(), Bytes{kAck});
    for (const Bytes& payload : {Bytes{}, Bytes{0, 200}, Bytes{0, 200, 0, 9}}) {
        link->SendByte(kEtx);
        Sent();
        Feed(DeviceFrame(kCmdStatusReply, payload));
        EXPECT_EQ(Sent(), Bytes{kNak}) << payload.size();
        EXPECT_EQ(link->LastSent(), kEtx) << "the device may send it again";
    }
    EXPECT_EQ(window.Count(kMsgStatusReply), 1u);

    link->BuildFrame(kCmdRecordRequest, nullptr, 0);
    const int before = link->Transfer().Transferred();
    for (const Bytes& payload : {Bytes{}, Bytes{0, 1}}) {
        Feed(DeviceFrame(kCmdRecord, payload));
        EXPECT_EQ(Sent(), Bytes{kNak}) << payload.size();
    }
    EXPECT_EQ(link->Transfer().Transferred(), before) << "a refused record is not counted";
    EXPECT_EQ(window.Count(kMsgRecord), 0u);
    Feed(DeviceFrame(kCmdRecord, {0, 1, 0xA0}));
    EXPECT_EQ(Sent(), Bytes{kAck});
    EXPECT_EQ(window.Count(kMsgRecord), 1u);
}

TEST_F(LinkFixture, FramesWaitForTheirLengthAndAllTheirBytes) {
    BringPresent();
    // L = 0: the command byte alone, or with half its length, is not a unit.
    Feed(kCmdDeviceBF);
    Feed(0x00);
    Feed(0x00);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(link->Port().Queue().Count(), 3);
    Feed(kCmdDeviceBF);  // checksum of BF 00 00
    EXPECT_EQ(Sent(), Bytes{kAck});
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgFrameBF, 0, Self(*link), false}}));

    // L = 3: seven bytes in all.
    Bytes frame = DeviceFrame(kCmdDeviceA2, {1, 2, 3});
    Feed(Bytes(frame.begin(), frame.begin() + 6));
    EXPECT_TRUE(Sent().empty());
    Feed(frame.back());
    EXPECT_EQ(Sent(), Bytes{kAck});
    EXPECT_EQ(window.Count(kMsgFrameA2), 1u);
    EXPECT_EQ(link->Port().Queue().Count(), 0);

    // A length that no device frame can have: NAK, and the queue is emptied.
    Feed(Bytes{0x55, 0x55, 0x55, 0x01, 0x02});
    EXPECT_EQ(Sent(), Bytes{kNak});
    EXPECT_EQ(link->Port().Queue().Count(), 0);
    Feed(Bytes{kCmdRecord, 0x02, 0x01});  // 513
    EXPECT_EQ(Sent(), Bytes{kNak});
    EXPECT_EQ(link->Port().Queue().Count(), 0);
}

// Every unit of a download conversation, fed whole, in two chunks split at every position, and
// byte by byte, gives the same answers and the same messages.
TEST(LinkSplitTest, EveryChunkBoundaryGivesTheSameResult) {
    const std::vector<Bytes> units = {
        {kStx},
        StatusReply(200, 2, 1),
        DeviceFrame(kCmdRecord, {0, 1, 0xA0, 0, 'A', 'n', 'n', 1,  2,  3,  4,  5,
                                 0, 6, 7,    8, 9,   10,  11,  12, 13, 14, 15, 0xA2}),
        DeviceFrame(kCmdDeviceBF, {}),
        DeviceFrame(kCmdStatusReply, {0, 200, 0, 0, 0}, true),
        {kEtx},
        {kEot},
    };
    struct Outcome {
        Bytes bytes;
        std::vector<Message> messages;
        bool operator==(const Outcome&) const = default;
    };
    auto run = [&](const std::function<std::vector<Bytes>(const Bytes&)>& split) {
        CVirtualTime time;
        CByteRecorder line;
        CRecordingWindow window;
        LinkState().mainWindow = &window;
        Outcome out;
        {
            CDeviceLink link(time, time, &line);
            link.BuildFrame(kCmdStatusRequest, Bytes{0, 0}.data(), 2);
            for (const Bytes& unit : units) {
                if (unit[0] == kCmdRecord) {
                    link.BuildFrame(kCmdRecordRequest, nullptr, 0);
                }
                for (const Bytes& chunk : split(unit)) {
                    link.OnReceiveHook();
                    link.Port().Queue().PushAll(chunk.data(), static_cast<int>(chunk.size()));
                    link.AssembleFrames();
                }
            }
            out.bytes = line.bytes;
            for (Message m : window.messages) {
                m.lParam = m.message == kMsgConnected ? m.lParam : 0;
                out.messages.push_back(m);
            }
        }
        LinkState().mainWindow = nullptr;
        return out;
    };
    const Outcome whole = run([](const Bytes& u) { return std::vector<Bytes>{u}; });
    ASSERT_EQ(whole.bytes, (Bytes{kAck, kAck, kAck, kAck, kNak, kAck, kEot}));
    for (size_t cut = 1; cut < 30; ++cut) {
        const Outcome two = run([cut](const Bytes& u) {
            if (cut >= u.size()) {
                return std::vector<Bytes>{u};
            }
            return std::vector<Bytes>{Bytes(u.begin(), u.begin() + static_cast<long>(cut)),
                                      Bytes(u.begin() + static_cast<long>(cut), u.end())};
        });
        EXPECT_EQ(two, whole) << "split after byte " << cut;
    }
    const Outcome single = run([](const Bytes& u) {
        std::vector<Bytes> bytes;
        for (uint8_t b : u) {
            bytes.push_back({b});
        }
        return bytes;
    });
    EXPECT_EQ(single, whole);
}

TEST_F(LinkFixture, RepeatedRejectionStopsThenPollingResumesByItself) {
    link->RestartPolling();
    Sent();
    // The first NAK of POLL only notes the byte; five more in a row are too many.
    for (int i = 0; i < 5; ++i) {
        Feed(kNak);
        EXPECT_EQ(Sent(), Bytes{kPoll}) << "rejection " << i + 1;
    }
    EXPECT_TRUE(window.Take().empty());
    Feed(kNak);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgFailure, 0, 0, false}}));
    EXPECT_FALSE(link->PollTimerRunning());
    EXPECT_FALSE(link->WatchdogRunning());

    // The failure handler's link steps: the device counts as gone and the status timer
    // brings polling back.
    LinkState().devicePresent = 1;
    link->FailureStopLink(0, 0);
    link->FailureResumeStatus(0, 0);
    EXPECT_EQ(LinkState().devicePresent, 0);
    EXPECT_EQ(window.timers.at(kStatusTimerId), kStatusTimerMs);
    EXPECT_EQ(window.panes[StatusPane::Connection], "Disconnected");
    link->OnStatusTimer(200);
    EXPECT_EQ(Sent(), Bytes{kPoll});
}

TEST_F(LinkFixture, RejectedOpenRequestPollsTwiceAndReportsLocked) {
    link->PrepareFrame(kCmdOpenBook, nullptr, 0);
    SendPreparedFrame();
    EXPECT_EQ(link->LastSent(), kCmdOpenBook);
    Feed(kNak);
    EXPECT_EQ(Sent(), (Bytes{kPoll, kPoll}));
    EXPECT_FALSE(link->SendPending());
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgOpenAnswered, 1, Self(*link), false}}));
}

TEST_F(LinkFixture, AcceptedOpenRequestIsPostedBeforeTheTurnEnds) {
    link->PrepareFrame(kCmdOpenBook, nullptr, 0);
    SendPreparedFrame();
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kEtx});
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgOpenAnswered, 0, Self(*link), false}}));
}

TEST_F(LinkFixture, UploadRowsFollowEachOtherAndEndWithEtx) {
    test::PutInPhase(link->Transfer(), CTransfer::EPhase::kUploadRows);
    link->Transfer().Expect(2);
    int built = 0;
    window.onSend = [&](uint32_t message, intptr_t, intptr_t) {
        if (message == kMsgNextRow) {
            const uint8_t row[] = {0, static_cast<uint8_t>(++built), 0xA1, 0xA3};
            link->BuildFrame(kCmdUploadRow, row, sizeof row);
        }
    };
    link->PrepareFrame(kCmdUploadStart, nullptr, 0);
    SendPreparedFrame();
    Feed(kAck);  // 0xC5 accepted: ETX, the first row is built and waits for the line
    EXPECT_EQ(Sent(), Bytes{kEtx});
    EXPECT_TRUE(link->SendPending());
    Feed(kAck);  // ETX -> EOT
    Feed(kAck);  // EOT -> polling
    Feed(kAck);  // POLL -> STX
    Feed(kAck);  // STX -> the first row
    Bytes expected{kEot, kPoll, kStx};
    const Bytes row1 = PcFrame(kCmdUploadRow, {0, 1, 0xA1, 0xA3});
    expected.insert(expected.end(), row1.begin(), row1.end());
    EXPECT_EQ(Sent(), expected);
    Feed(kAck);  // row 1 accepted: row 2 goes at once
    EXPECT_EQ(Sent(), PcFrame(kCmdUploadRow, {0, 2, 0xA1, 0xA3}));
    EXPECT_EQ(window.Count(kMsgRowsDone), 0u);
    Feed(kAck);  // row 2 accepted: the last
    EXPECT_EQ(Sent(), Bytes{kEtx});
    EXPECT_EQ(link->Transfer().Transferred(), 2);
    EXPECT_EQ(window.Count(kMsgRowsDone), 1u);

    // The group phase ends with ETX alone.
    window.Take();
    test::PutInPhase(link->Transfer(), CTransfer::EPhase::kUploadGroups);
    link->Transfer().Expect(1);
    link->PrepareFrame(kCmdUploadGroup, Bytes{0, 1, 0xA1, 0xA3}.data(), 4);
    SendPreparedFrame();
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kEtx});
    EXPECT_EQ(window.Count(kMsgNextGroup), 1u);
    EXPECT_EQ(window.Count(kMsgRowsDone), 0u);
}

// The commands end an upload without groups inside the last row's 0x40A: the row was the
// last all the same, so ETX follows and nothing is sent again.
TEST_F(LinkFixture, ALastRowWhoseHandlerEndsTheTransferStillEndsWithEtx) {
    test::PutInPhase(link->Transfer(), CTransfer::EPhase::kUploadRows);
    link->Transfer().Expect(1);
    window.onSend = [&](uint32_t message, intptr_t, intptr_t) {
        if (message != kMsgNextRow) {
            return;
        }
        if (link->Transfer().Finished()) {
            link->Transfer().End();
        } else {
            link->BuildFrame(kCmdUploadRow, Bytes{0, 1, 0xA1, 0xA3}.data(), 4);
        }
    };
    link->PrepareFrame(kCmdUploadStart, nullptr, 0);
    SendPreparedFrame();
    for (int i = 0; i < 5; ++i) {
        Feed(kAck);  // 0xC5, ETX, EOT, POLL, STX: the row goes
    }
    Sent();
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kEtx});
    EXPECT_EQ(window.Count(kMsgRowsDone), 1u);
    EXPECT_EQ(link->Transfer().Phase(), CTransfer::EPhase::kNone);
}

// Each part of a transfer is entered only from the one before it; anything may end it, and
// the end forgets its counts.
TEST(TransferPhaseTest, PhasesFollowTheirListAndTheEndForgetsTheCounts) {
    using P = CTransfer::EPhase;
    for (P from : {P::kNone, P::kDownload, P::kUploadRows, P::kBetweenPhases, P::kUploadGroups}) {
        EXPECT_TRUE(CTransfer::Allowed(from, P::kNone)) << CTransfer::PhaseName(from);
        EXPECT_EQ(CTransfer::Allowed(from, P::kDownload), from == P::kNone);
        EXPECT_EQ(CTransfer::Allowed(from, P::kUploadGroups), from == P::kBetweenPhases);
    }
    CTransfer transfer;
    transfer.Enter(P::kUploadRows);
    transfer.Expect(2);
    EXPECT_TRUE(transfer.HoldsLine() && transfer.Uploading());
    EXPECT_FALSE(transfer.CountOne());
    EXPECT_TRUE(transfer.CountOne());
    transfer.Enter(P::kBetweenPhases);
    EXPECT_FALSE(transfer.HoldsLine()) << "nothing is sent for it between the two phases";
    transfer.SetGroupCounter(3);
    transfer.End();
    EXPECT_EQ(transfer.Phase(), P::kNone);
    EXPECT_EQ(transfer.Expected(), 1);
    EXPECT_EQ(transfer.Transferred(), 0);
    EXPECT_EQ(transfer.GroupCounter(), 0);
    EXPECT_EQ(CTransfer::Violations(), 0);
}

TEST_F(LinkFixture, WatchdogRetriesThenDeclaresTheLinkLost) {
    link->RestartPolling();
    Sent();
    // Each time-out: 790 ms until the watchdog runs, then more than 800 ms of waiting.
    const uint32_t round = kWatchdogPeriodMs + 900;
    time.Advance(round);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    time.Advance(round);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    EXPECT_TRUE(window.Take().empty()) << "time-outs without a transfer post nothing";
    EXPECT_EQ(LinkState().timeoutCount, 2);
    time.Advance(round);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    link->Port().Queue().Push(0x99);  // a stray byte left over
    time.Advance(round);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgFailure, kFailureLinkLost, 0, false}}));
    EXPECT_EQ(link->Port().Queue().Count(), 0);
    EXPECT_EQ(time.ActiveTimers(), 0u);
    EXPECT_EQ(LinkState().timeoutCount, 0);

    // The failure handler's link steps.
    LinkState().devicePresent = 1;
    link->FailureStopLink(kFailureLinkLost, 0);
    link->FailureResumeStatus(kFailureLinkLost, 0);
    EXPECT_EQ(window.panes[StatusPane::Connection], "Disconnected");
    EXPECT_EQ(LinkState().devicePresent, 0);
    EXPECT_EQ(window.timers.at(kStatusTimerId), kStatusTimerMs);
}

TEST_F(LinkFixture, TimeoutsDuringATransferAreReported) {
    test::PutInPhase(link->Transfer(), CTransfer::EPhase::kDownload);
    link->RestartPolling();
    time.Advance(kWatchdogPeriodMs + 900);
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgFailure, 1, 0, false}}));
    // A reply resets the count; the retry's poll exchange clears the retry flag.
    EXPECT_EQ(LinkState().retry, 1);
    Feed(kAck);
    Feed(kAck);
    EXPECT_EQ(LinkState().retry, 0);
    EXPECT_EQ(LinkState().timeoutCount, 0);
}

TEST_F(LinkFixture, FirstWaitOfAnUploadIsEightSeconds) {
    test::PutInPhase(link->Transfer(), CTransfer::EPhase::kUploadRows);
    const uint32_t start = time.Now();
    link->RestartPolling();
    Sent();
    // The watchdog's wait runs to its end inside the callback; the clock shows how long.
    time.Advance(kWatchdogPeriodMs);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    EXPECT_EQ(time.Now() - start, kWatchdogPeriodMs + 8100) << "more than 8 s of waiting";
    EXPECT_EQ(window.Take(), (std::vector<Message>{{kMsgFailure, 1, 0, false}}));
    // Later waits are the usual 800 ms.
    const uint32_t retry = time.Now();
    time.Advance(kWatchdogPeriodMs);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    EXPECT_EQ(time.Now() - retry, kWatchdogPeriodMs + 900);
}

TEST_F(LinkFixture, PartialUnitIsDiscardedWhenItsRestNeverComes) {
    link->RestartPolling();
    Sent();
    // Half a frame arrives while the watchdog waits; the rest never does.
    bool fed = false;
    time.onSleep = [&](uint32_t) {
        if (!fed) {
            fed = true;
            Feed(Bytes{kCmdStatusReply, 0x00});
        }
    };
    time.Advance(kWatchdogPeriodMs + 100);
    EXPECT_TRUE(link->WatchdogRunning()) << "the wait for the rest keeps a watchdog";
    time.Advance(kWatchdogPeriodMs + 900);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    EXPECT_EQ(link->Port().Queue().Count(), 0);
    Feed(kAck);
    EXPECT_EQ(Sent(), Bytes{kEot}) << "the retry starts from an empty queue";
}

TEST_F(LinkFixture, ReplyDuringTheWaitLeavesTheNextWatchdogRunning) {
    link->RestartPolling();
    Sent();
    bool fed = false;
    time.onSleep = [&](uint32_t) {
        if (!fed) {
            fed = true;
            Feed(kAck);  // answered: the link sends EOT and watches for its answer
        }
    };
    time.Advance(kWatchdogPeriodMs + 200);
    EXPECT_EQ(Sent(), Bytes{kEot});
    EXPECT_TRUE(link->WatchdogRunning());
    EXPECT_EQ(LinkState().replyWait, 0);
}

TEST_F(LinkFixture, StatusTimerAsksOnlyWhenPresentAndIdle) {
    window.onSend = [&](uint32_t message, intptr_t, intptr_t) {
        if (message == kMsgBuildStatus) {
            link->BuildFrame(kCmdStatusRequest, Bytes{0, 0}.data(), 2);
        }
    };
    LinkState().devicePresent = 1;
    link->OnStatusTimer(200);
    EXPECT_EQ(window.Count(kMsgBuildStatus), 1u);
    EXPECT_TRUE(link->SendPending());
    EXPECT_EQ(window.timers.at(kStatusTimerId), kStatusTimerMs);

    link->SetSendPending(false);
    link->OnStatusTimer(200, true);
    EXPECT_EQ(window.Count(kMsgBuildStatus), 1u) << "busy: the prepared frame is the busy one's";
    EXPECT_EQ(window.timers.at(kStatusTimerId), kStatusTimerMs) << "the timer keeps running";
    link->OnStatusTimer(199);
    EXPECT_EQ(window.Count(kMsgBuildStatus), 1u) << "another capacity: no status requests";
    EXPECT_FALSE(link->SendPending());

    // A running download keeps its prepared frame.
    link->BuildFrame(kCmdRecordRequest, nullptr, 0);
    test::PutInPhase(link->Transfer(), CTransfer::EPhase::kDownload);
    link->OnStatusTimer(200);
    EXPECT_EQ(window.Count(kMsgBuildStatus), 1u);
    EXPECT_EQ(link->FrameCommand(), kCmdRecordRequest);

    LinkState().devicePresent = 0;
    link->OnStatusTimer(200);
    EXPECT_EQ(Sent(), Bytes{kPoll});
    EXPECT_EQ(window.timers.count(kStatusTimerId), 0u) << "absent: polling, no new timer";
}

TEST_F(LinkFixture, ShortWriteIsNotRecorded) {
    link->RestartPolling();
    link->StopWatchdog();
    line.failWrites = true;
    EXPECT_FALSE(link->SendByte(kEtx));
    EXPECT_EQ(link->LastSent(), kPoll);
    EXPECT_FALSE(link->WatchdogRunning());
}

TEST_F(LinkFixture, StopMakesTheFailureHandlerForgetTheTransfer) {
    link->PrepareFrame(kCmdRecordRequest, nullptr, 0);
    link->Transfer().Expect(7);
    for (int i = 0; i < 3; ++i) {
        link->Transfer().CountOne();
    }
    link->RestartPolling();
    LinkState().devicePresent = 1;
    link->FailureStopLink(0, kFailureStopped);
    EXPECT_FALSE(link->PollTimerRunning());
    EXPECT_FALSE(link->SendPending());
    EXPECT_EQ(link->FrameCommand(), 0);
    EXPECT_EQ(link->Transfer().Expected(), 1);
    EXPECT_EQ(link->Transfer().Transferred(), 0);
    link->FailureResumeStatus(0, kFailureStopped);
    EXPECT_EQ(LinkState().devicePresent, 0);
    EXPECT_EQ(window.panes.count(StatusPane::Connection), 0u) << "no Disconnected after Stop";
}

// Random bytes from a faulty line: the engine neither crashes nor reads beyond its buffers
// (the sanitizer builds check the latter), and the queue never overflows.
TEST_F(LinkFixture, GarbageNeverBreaksTheEngine) {
    std::mt19937 random(7);
    link->RestartPolling();
    for (int i = 0; i < 3000; ++i) {
        Bytes chunk(random() % 40 + 1);
        for (uint8_t& b : chunk) {
            b = static_cast<uint8_t>(random());
        }
        CRecvQueue& queue = link->Port().Queue();
        link->OnReceiveHook();
        queue.PushAll(chunk.data(), static_cast<int>(chunk.size()));
        link->AssembleFrames();
        ASSERT_LE(queue.Count(), CRecvQueue::kCapacity);
        if (i % 50 == 0) {
            time.Advance(2000);
        }
        line.Take();
    }
}

}  // namespace
}  // namespace orvex::test
