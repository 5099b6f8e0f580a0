#pragma once

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "tools/sim/PagerSim.h"
#include "tools/sim/PtyEndpoint.h"

namespace orvex::test {

// The pager emulator behind a real pseudo-terminal, pumped by a thread of its own: the link
// under test opens the slave side as its serial port.
class CSimOnPty {
  public:
    explicit CSimOnPty(sim::SSimFaults faults = {}, int capacity = 200)
        : m_sim(WithCapacity(capacity), faults) {
        std::string error;
        m_open = m_pty.Open(error);
        if (m_open) {
            m_thread = std::thread([this] { Pump(); });
        }
    }
    ~CSimOnPty() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool IsOpen() const { return m_open; }
    // Pulls the cable: the emulator stops and both sides of its terminal close, so the port
    // on the slave side hangs up.
    void HangUp() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        m_pty.Close();
    }
    const std::string& Path() const { return m_pty.SlavePath(); }

    // Runs after every chunk the emulator received, on the pump's thread: a test's way to change
    // the device at an exact point of an exchange.
    void SetHook(std::function<void(sim::CPagerSim&)> hook) {
        std::lock_guard lock(m_mutex);
        m_hook = std::move(hook);
    }

    template <typename F>
    auto With(F f) {
        std::lock_guard lock(m_mutex);
        return f(m_sim);
    }

  private:
    static sim::CPagerBook WithCapacity(int capacity) {
        sim::CPagerBook book = sim::CPagerBook::Sample();
        book.SetCapacity(static_cast<uint16_t>(capacity));
        return book;
    }

    void Pump() {
        const int fd = m_pty.MasterFd();
        uint8_t buffer[1024];
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            const int ready = poll(&p, 1, 20);
            std::vector<uint8_t> out;
            {
                std::lock_guard lock(m_mutex);
                if (ready > 0 && (p.revents & POLLIN)) {
                    const ssize_t n = read(fd, buffer, sizeof buffer);
                    if (n > 0) {
                        m_sim.Receive(buffer, static_cast<size_t>(n));
                        if (m_hook) {
                            m_hook(m_sim);
                        }
                    }
                } else if (ready == 0 && m_sim.InFrame()) {
                    m_sim.LineQuiet();
                }
                out = m_sim.TakeOutput();
            }
            size_t done = 0;
            while (done < out.size() && !m_stop) {
                const ssize_t n = write(fd, out.data() + done, out.size() - done);
                if (n > 0) {
                    done += static_cast<size_t>(n);
                } else {
                    poll(nullptr, 0, 1);
                }
            }
        }
    }

    sim::CPtyEndpoint m_pty;
    sim::CPagerSim m_sim;
    bool m_open = false;
    std::mutex m_mutex;
    std::function<void(sim::CPagerSim&)> m_hook;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace orvex::test
