// Arbitrary bytes from the device, handed to the engine as the receive thread hands them over.
//
// The first byte chooses what the PC is doing when they arrive (idle, waiting for the status
// reply, downloading, uploading rows or groups) and whether the device has been found first;
// the rest is cut into chunks, each pushed into the receive queue and assembled, with virtual
// time passing between chunks so that the poll tick and the watchdog run too. The main window
// of the fuzz run handles the sent messages as the program's does: a record or a status reply
// goes on to the device object's own link and is read with its record layouts, and uploads
// get their next row or group built by it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "link/DeviceTransfer.h"
#include "link/ErrorReport.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "link/MessageBox.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/TransferPhase.h"
#include "tests/link/VirtualTime.h"

namespace {

using namespace orvex;
using orvex::test::CByteRecorder;
using orvex::test::CRecordingWindow;
using orvex::test::CVirtualTime;

// Reports vanish; prompts are answered with yes.
class CQuietBox : public IMessageBox {
  public:
    int Report(const std::string&, const std::string&) override { return IDOK; }
    int Prompt(const std::string&, const std::string&) override { return IDYES; }
    int ReportWithDetails(const std::string&, const std::string&, const std::string&) override {
        return IDOK;
    }
};

enum class EMode : uint8_t { Idle, StatusRequest, Download, UploadRows, UploadGroups };
constexpr int kModes = 5;

// The length of the whole frame whose copy the link holds (command, length, payload, checksum).
int HeldFrameLength(const uint8_t* frame) {
    return (frame[1] << 8 | frame[2]) + 4;
}

// Builds the payload of the frame the device object built last into the engine's send frame.
void CopyBuiltFrame(CDeviceTransfer& device, CDeviceLink& link) {
    const uint8_t* frame = device.Link().SendFrame();
    const int length = device.Link().SendFrameLength();
    if (length >= 5) {
        link.BuildFrame(frame[0], frame + 3, length - 5);
    }
}

struct SRun {
    CVirtualTime time;
    CByteRecorder line;
    CRecordingWindow window;
    CQuietBox box;
    CDeviceTransfer device;
    std::unique_ptr<CDeviceLink> link;

    void OnSend(uint32_t message, intptr_t lParam) {
        CDeviceLink& own = device.Link();
        const bool fromEngine = lParam == reinterpret_cast<intptr_t>(link.get());
        switch (message) {
            case kMsgBuildStatus:
                device.BuildStatusRequest(static_cast<int>(time.Now() & 0xFFFF));
                CopyBuiltFrame(device, *link);
                break;
            case kMsgStatusReply:
                if (fromEngine) {
                    // The device object reads the reply from its own link's copy of it.
                    own.SetFrameCommand(kCmdStatusRequest);
                    own.Dispatch(link->RecvFrame(), HeldFrameLength(link->RecvFrame()));
                } else {
                    device.ReadStatusReply();
                }
                break;
            case kMsgRecord:
                if (fromEngine) {
                    own.SetFrameCommand(kCmdRecordRequest);
                    own.Dispatch(link->RecvFrame(), HeldFrameLength(link->RecvFrame()));
                } else if (device.ReceivedPersonal()) {
                    device.DecodePersonal();
                } else {
                    CTransfer& transfer = device.Link().Transfer();
                    const int counter = transfer.GroupCounter();
                    if (device.DecodeGroup(counter)) {
                        transfer.SetGroupCounter(counter + 1);
                    }
                }
                break;
            case kMsgNextRow:
                if (fromEngine) {
                    // The next row: the record read last, sent back as the upload's row.
                    device.Record().iEIdx = link->Transfer().Transferred();
                    device.BuildPersonalFrame();
                    CopyBuiltFrame(device, *link);
                }
                break;
            case kMsgNextGroup:
                if (fromEngine) {
                    const int slot = link->Transfer().Transferred() % CDeviceTransfer::kGroupSlots;
                    device.BuildGroupFrame(slot);
                    CopyBuiltFrame(device, *link);
                }
                break;
            default:
                break;
        }
    }

    // The posted messages the main window acts on: the failure handler's link steps.
    void HandlePosted() {
        for (const test::Message& m : window.Take()) {
            if (!m.sent && m.message == kMsgFailure) {
                link->FailureStopLink(static_cast<int>(m.wParam), static_cast<int>(m.lParam));
                link->Transfer().End();
                link->FailureResumeStatus(static_cast<int>(m.wParam), static_cast<int>(m.lParam));
            }
        }
        line.Take();
    }

    void Prepare(EMode mode, int expected) {
        switch (mode) {
            case EMode::Idle:
                break;
            case EMode::StatusRequest:
                device.BuildStatusRequest(expected);
                CopyBuiltFrame(device, *link);
                link->SetSendPending(true);
                break;
            case EMode::Download: {
                test::PutInPhase(link->Transfer(), CTransfer::EPhase::kDownload);
                test::PutInPhase(own().Transfer(), CTransfer::EPhase::kDownload);
                link->PrepareFrame(kCmdRecordRequest, nullptr, 0);
                break;
            }
            case EMode::UploadRows:
                test::PutInPhase(link->Transfer(), CTransfer::EPhase::kUploadRows);
                link->PrepareFrame(kCmdUploadStart, nullptr, 0);
                break;
            case EMode::UploadGroups: {
                test::PutInPhase(link->Transfer(), CTransfer::EPhase::kUploadGroups);
                const uint8_t groups = static_cast<uint8_t>(expected);
                link->PrepareFrame(kCmdGroupStart, &groups, 1);
                break;
            }
        }
        link->Transfer().Expect(expected);
    }

    CDeviceLink& own() { return device.Link(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    SRun run;
    LinkState().mainWindow = &run.window;
    CErrorReport::SetMessageBox(&run.box);
    run.window.onSend = [&run](uint32_t message, intptr_t, intptr_t lParam) {
        run.OnSend(message, lParam);
    };
    run.link = std::make_unique<CDeviceLink>(run.time, run.time, &run.line);

    const uint8_t setup = data[0];
    const auto mode = static_cast<EMode>((setup & 0x7F) % kModes);
    const int expected = 1 + data[1] % 24;
    run.Prepare(mode, expected);
    run.link->RestartPolling();
    if (setup & 0x80) {
        // The device answers the poll and the EOT: it is present before the bytes come.
        const uint8_t ack = kAck;
        for (int i = 0; i < 2; ++i) {
            run.link->Port().Queue().PushAll(&ack, 1);
            run.link->AssembleFrames();
        }
    }
    run.HandlePosted();

    // Chunks: a length byte (low six bits: 1 to 64 bytes; the top bit: 900 ms pass first).
    size_t pos = 2;
    while (pos < size) {
        const uint8_t head = data[pos++];
        if (head & 0x80) {
            run.time.Advance(900);
            run.HandlePosted();
        }
        size_t n = 1 + (head & 0x3F);
        if (n > size - pos) {
            n = size - pos;
        }
        if (n == 0) {
            break;
        }
        run.link->OnReceiveHook();
        if (run.link->Port().Queue().PushAll(data + pos, static_cast<int>(n))) {
            run.link->AssembleFrames();
        }
        pos += n;
        run.HandlePosted();
    }
    // Whatever was left waiting times out.
    run.time.Advance(9000);
    run.HandlePosted();

    run.link.reset();
    LinkState().mainWindow = nullptr;
    CErrorReport::SetMessageBox(nullptr);
    return 0;
}
