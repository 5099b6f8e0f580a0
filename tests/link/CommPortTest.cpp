#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "tests/link/LinkTestFixture.h"

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A pseudo-terminal whose slave side is COM4 for the port under test.
class CommPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[128];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        slavePath = name;
        setenv("ORVEX_COM4", name, 1);
        LinkState().mainWindow = &window;
        CErrorReport::SetMessageBox(&box);
        link = std::make_unique<CDeviceLink>(time, time);
        link->SelectPort(4);
    }
    void TearDown() override {
        link.reset();
        LinkState().mainWindow = nullptr;
        CErrorReport::SetMessageBox(nullptr);
        unsetenv("ORVEX_COM4");
        if (master >= 0) {
            close(master);
        }
        close(slave);
    }

    int master = -1;
    int slave = -1;
    std::string slavePath;
    CVirtualTime time;
    CRecordingWindow window;
    CRecordingMessageBox box;
    std::unique_ptr<CDeviceLink> link;
};

TEST_F(CommPortTest, OpensWithTheLineSettings) {
    link->OpenLink();
    ASSERT_EQ(link->PortOpen(), 1) << link->Port().LastError();
    EXPECT_EQ(window.panes[StatusPane::Port], "COM4");
    EXPECT_EQ(link->Port().DevicePath(), slavePath);
    EXPECT_EQ(link->Port().PortIndex(), 3);
    termios tio{};
    ASSERT_EQ(tcgetattr(slave, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(cfgetispeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);

    link->CloseLink();
    EXPECT_EQ(window.panes[StatusPane::Port], "CLOSE");
    EXPECT_EQ(link->PortOpen(), 0);
}

TEST_F(CommPortTest, PortHeldElsewhereOrMissingFailsToOpen) {
    link->OpenLink();
    ASSERT_EQ(link->PortOpen(), 1);
    CCommPort other;
    EXPECT_FALSE(other.Open("COM4", 9600, 3, link.get()));
    EXPECT_NE(other.LastError().find("in use"), std::string::npos) << other.LastError();

    // Through a second link the failure is the user's Error 301.
    window.panes.clear();
    CDeviceLink second(time, time);
    second.SelectPort(4);
    second.OpenLink();
    EXPECT_EQ(second.PortOpen(), 0);
    EXPECT_EQ(box.Shown().back(), "Error 301|Unable to initialize COM port!");
    EXPECT_EQ(window.panes.count(StatusPane::Port), 0u);

    setenv("ORVEX_COM2", "/nonexistent/tty", 1);
    EXPECT_FALSE(other.Open("COM2", 9600, 1, link.get()));
    EXPECT_NE(other.LastError().find("No such file"), std::string::npos) << other.LastError();
    unsetenv("ORVEX_COM2");
    EXPECT_EQ(CCommPort::DevicePathFor("COM2"), "/dev/ttyS1");

    // Closed, the port is free again.
    link->CloseLink();
    EXPECT_TRUE(other.Open("COM4", 9600, 3, link.get())) << other.LastError();
    other.Close();
}

TEST_F(CommPortTest, ReceivedBytesAreQueuedWithOneNotificationPerWakeUp) {
    link->OpenLink();
    ASSERT_EQ(link->PortOpen(), 1);
    const uint8_t one = kAck;
    ASSERT_EQ(write(master, &one, 1), 1);
    ASSERT_TRUE(WaitFor([&] { return window.Count(kMsgBytesArrived) == 1; }));
    EXPECT_EQ(link->Port().Queue().Count(), 1);
    EXPECT_EQ(link->Port().Queue().Peek(0), kAck);
    EXPECT_EQ(window.Take().front(), (Message{kMsgBytesArrived, 3, 0, false}));

    uint8_t burst[600];
    std::memset(burst, 0x41, sizeof burst);
    ASSERT_EQ(write(master, burst, sizeof burst), static_cast<ssize_t>(sizeof burst));
    ASSERT_TRUE(WaitFor([&] { return link->Port().Queue().Count() == 601; }));
    ASSERT_TRUE(WaitFor([&] { return window.Count(kMsgBytesArrived) >= 1; }));
    EXPECT_LE(window.Count(kMsgBytesArrived), 5u) << "not one notification per byte";

    // What the link writes reaches the other end whole.
    link->SendByte(kPoll);
    uint8_t got = 0;
    ASSERT_TRUE(WaitFor([&] { return read(master, &got, 1) == 1; }));
    EXPECT_EQ(got, kPoll);
}

TEST_F(CommPortTest, ChunkThatDoesNotFitIsDroppedWithError303) {
    link->OpenLink();
    ASSERT_EQ(link->PortOpen(), 1);
    uint8_t fill[1000];
    std::memset(fill, 0x41, sizeof fill);
    ASSERT_EQ(write(master, fill, sizeof fill), 1000);
    ASSERT_TRUE(WaitFor([&] { return link->Port().Queue().Count() == 1000; }));
    ASSERT_EQ(write(master, fill, 100), 100);
    ASSERT_TRUE(WaitFor([&] { return !box.Shown().empty(); }));
    EXPECT_EQ(box.Shown().back(), "Error 303|Serial port queue is full!");
    EXPECT_EQ(link->Port().Queue().Count(), 1000);
}

TEST_F(CommPortTest, ReceivedBytesEndTheReplyWait) {
    link->OpenLink();
    link->StartWatchdog();
    LinkState().replyWait = 1;
    const uint8_t one = kAck;
    ASSERT_EQ(write(master, &one, 1), 1);
    ASSERT_TRUE(WaitFor([&] { return LinkState().replyWait == 0; }));
    ASSERT_TRUE(WaitFor([&] { return !link->WatchdogRunning(); }));
}

TEST_F(CommPortTest, CloseEndsTheWaitingThread) {
    link->OpenLink();
    ASSERT_TRUE(link->Port().ThreadRunning());
    link->CloseLink();
    EXPECT_FALSE(link->Port().ThreadRunning());
    EXPECT_EQ(window.Count(kMsgBytesArrived), 0u);
}

TEST_F(CommPortTest, HangUpDoesNotMakeTheThreadSpin) {
    link->OpenLink();
    ASSERT_EQ(link->PortOpen(), 1);
    close(master);
    master = -1;
    timespec before{}, after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    std::this_thread::sleep_for(600ms);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const double cpu = (after.tv_sec - before.tv_sec) + (after.tv_nsec - before.tv_nsec) / 1e9;
    EXPECT_LT(cpu, 0.3) << "a spinning thread would use the whole 0.6 s";
    EXPECT_EQ(window.Count(kMsgBytesArrived), 0u);
    EXPECT_EQ(link->SendByte(kPoll), false) << "a write to a hung-up line fails";
    link->CloseLink();
    EXPECT_FALSE(link->Port().ThreadRunning());
}

}  // namespace
}  // namespace orvex::test
