// orvex-pager-sim: a pager on a pseudo-terminal, for trying the PC program without the device.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/sim/BookFile.h"
#include "tools/sim/CommandLine.h"
#include "tools/sim/PagerSim.h"
#include "tools/sim/PtyEndpoint.h"

namespace {

using Clock = std::chrono::steady_clock;

// A frame whose bytes stop coming for this long is given up (answered NAK), as the device's
// own receive time-out would. Far below the PC's wait for an answer.
constexpr auto kFrameGap = std::chrono::milliseconds(300);
constexpr int kPollMs = 100;

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: poll() returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int Fail(int code, const std::string& message) {
    std::cerr << "orvex-pager-sim: " << message << "\n";
    return code;
}

// Writes what it can without blocking; the rest stays in pending.
void Flush(int fd, std::vector<uint8_t>& pending) {
    while (!pending.empty()) {
        const ssize_t n = write(fd, pending.data(), pending.size());
        if (n > 0) {
            pending.erase(pending.begin(), pending.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return;  // EAGAIN: the PC side is not reading; try again later
    }
}

int Run(sim::CPagerSim& pager, sim::CPtyEndpoint& pty) {
    std::vector<uint8_t> pending;
    std::string lastUploadError;
    Clock::time_point lastInput = Clock::now();
    uint8_t buffer[4096];
    while (g_stop == 0) {
        pollfd pfd{pty.MasterFd(), static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
        const int ready = poll(&pfd, 1, kPollMs);
        pty.AllowReopen();
        if (ready < 0 && errno != EINTR) {
            return Fail(1, std::string("poll: ") + std::strerror(errno));
        }
        if (ready > 0 && (pfd.revents & POLLIN) != 0) {
            const ssize_t n = read(pty.MasterFd(), buffer, sizeof buffer);
            if (n > 0) {
                pager.Receive(buffer, static_cast<size_t>(n));
                lastInput = Clock::now();
            }
        } else if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR)) != 0) {
            // Cannot happen while the slave is held open; do not spin if it does.
            usleep(kPollMs * 1000);
        }
        if (pager.InFrame() && Clock::now() - lastInput >= kFrameGap) {
            pager.LineQuiet();
        }
        const std::vector<uint8_t> out = pager.TakeOutput();
        pending.insert(pending.end(), out.begin(), out.end());
        Flush(pty.MasterFd(), pending);
        const std::string& uploadError = pager.Device().UploadError();
        if (uploadError != lastUploadError) {
            if (!uploadError.empty()) {
                std::cerr << "orvex-pager-sim: upload not saved: " << uploadError << "\n";
            }
            lastUploadError = uploadError;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    sim::SSimOptions options;
    if (const std::string error = sim::CCommandLine::Parse(args, options); !error.empty()) {
        return Fail(2, error + " (see --help)");
    }
    if (options.help) {
        std::cout << sim::CCommandLine::Usage();
        return 0;
    }
    sim::CPagerBook book = sim::CPagerBook::Sample();
    if (!options.bookPath.empty()) {
        sim::SBookLoad loaded = sim::CBookFile::Load(options.bookPath);
        if (!loaded.ok) {
            return Fail(2, loaded.error);
        }
        book = std::move(loaded.book);
    }
    if (options.capacity) {
        book.SetCapacity(*options.capacity);
    }

    sim::CPagerSim pager(book, options.faults);
    pager.Device().SetUploadOutput(options.uploadOut);
    const Clock::time_point start = Clock::now();
    if (options.verbose) {
        pager.SetTrace([start](const std::string& line) {
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "[%9.3f] ", seconds);
            std::cerr << stamp << line << "\n";
        });
    }

    // Before the link appears: whoever waits for it may stop the program at once.
    InstallSignals();
    sim::CPtyEndpoint pty;
    std::string error;
    if (!pty.Open(error)) {
        return Fail(1, "cannot make a pseudo-terminal: " + error);
    }
    if (!options.linkPath.empty() && !pty.MakeLink(options.linkPath, error)) {
        return Fail(2, error);
    }
    std::cout << pty.SlavePath() << std::endl;
    if (options.verbose) {
        std::cerr << "orvex-pager-sim: serving " << book.Entries().size() << " entries and "
                  << book.Groups().size() << " groups on " << pty.SlavePath() << "\n";
    }
    const int status = Run(pager, pty);
    pty.Close();
    return status;
}
