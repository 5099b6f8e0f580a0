#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace orvex {

// The receive queue: a ring of 1024 bytes between the receive thread (which pushes) and the
// frame assembly on the user-interface thread (which peeks and pops). One slot always stays
// free, so it holds at most 1023 bytes and a full ring never looks empty.
//
// A consumed slot is overwritten with 0: the frame assembly peeks at the two bytes after the
// oldest one to learn a frame's length, and a slot never filled or already consumed reads 0.
//
// The indices are atomics, so Count() needs no lock. Reset() may come from the watchdog's
// timer thread while the receive thread pushes and the user-interface thread pops; a small
// mutex taken by every operation that touches the storage keeps those three apart.
class CRecvQueue {
  public:
    static constexpr int kSize = 1024;
    static constexpr int kCapacity = kSize - 1;

    CRecvQueue();

    int Count() const;
    bool Push(uint8_t byte);
    // Pushes all n bytes, or none when they do not fit.
    bool PushAll(const uint8_t* data, int n);
    bool Pop(uint8_t& byte);
    // Pops up to n bytes into out; returns the number popped.
    int PopInto(uint8_t* out, int n);
    uint8_t Peek(int offset) const;
    // Both indices back to 0; the stored bytes stay.
    void Reset();
    // Both indices back to 0 only while nothing is queued, checked under the lock: bytes the
    // receive thread pushes after the caller last saw an empty queue are kept.
    void ResetIfEmpty();

  private:
    bool PushLocked(uint8_t byte);
    bool PopLocked(uint8_t& byte);

    mutable std::mutex m_mutex;
    uint8_t m_data[kSize];
    std::atomic<int> m_write{0};
    std::atomic<int> m_read{0};
};

}  // namespace orvex
