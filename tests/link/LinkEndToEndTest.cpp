// The program's own port, engine and timers on a real pseudo-terminal, with the pager emulator
// on its other end and a window-free main window on the test's thread.
#include <gtest/gtest.h>

#include <chrono>

#include "link/DeviceLink.h"
#include "link/ErrorReport.h"
#include "link/LinkState.h"
#include "link/MessageLoop.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/SimOnPty.h"

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

class LinkEndToEndTest : public ::testing::Test {
  protected:
    void Start(sim::SSimFaults faults = {}) {
        pager = std::make_unique<CSimOnPty>(faults);
        ASSERT_TRUE(pager->IsOpen());
        setenv("ORVEX_COM1", pager->Path().c_str(), 1);
        CErrorReport::SetMessageBox(&box);
        LinkState().mainWindow = &loop;
        link = std::make_unique<CDeviceLink>();
        link->SelectPort(1);
        link->OpenLink();
        ASSERT_EQ(link->PortOpen(), 1) << link->Port().LastError();
        loop.SetTimer(kStatusTimerId, kStatusTimerMs);
        loop.SetPaneText(StatusPane::Connection, "Connecting...");
    }
    void TearDown() override {
        if (link) {
            link->CloseLink();
            link.reset();
        }
        LinkState().mainWindow = nullptr;
        CErrorReport::SetMessageBox(nullptr);
        pager.reset();
        unsetenv("ORVEX_COM1");
    }

    // The main window's share of the link, as the program's main window does it.
    intptr_t Handle(uint32_t message, intptr_t wParam, intptr_t lParam) {
        switch (message) {
            case kMsgBytesArrived:
                link->AssembleFrames();
                break;
            case kMsgConnected:
                ++connected;
                loop.SetPaneText(StatusPane::Connection, "Connected");
                loop.SetTimer(static_cast<int>(wParam), static_cast<uint32_t>(lParam));
                break;
            case kMsgBuildStatus: {
                const uint8_t rows[2] = {0, 0};
                link->BuildFrame(kCmdStatusRequest, rows, 2);
                break;
            }
            case kMsgStatusReply:
                capacity = link->RecvFrame()[3] << 8 | link->RecvFrame()[4];
                ++replies;
                break;
            case kMsgFailure:
                failures.push_back(static_cast<int>(wParam));
                link->FailureStopLink(static_cast<int>(wParam), static_cast<int>(lParam));
                link->FailureResumeStatus(static_cast<int>(wParam), static_cast<int>(lParam));
                break;
            case WM_TIMER:
                link->OnStatusTimer(maxPersonal);
                break;
            default:
                break;
        }
        return 0;
    }

    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        return loop.RunUntil(done, limit);
    }

    CMessageLoop loop{[this](uint32_t m, intptr_t w, intptr_t l) { return Handle(m, w, l); }};
    CRecordingMessageBox box;
    std::unique_ptr<CSimOnPty> pager;
    std::unique_ptr<CDeviceLink> link;
    int connected = 0;
    int replies = 0;
    int capacity = 0;
    int maxPersonal = 0;
    std::vector<int> failures;
};

TEST_F(LinkEndToEndTest, FindsThePagerAndKeepsPollingIt) {
    Start();
    // Polling starts from the status timer, as at the program's start.
    ASSERT_TRUE(RunUntil([&] { return connected == 1; }, 10s));
    EXPECT_EQ(loop.PaneText(StatusPane::Connection), "Connected");
    EXPECT_EQ(loop.PaneText(StatusPane::Port), "COM1");
    const size_t polls = pager->With([](sim::CPagerSim& s) { return s.Counters().pollsAnswered; });
    RunUntil([] { return false; }, 2500ms);
    EXPECT_GE(pager->With([](sim::CPagerSim& s) { return s.Counters().pollsAnswered; }), polls + 2);
    EXPECT_EQ(connected, 1);
    EXPECT_TRUE(failures.empty());
}

TEST_F(LinkEndToEndTest, StatusTimerAsksForTheStatusWhileTheCapacityIs200) {
    maxPersonal = 200;
    Start();
    ASSERT_TRUE(RunUntil([&] { return replies >= 1; }, 15s));
    EXPECT_EQ(capacity, 200);
    EXPECT_EQ(pager->With([](sim::CPagerSim& s) { return s.Counters().Accepted(0xC1); }), 1u);
}

TEST_F(LinkEndToEndTest, GarbageAndABadChecksumAreGotOver) {
    sim::SSimFaults faults;
    faults.garbageBytes = 40;
    faults.badChecksumFrame = 1;
    maxPersonal = 200;
    Start(faults);
    ASSERT_TRUE(RunUntil([&] { return replies >= 1; }, 20s));
    EXPECT_EQ(capacity, 200);
    EXPECT_EQ(pager->With([](sim::CPagerSim& s) { return s.Counters().framesResent; }), 1u);
    EXPECT_TRUE(failures.empty());
}

TEST_F(LinkEndToEndTest, SilentPagerIsDeclaredLostAndSearchedForAgain) {
    sim::SSimFaults faults;
    faults.silent = true;
    Start(faults);
    link->RestartPolling();
    ASSERT_TRUE(RunUntil([&] { return !failures.empty(); }, 15s));
    EXPECT_EQ(failures, std::vector<int>{kFailureLinkLost});
    EXPECT_EQ(loop.PaneText(StatusPane::Connection), "Disconnected");
    EXPECT_EQ(connected, 0);

    // The pager comes back: the status timer restarts polling and finds it.
    pager->With([](sim::CPagerSim& s) {
        s.SetFaults({});
        return 0;
    });
    ASSERT_TRUE(RunUntil([&] { return connected == 1; }, 10s));
}

}  // namespace
}  // namespace orvex::test
