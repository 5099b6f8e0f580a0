#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "link/DeviceLink.h"
#include "link/MessageBox.h"
#include "link/MessageLoop.h"

namespace orvex {

// Checks a cable: opens COMn through the program's own port and link engine, waits for the
// device to answer the polls, asks it once for its status and tells what it said.
class CProbe : private IMessageBox {
  public:
    explicit CProbe(int portNumber);
    ~CProbe() override;

    // 0 when the device answered, 1 when the port cannot be opened or no device answers.
    int Run(std::ostream& out, std::ostream& err, std::chrono::milliseconds presentLimit);

  private:
    intptr_t Handle(uint32_t message, intptr_t wParam, intptr_t lParam);
    // COMn opens the device the program's Configuration chose for it, as in the program.
    void UseProgramsPortMap();
    int Report(const std::string& caption, const std::string& text) override;
    int Prompt(const std::string& caption, const std::string& text) override;

    int m_portNumber;
    CMessageLoop m_loop;
    CDeviceLink m_link;
    std::string m_reports;
    bool m_present = false;
    bool m_answered = false;
    bool m_lost = false;
    int m_capacity = 0;
    int m_personal = 0;
    int m_groups = 0;
};

}  // namespace orvex
