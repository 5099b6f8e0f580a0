// The program's own port, engine and timers on a real pseudo-terminal, with the pager emulator
// on its other end and a window-free main window on the test's thread.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "link/DeviceLink.h"
#include "link/ErrorReport.h"
#include "link/LinkState.h"
#include "link/MessageLoop.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/SimOnPty.h"

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

using S = CDeviceLink::ELinkState;

class LinkEndToEndTest : public ::testing::Test {
  protected:
    void Start(sim::SSimFaults faults = {}, const std::string& device = "") {
        if (!pager) {
            pager = std::make_unique<CSimOnPty>(faults);
        }
        ASSERT_TRUE(pager->IsOpen());
        setenv("ORVEX_COM1", device.empty() ? pager->Path().c_str() : device.c_str(), 1);
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
            EXPECT_EQ(link->State(), S::kClosed);
            link.reset();
        }
        // Every move of every link of the test was one of the list's.
        EXPECT_EQ(CDeviceLink::StateViolations(), 0);
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
            case kMsgPortHungUp:
                ++hangUps;
                link->OnPortHungUp(static_cast<int>(lParam));
                break;
            case WM_TIMER:
                if (wParam == kReopenTimerId) {
                    link->OnReopenTimer();
                } else {
                    link->OnStatusTimer(maxPersonal);
                }
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
    int hangUps = 0;
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

// The list of the link's moves: a device is found only by a link that searches; any state
// may close.
TEST(LinkStateTest, TheListHoldsOnlyTheMovesTheLinkMakes) {
    const S all[] = {S::kClosed, S::kLooking, S::kSearching, S::kPresent};
    for (S from : all) {
        EXPECT_TRUE(CDeviceLink::Allowed(from, S::kClosed)) << CDeviceLink::StateName(from);
        EXPECT_EQ(CDeviceLink::Allowed(from, S::kPresent),
                  from == S::kSearching || from == S::kPresent)
            << CDeviceLink::StateName(from);
    }
    EXPECT_FALSE(CDeviceLink::Allowed(S::kClosed, S::kPresent));
    EXPECT_TRUE(CDeviceLink::Allowed(S::kPresent, S::kLooking));
    EXPECT_TRUE(CDeviceLink::Allowed(S::kLooking, S::kSearching));
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

// An adapter pulled out and put back: the other end of the terminal closes while the link
// polls, and a new terminal appears under the same name (the way a /dev/serial/by-id link
// comes back). The link closes the port, says "Disconnected", and finds the device again by
// itself.
TEST_F(LinkEndToEndTest, ComesBackByItselfWhenTheAdapterIsPluggedInAgain) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("orvex-replug-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path byId = dir / "usb-Test_Adapter_0001-if00-port0";
    pager = std::make_unique<CSimOnPty>();
    std::filesystem::create_symlink(pager->Path(), byId);
    Start({}, byId.string());
    EXPECT_EQ(link->Port().DevicePath(), byId.string()) << "opened through the stable name";
    EXPECT_EQ(link->State(), S::kSearching);
    ASSERT_TRUE(RunUntil([&] { return connected == 1; }, 10s));
    EXPECT_EQ(link->State(), S::kPresent);

    pager->HangUp();
    ASSERT_TRUE(RunUntil([&] { return hangUps == 1 && !failures.empty(); }, 5s));
    EXPECT_EQ(failures, std::vector<int>{kFailureLinkLost});
    EXPECT_EQ(loop.PaneText(StatusPane::Connection), "Disconnected");
    EXPECT_EQ(loop.PaneText(StatusPane::Port), "CLOSE");
    EXPECT_EQ(link->PortOpen(), 0);
    EXPECT_TRUE(link->LookingForDevice());
    EXPECT_EQ(link->State(), S::kLooking);
    // Unplugged for a while: the looks at the missing device change nothing and show nothing.
    std::filesystem::remove(byId);
    RunUntil([] { return false; }, 2500ms);
    EXPECT_EQ(link->PortOpen(), 0);
    EXPECT_TRUE(box.Shown().empty());

    // Plugged in again, renumbered: the same name now leads to another terminal.
    auto second = std::make_unique<CSimOnPty>();
    ASSERT_TRUE(second->IsOpen());
    std::filesystem::create_symlink(second->Path(), byId);
    ASSERT_TRUE(RunUntil([&] { return connected == 2; }, 10s));
    EXPECT_EQ(loop.PaneText(StatusPane::Connection), "Connected");
    EXPECT_EQ(loop.PaneText(StatusPane::Port), "COM1");
    EXPECT_FALSE(link->LookingForDevice());
    EXPECT_EQ(link->State(), S::kPresent);
    EXPECT_GE(second->With([](sim::CPagerSim& s) { return s.Counters().pollsAnswered; }), 1u);
    EXPECT_TRUE(box.Shown().empty());

    link->CloseLink();
    link.reset();
    second.reset();
    std::filesystem::remove_all(dir);
}

// A port change or the program's end stops the looking.
TEST_F(LinkEndToEndTest, ClosingTheLinkStopsLookingForTheDevice) {
    Start();
    pager->HangUp();
    ASSERT_TRUE(RunUntil([&] { return hangUps == 1; }, 5s));
    EXPECT_TRUE(link->LookingForDevice());
    link->CloseLink();
    EXPECT_FALSE(link->LookingForDevice());
    link->OnReopenTimer();  // a tick already on its way does nothing
    EXPECT_EQ(link->PortOpen(), 0);
}

}  // namespace
}  // namespace orvex::test
