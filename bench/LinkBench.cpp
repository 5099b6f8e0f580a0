// How much of the user-interface thread the link's receive path takes: queueing a chunk,
// assembling the frame and dispatching it, for the records of a download.
#include <benchmark/benchmark.h>

#include <map>
#include <vector>

#include "link/DeviceLink.h"
#include "link/LinkState.h"

namespace {

using namespace orvex;

// Timers that never fire and a clock that stands still: only the engine's own work is timed.
class CIdleTime : public IClock, public ITimerService {
  public:
    uint32_t TickCount() override { return 0; }
    void Sleep(uint32_t) override {}
    uint32_t Start(uint32_t, Callback) override { return ++m_next; }
    void Kill(uint32_t) override {}
    void KillAndWait(uint32_t) override {}

  private:
    uint32_t m_next = 0;
};

class CNullSink : public IByteSink {
  public:
    int Write(const uint8_t*, int length) override { return length; }
};

class CNullWindow : public IMessageTarget {
  public:
    void PostMessage(uint32_t, intptr_t, intptr_t) override {}
    intptr_t SendMessage(uint32_t, intptr_t, intptr_t) override { return 0; }
    void SetTimer(int, uint32_t) override {}
    void KillTimer(int) override {}
    void SetPaneText(StatusPane, const std::string&) override {}
};

std::vector<uint8_t> RecordFrame(int payload) {
    std::vector<uint8_t> frame{kCmdRecord, static_cast<uint8_t>(payload >> 8),
                               static_cast<uint8_t>(payload)};
    for (int i = 0; i < payload; ++i) {
        frame.push_back(static_cast<uint8_t>('a' + i % 26));
    }
    frame.push_back(CDeviceLink::Checksum(frame.data(), static_cast<int>(frame.size())));
    return frame;
}

// One record frame of the given payload arriving in chunks of the given size.
void BM_ReceiveRecord(benchmark::State& state) {
    CIdleTime time;
    CNullSink sink;
    CNullWindow window;
    LinkState().mainWindow = &window;
    CDeviceLink link(time, time, &sink);
    link.BuildFrame(kCmdRecordRequest, nullptr, 0);
    const std::vector<uint8_t> frame = RecordFrame(static_cast<int>(state.range(0)));
    const int chunk = static_cast<int>(state.range(1));
    for (auto _ : state) {
        for (size_t at = 0; at < frame.size(); at += static_cast<size_t>(chunk)) {
            const int n = std::min<int>(chunk, static_cast<int>(frame.size() - at));
            link.OnReceiveHook();
            link.Port().Queue().PushAll(frame.data() + at, n);
            link.AssembleFrames();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
    LinkState().mainWindow = nullptr;
}
BENCHMARK(BM_ReceiveRecord)->Args({200, 1024})->Args({200, 8})->Args({512, 1});

void BM_QueuePushPop(benchmark::State& state) {
    CRecvQueue queue;
    uint8_t chunk[512] = {};
    uint8_t out[512];
    for (auto _ : state) {
        queue.PushAll(chunk, sizeof chunk);
        benchmark::DoNotOptimize(queue.PopInto(out, sizeof out));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sizeof chunk));
}
BENCHMARK(BM_QueuePushPop);

}  // namespace

BENCHMARK_MAIN();
