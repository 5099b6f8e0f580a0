// Byte values and window-message numbers shared by the device link and the windows above it.
#pragma once

#include <cstdint>

namespace orvex {

// Control bytes of the line. The PC sends POLL while idle; everything else is the turn-taking
// and the acknowledgement of units.
inline constexpr uint8_t kPoll = 0x72;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kEot = 0x04;

// The six control bytes in their table order.
inline constexpr uint8_t kControlBytes[6] = {kPoll, kAck, kNak, kStx, kEtx, kEot};

// Command bytes of frames.
inline constexpr uint8_t kCmdStatusRequest = 0xC1;  // PC -> device, payload: PC row count
inline constexpr uint8_t kCmdStatusReply = 0xC2;    // device -> PC: capacity, counts
inline constexpr uint8_t kCmdOpenBook = 0xA6;       // PC -> device: open for a transfer
inline constexpr uint8_t kCmdRecordRequest = 0xC3;  // PC -> device: send your records
inline constexpr uint8_t kCmdRecord = 0xC4;         // device -> PC: one record
inline constexpr uint8_t kCmdUploadStart = 0xC5;    // PC -> device: personal rows follow
inline constexpr uint8_t kCmdUploadRow = 0xC6;      // PC -> device: one row
inline constexpr uint8_t kCmdGroupStart = 0xC7;     // PC -> device: number of groups
inline constexpr uint8_t kCmdUploadGroup = 0xC8;    // PC -> device: one group with members
inline constexpr uint8_t kCmdDeviceA2 = 0xA2;       // device -> PC, not interpreted
inline constexpr uint8_t kCmdDeviceBF = 0xBF;       // device -> PC, not interpreted

inline constexpr uint8_t kFrameTrailer = 0xFE;

// The shortest payloads the PC reads: a status reply holds the capacity, the personal count
// and the group count; a record its number and its mark.
inline constexpr int kStatusReplyPayload = 5;
inline constexpr int kRecordMinPayload = 3;

// A device frame is command, 16-bit length, payload and checksum; the receive frame buffer
// holds the largest one.
inline constexpr int kMaxDevicePayload = 512;
inline constexpr int kRecvFrameSize = kMaxDevicePayload + 4;

// Window messages. The values are kept as the main window knows them.
inline constexpr uint32_t WM_USER = 0x400;
inline constexpr uint32_t kMsgBytesArrived = WM_USER + 1;  // 0x401, posted by the receive thread
inline constexpr uint32_t kMsgFailure = WM_USER + 2;       // 0x402, time-out, loss, rejection, Stop
inline constexpr uint32_t kMsgConnected = WM_USER + 3;     // 0x403, sent: the device is present
inline constexpr uint32_t kMsgFrameBF = WM_USER + 4;       // 0x404, posted
inline constexpr uint32_t kMsgFrameA2 = WM_USER + 6;       // 0x406, posted
inline constexpr uint32_t kMsgBuildStatus = WM_USER + 7;   // 0x407, sent: build 0xC1
inline constexpr uint32_t kMsgStatusReply = WM_USER + 8;   // 0x408, sent: valid 0xC2
inline constexpr uint32_t kMsgOpenAnswered =
    WM_USER + 9;                                         // 0x409, posted: 0xA6 taken (0) or not (1)
inline constexpr uint32_t kMsgNextRow = WM_USER + 10;    // 0x40A, sent: prepare the next 0xC6
inline constexpr uint32_t kMsgRecord = WM_USER + 11;     // 0x40B, sent: valid 0xC4
inline constexpr uint32_t kMsgRowsDone = WM_USER + 12;   // 0x40C, posted: all rows accepted
inline constexpr uint32_t kMsgNextGroup = WM_USER + 13;  // 0x40D, sent: prepare the next 0xC8
inline constexpr uint32_t kMsgPageRequest = WM_USER + 14;  // 0x40E, the view-switch request
// 0x40F, posted by the receive thread: the port hung up (an adapter pulled out); wParam the
// port index, lParam the number of the opening that hung up.
inline constexpr uint32_t kMsgPortHungUp = WM_USER + 15;
inline constexpr uint32_t WM_TIMER = 0x0113;  // a window timer expired, wParam its id

// wParam of kMsgFailure: 1..3 a time-out during a transfer, 4 the link is lost, 0 repeated
// rejection. lParam 1 means the user pressed Stop.
inline constexpr int kFailureLinkLost = 4;
inline constexpr int kFailureStopped = 1;

// The main window's status timer (window timer 0) and its period.
inline constexpr int kStatusTimerId = 0;
inline constexpr uint32_t kStatusTimerMs = 2400;
// Window timer 1: while a port that hung up (or whose device was missing) is closed, the link
// tries every two seconds to open the same device again.
inline constexpr int kReopenTimerId = 1;
inline constexpr uint32_t kReopenTimerMs = 2000;

// Link timing.
inline constexpr uint32_t kPollPeriodMs = 800;
inline constexpr uint32_t kWatchdogPeriodMs = 790;
inline constexpr uint32_t kReplyWaitMs = 800;
inline constexpr uint32_t kFirstUploadWaitMs = 8000;
inline constexpr uint32_t kWatchdogStepMs = 100;
inline constexpr int kLostAfterTimeouts = 4;
inline constexpr int kMaxRejections = 4;

}  // namespace orvex
