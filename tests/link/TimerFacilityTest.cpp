#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/TimerFacility.h"

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

template <typename Done>
bool Eventually(Done done) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

TEST(TimerFacilityTest, PeriodicUntilKilledAndIdsAreNeverZero) {
    CTimerFacility timers;
    std::atomic<int> ticks{0};
    const uint32_t id = timers.Start(10, [&] { ++ticks; });
    EXPECT_NE(id, 0u);
    ASSERT_TRUE(Eventually([&] { return ticks >= 3; }));
    timers.KillAndWait(id);
    const int after = ticks;
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(ticks, after);
}

TEST(TimerFacilityTest, CallbackMayKillItselfAndStartAnother) {
    CTimerFacility timers;
    std::atomic<uint32_t> self{0};
    std::atomic<int> first{0};
    std::atomic<int> second{0};
    std::atomic<uint32_t> secondId{0};
    self = timers.Start(10, [&] {
        ++first;
        timers.Kill(self);
        secondId = timers.Start(10, [&] { ++second; });
    });
    ASSERT_TRUE(Eventually([&] { return second >= 2; }));
    EXPECT_EQ(first, 1);
    timers.KillAndWait(secondId);
}

// The watchdog sleeps in its callback while another thread stops it: Kill returns at once,
// KillAndWait returns once the callback is done, and neither deadlocks.
TEST(TimerFacilityTest, KillWhileTheCallbackRunsNeverWaits) {
    CTimerFacility timers;
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    const uint32_t id = timers.Start(10, [&] {
        inside = true;
        while (!release) {
            std::this_thread::sleep_for(1ms);
        }
        finished = true;
    });
    ASSERT_TRUE(Eventually([&] { return inside.load(); }));
    timers.Kill(id);
    EXPECT_FALSE(finished) << "Kill does not wait for the running callback";
    std::thread releaser([&] {
        std::this_thread::sleep_for(20ms);
        release = true;
    });
    timers.KillAndWait(id);
    EXPECT_TRUE(finished);
    releaser.join();
}

}  // namespace
}  // namespace orvex::test
