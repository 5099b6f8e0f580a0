#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "link/RecvQueue.h"

namespace orvex::test {
namespace {

TEST(RecvQueueTest, HoldsAtMost1023Bytes) {
    CRecvQueue queue;
    for (int i = 0; i < CRecvQueue::kCapacity; ++i) {
        ASSERT_TRUE(queue.Push(static_cast<uint8_t>(i)));
    }
    EXPECT_EQ(queue.Count(), 1023);
    EXPECT_FALSE(queue.Push(0xAA));
    EXPECT_EQ(queue.Count(), 1023);
    EXPECT_EQ(queue.Peek(0), 0);
    uint8_t byte = 0xFF;
    ASSERT_TRUE(queue.Pop(byte));
    EXPECT_EQ(byte, 0);
    EXPECT_TRUE(queue.Push(0xAA));
    EXPECT_FALSE(queue.Push(0xAB));
}

TEST(RecvQueueTest, ChunkIsTakenWholeOrNotAtAll) {
    CRecvQueue queue;
    uint8_t chunk[CRecvQueue::kSize] = {};
    ASSERT_TRUE(queue.PushAll(chunk, 24));
    // 1024 - Count bytes do not fit: nothing of them is stored.
    EXPECT_FALSE(queue.PushAll(chunk, CRecvQueue::kSize - 24));
    EXPECT_EQ(queue.Count(), 24);
    EXPECT_TRUE(queue.PushAll(chunk, CRecvQueue::kSize - 24 - 1));
    EXPECT_EQ(queue.Count(), 1023);
}

TEST(RecvQueueTest, ConsumedAndUnfilledSlotsReadZero) {
    CRecvQueue queue;
    EXPECT_EQ(queue.Peek(1), 0);
    queue.Push(0x11);
    queue.Push(0x22);
    EXPECT_EQ(queue.Peek(0), 0x11);
    EXPECT_EQ(queue.Peek(1), 0x22);
    EXPECT_EQ(queue.Peek(2), 0);
    uint8_t byte;
    queue.Pop(byte);
    EXPECT_EQ(queue.Peek(-1), 0) << "the consumed slot is cleared";
    EXPECT_EQ(queue.Peek(0), 0x22);
    EXPECT_FALSE(queue.Pop(byte) && queue.Pop(byte));
}

TEST(RecvQueueTest, WrapsAroundAndResetKeepsTheBytes) {
    CRecvQueue queue;
    uint8_t out[CRecvQueue::kSize];
    for (int round = 0; round < 5; ++round) {
        uint8_t in[700];
        for (int i = 0; i < 700; ++i) {
            in[i] = static_cast<uint8_t>(i + round);
        }
        ASSERT_TRUE(queue.PushAll(in, 700));
        ASSERT_EQ(queue.PopInto(out, 1000), 700);
        EXPECT_EQ(0, std::memcmp(in, out, 700));
    }
    queue.Push(0x42);
    queue.Reset();
    EXPECT_EQ(queue.Count(), 0);
    uint8_t byte;
    EXPECT_FALSE(queue.Pop(byte));

    // Bytes that came after the assembly found the queue empty survive its tidy-up.
    queue.ResetIfEmpty();
    queue.Push(0x43);
    queue.ResetIfEmpty();
    EXPECT_EQ(queue.Count(), 1);
    EXPECT_TRUE(queue.Pop(byte) && byte == 0x43);
}

// Push on one thread, Pop on another and Reset on a third, as the receive thread, the frame
// assembly and the watchdog do: the count stays in range and nothing tears (the thread
// sanitizer build checks the latter).
TEST(RecvQueueTest, ResetIsSafeAgainstConcurrentPushAndPop) {
    CRecvQueue queue;
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        uint8_t b = 0;
        while (!stop) {
            queue.Push(++b);
        }
    });
    std::thread resetter([&] {
        while (!stop) {
            queue.Reset();
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 200000; ++i) {
        const int count = queue.Count();
        ASSERT_GE(count, 0);
        ASSERT_LE(count, CRecvQueue::kCapacity);
        uint8_t byte;
        queue.Pop(byte);
    }
    stop = true;
    producer.join();
    resetter.join();
}

}  // namespace
}  // namespace orvex::test
