#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/DeviceLink.h"
#include "link/ErrorReport.h"
#include "link/LinkState.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/VirtualTime.h"

namespace orvex::test {

using Bytes = std::vector<uint8_t>;

// A device frame: command, big-endian length, payload, checksum (no trailer).
inline Bytes DeviceFrame(uint8_t command, const Bytes& payload, bool badChecksum = false) {
    Bytes frame{command, static_cast<uint8_t>(payload.size() >> 8),
                static_cast<uint8_t>(payload.size() & 0xFF)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(
        static_cast<uint8_t>(CDeviceLink::Checksum(frame.data(), static_cast<int>(frame.size())) +
                             (badChecksum ? 1 : 0)));
    return frame;
}

// A PC frame: the same with the trailer.
inline Bytes PcFrame(uint8_t command, const Bytes& payload) {
    Bytes frame = DeviceFrame(command, payload);
    frame.push_back(kFrameTrailer);
    return frame;
}

inline Bytes StatusReply(int capacity, int personal, int groups) {
    return DeviceFrame(kCmdStatusReply,
                       {static_cast<uint8_t>(capacity >> 8), static_cast<uint8_t>(capacity),
                        static_cast<uint8_t>(personal >> 8), static_cast<uint8_t>(personal),
                        static_cast<uint8_t>(groups)});
}

// The engine on a byte stream in virtual time, with a recording main window and message box.
class LinkFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        LinkState().mainWindow = &window;
        CErrorReport::SetMessageBox(&box);
        link = std::make_unique<CDeviceLink>(time, time, &line);
    }
    void TearDown() override {
        link.reset();
        // Every test that starts mid-transfer got there as the commands would.
        EXPECT_EQ(CTransfer::Violations(), 0);
        LinkState().mainWindow = nullptr;
        CErrorReport::SetMessageBox(nullptr);
    }

    // Bytes from the device, as the receive thread and then the 0x401 handler see them.
    void Feed(const Bytes& bytes) {
        link->OnReceiveHook();
        ASSERT_TRUE(link->Port().Queue().PushAll(bytes.data(), static_cast<int>(bytes.size())));
        link->AssembleFrames();
    }
    void Feed(uint8_t byte) { Feed(Bytes{byte}); }
    Bytes Sent() { return line.Take(); }

    // Poll, ACK, EOT, ACK: the device is present and the line is idle.
    void BringPresent() {
        link->RestartPolling();
        Feed(kAck);
        Feed(kAck);
        ASSERT_EQ(LinkState().devicePresent, 1);
        Sent();
        window.Take();
    }

    // Gets the line and sends the prepared frame: POLL/ACK, STX/ACK, frame/ACK.
    void SendPreparedFrame() {
        link->RestartPolling();
        Feed(kAck);
        Feed(kAck);
        Sent();
    }

    CVirtualTime time;
    CByteRecorder line;
    CRecordingWindow window;
    CRecordingMessageBox box;
    std::unique_ptr<CDeviceLink> link;
};

}  // namespace orvex::test
