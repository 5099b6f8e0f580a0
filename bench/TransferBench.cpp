// Download and upload of a full device through the program's main window and the emulated
// pager on a pseudo-terminal: once with the line paced at 9600 baud (10 bits a byte, one
// direction at a time), once unpaced. The paced times are compared with the wire time of every
// byte both sides sent, the least any program could take.
//
//   transfer_bench            both runs
//   transfer_bench --unpaced  the unpaced run only
//
// With ORVEX_BENCH_TRACE=FILE the emulator writes every unit of both directions to FILE, one a
// line; scripts/compare-traffic tells whether two such files carry the same transfers.
#include <poll.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "app/MainFrame.h"
#include "app/VelkorMgrApp.h"
#include "link/ErrorReport.h"
#include "link/LinkState.h"
#include "link/MessageBox.h"
#include "tools/sim/PagerSim.h"
#include "tools/sim/PtyEndpoint.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace orvex;

// Every prompt answered Yes, every report counted.
class CYesBox : public IMessageBox {
  public:
    int Report(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "report: %s: %s\n", caption.c_str(), text.c_str());
        ++reports;
        return IDOK;
    }
    int Prompt(const std::string&, const std::string&) override { return IDYES; }
    std::atomic<int> reports{0};
};

// The emulator behind a pseudo-terminal, its line optionally paced: bytes from the PC reach the
// emulator only once the line could have carried them, and the emulator's bytes leave one at
// a time at the line's rate. The line carries one direction at a time.
class CPacedPager {
  public:
    CPacedPager(sim::CPagerBook book, bool paced) : m_sim(std::move(book)), m_paced(paced) {
        if (const char* path = std::getenv("ORVEX_BENCH_TRACE")) {
            // One file for all the runs of this process, in the order they come.
            static FILE* const trace = std::fopen(path, "w");
            if (trace) {
                m_sim.SetTrace([](const std::string& line) {
                    std::fprintf(trace, "%s\n", line.c_str());
                    std::fflush(trace);
                });
            }
        }
        std::string error;
        m_open = m_pty.Open(error);
        if (m_open) {
            m_thread = std::thread([this] { Pump(); });
        }
    }
    ~CPacedPager() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool IsOpen() const { return m_open; }
    const std::string& Path() const { return m_pty.SlavePath(); }
    void ResetCounts() {
        m_pcBytes = 0;
        m_deviceBytes = 0;
    }
    size_t PcBytes() const { return m_pcBytes; }
    size_t DeviceBytes() const { return m_deviceBytes; }
    template <typename F>
    auto With(F f) {
        std::lock_guard lock(m_mutex);
        return f(m_sim);
    }

    static constexpr std::chrono::nanoseconds kByteTime{10'000'000'000LL / 9600};

  private:
    void Pump() {
        const int fd = m_pty.MasterFd();
        uint8_t buffer[1024];
        Clock::time_point lineFree = Clock::now();
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            const int ready = poll(&p, 1, 2);
            std::vector<uint8_t> out;
            if (ready > 0 && (p.revents & POLLIN)) {
                const ssize_t n = read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    m_pcBytes += static_cast<size_t>(n);
                    if (m_paced) {
                        lineFree = std::max(Clock::now(), lineFree) + n * kByteTime;
                        std::this_thread::sleep_until(lineFree);
                    }
                    std::lock_guard lock(m_mutex);
                    m_sim.Receive(buffer, static_cast<size_t>(n));
                }
            } else if (ready == 0) {
                std::lock_guard lock(m_mutex);
                if (m_sim.InFrame()) {
                    m_sim.LineQuiet();
                }
            }
            {
                std::lock_guard lock(m_mutex);
                out = m_sim.TakeOutput();
            }
            m_deviceBytes += out.size();
            for (size_t done = 0; done < out.size() && !m_stop;) {
                size_t chunk = out.size() - done;
                if (m_paced) {
                    lineFree = std::max(Clock::now(), lineFree) + kByteTime;
                    std::this_thread::sleep_until(lineFree);
                    chunk = 1;
                }
                const ssize_t n = write(fd, out.data() + done, chunk);
                if (n > 0) {
                    done += static_cast<size_t>(n);
                } else {
                    poll(nullptr, 0, 1);
                }
            }
        }
    }

    sim::CPagerSim m_sim;
    bool m_paced;
    sim::CPtyEndpoint m_pty;
    bool m_open = false;
    std::mutex m_mutex;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_pcBytes{0};
    std::atomic<size_t> m_deviceBytes{0};
    std::thread m_thread;
};

std::string Text(const char* stem, int n, size_t length) {
    std::string text = stem + std::to_string(n);
    text.resize(length, 'x');
    return text;
}

// 200 personal entries with field lengths a real book has, 20 groups of 10 members.
sim::CPagerBook FullBook() {
    sim::CPagerBook book;
    for (int i = 1; i <= 200; ++i) {
        sim::SPersonalEntry e;
        e.number = static_cast<uint16_t>(i);
        e.texts[sim::kFirstName] = Text("First", i, 8);
        e.texts[sim::kLastName] = Text("Last", i, 10);
        e.texts[sim::kWireless] = Text("pager", i, 12) + "@wave.example";
        e.texts[sim::kWorkMail] = Text("work", i, 10) + "@firm.example";
        e.texts[sim::kCompany] = Text("Firm", i, 12);
        e.texts[sim::kMobilePhone] = "0171555" + std::to_string(1000 + i);
        e.texts[sim::kWorkPhone] = "040555" + std::to_string(2000 + i);
        e.texts[sim::kStreet] = Text("Street ", i, 18);
        e.texts[sim::kCity] = "Hamburg";
        e.texts[sim::kZip] = "20457";
        e.texts[sim::kNote] = Text("Note ", i, 30);
        e.byDefault = sim::kAddressWireless;
        book.PutEntry(e);
    }
    for (int g = 0; g < 20; ++g) {
        sim::SGroup group;
        group.number = static_cast<uint16_t>(201 + g);
        group.name = Text("Group ", g, 12);
        for (int m = 0; m < 10; ++m) {
            group.members.push_back(
                {static_cast<uint16_t>(1 + g * 10 + m), static_cast<uint8_t>(1 + m % 2)});
        }
        book.PutGroup(group);
    }
    return book;
}

bool RunCommand(CMainFrame& frame, int command, double& seconds) {
    const auto start = Clock::now();
    frame.Action(command)->trigger();
    const bool done = QTest::qWaitFor([&] { return !frame.IsBusy(); }, 600000);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return done;
}

bool Measure(bool paced) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/orvex-transfer-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        return false;
    }
    const std::string dir = std::string(pattern) + "/";
    fs::copy_file(ORVEX_DEFAULT_DATABASE, dir + "Orvex.mdb");
    CPacedPager pager(FullBook(), paced);
    if (!pager.IsOpen()) {
        return false;
    }
    setenv("ORVEX_COM1", pager.Path().c_str(), 1);
    bool ok = true;
    {
        CVelkorMgrApp app;
        CYesBox box;
        CErrorReport::SetMessageBox(&box);
        if (!app.InitInstance(dir)) {
            return false;
        }
        CMainFrame& frame = *app.MainFrame();
        if (!QTest::qWaitFor([] { return LinkState().devicePresent.load() != 0; }, 30000)) {
            std::fprintf(stderr, "the emulator was not found\n");
            return false;
        }
        const char* mode = paced ? "paced 9600 baud" : "unpaced pty    ";
        for (int command : {CMainFrame::kCmdDownload, CMainFrame::kCmdUpload}) {
            pager.ResetCounts();
            double seconds = 0;
            ok = RunCommand(frame, command, seconds) && box.reports == 0 && ok;
            const size_t bytes = pager.PcBytes() + pager.DeviceBytes();
            const double bound = static_cast<double>(bytes) * 10.0 / 9600.0;
            std::printf(
                "%s  %-8s  %7.2f s   bytes PC %6zu + device %6zu   wire time %6.2f s"
                "   ratio %.3f\n",
                mode, command == CMainFrame::kCmdDownload ? "download" : "upload", seconds,
                pager.PcBytes(), pager.DeviceBytes(), bound, seconds / bound);
            std::fflush(stdout);
        }
        CErrorReport::SetMessageBox(nullptr);
        frame.close();
    }
    fs::remove_all(dir);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool unpacedOnly = argc > 1 && std::strcmp(argv[1], "--unpaced") == 0;
    bool ok = Measure(false);
    if (!unpacedOnly) {
        ok = Measure(true) && ok;
    }
    return ok ? 0 : 1;
}
