#include "tools/probe/Probe.h"

#include "app/settings/PortMap.h"
#include "app/settings/ProgramDirectory.h"
#include "link/ErrorReport.h"
#include "link/LinkCodes.h"
#include "link/LinkState.h"
#include "link/PortDiagnosis.h"

namespace orvex {

namespace {

// After the device has answered the polls, the status reply takes one more exchange.
constexpr std::chrono::seconds kStatusLimit{5};

}  // namespace

CProbe::CProbe(int portNumber)
    : m_portNumber(portNumber),
      m_loop([this](uint32_t m, intptr_t w, intptr_t l) { return Handle(m, w, l); }) {
    CErrorReport::SetMessageBox(this);
    LinkState().mainWindow = &m_loop;
}

CProbe::~CProbe() {
    m_link.CloseLink();
    LinkState().mainWindow = nullptr;
    CErrorReport::SetMessageBox(nullptr);
}

int CProbe::Report(const std::string& caption, const std::string& text) {
    m_reports += caption + ": " + text + "\n";
    return IDOK;
}

int CProbe::Prompt(const std::string&, const std::string&) {
    return IDNO;
}

intptr_t CProbe::Handle(uint32_t message, intptr_t wParam, intptr_t lParam) {
    switch (message) {
        case kMsgBytesArrived:
            m_link.AssembleFrames();
            break;
        case kMsgConnected:
            m_present = true;
            m_loop.SetTimer(static_cast<int>(wParam), static_cast<uint32_t>(lParam));
            // The one status request; the PC's row count is of no interest here.
            {
                const uint8_t rows[2] = {0, 0};
                m_link.PrepareFrame(kCmdStatusRequest, rows, 2);
            }
            break;
        case kMsgStatusReply: {
            const uint8_t* frame = m_link.RecvFrame();
            m_capacity = frame[3] << 8 | frame[4];
            m_personal = frame[5] << 8 | frame[6];
            m_groups = frame[7];
            m_answered = true;
            break;
        }
        case kMsgFailure:
            m_link.FailureStopLink(static_cast<int>(wParam), static_cast<int>(lParam));
            m_link.FailureResumeStatus(static_cast<int>(wParam), static_cast<int>(lParam));
            if (wParam == kFailureLinkLost) {
                m_lost = true;
                m_present = false;
            }
            break;
        case WM_TIMER:
            if (wParam == kStatusTimerId) {
                // No status requests of the timer's own: the probe asks exactly once.
                m_link.OnStatusTimer(0);
            }
            break;
        default:
            break;
    }
    return 0;
}

void CProbe::UseProgramsPortMap() {
    std::string directory;
    std::string error;
    CPortMap map;
    // Without a program directory or a readable map, COMn means what it means to a program
    // that has none: ORVEX_COMn or /dev/ttyS(n-1).
    if (CProgramDirectory::Locate(directory, error) &&
        map.Load(CPortMap::PathIn(directory), error)) {
        m_link.Port().SetMappedDevice(m_portNumber, map.Device(m_portNumber));
    }
}

int CProbe::Run(std::ostream& out, std::ostream& err, std::chrono::milliseconds presentLimit) {
    UseProgramsPortMap();
    m_link.SelectPort(m_portNumber);
    const std::string name = "COM" + std::to_string(m_portNumber);
    m_link.OpenLink();
    CCommPort& port = m_link.Port();
    const std::string where = name + " (" + port.DevicePath() + ")";
    if (!m_link.PortOpen()) {
        // The same diagnosis as under the program's Error 301.
        std::string diagnosis = CPortDiagnosis::Explain(port.LastFailure());
        if (!diagnosis.empty() && diagnosis.back() != '\n') {
            diagnosis += '\n';
        }
        err << where << ": cannot open the port: " << port.LastError() << "\n" << diagnosis;
        return 1;
    }
    // As at the program's start: the status timer, and the first poll at once rather than
    // after the timer's first period.
    m_loop.SetTimer(kStatusTimerId, kStatusTimerMs);
    m_link.RestartPolling();
    bool ok = m_loop.RunUntil([this] { return m_present; }, presentLimit);
    if (ok) {
        ok = m_loop.RunUntil([this] { return m_answered || m_lost; }, kStatusLimit) && m_answered;
    }
    m_link.StopPollTimer();
    m_link.StopWatchdog();
    m_link.CloseLink();
    if (!m_reports.empty()) {
        err << m_reports;
    }
    if (!ok) {
        err << where << ": no device answers\n";
        return 1;
    }
    out << where << ": device present, capacity " << m_capacity << ", " << m_personal
        << " personal entries, " << m_groups << " groups\n";
    return 0;
}

}  // namespace orvex
