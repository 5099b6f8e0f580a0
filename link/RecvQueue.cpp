#include "link/RecvQueue.h"

#include <cstring>

namespace orvex {

CRecvQueue::CRecvQueue() {
    std::memset(m_data, 0, sizeof m_data);
}

int CRecvQueue::Count() const {
    return (m_write.load(std::memory_order_acquire) - m_read.load(std::memory_order_acquire) +
            kSize) %
           kSize;
}

bool CRecvQueue::PushLocked(uint8_t byte) {
    const int w = m_write.load(std::memory_order_relaxed);
    if ((w - m_read.load(std::memory_order_relaxed) + kSize) % kSize == kCapacity) {
        return false;
    }
    m_data[w] = byte;
    m_write.store((w + 1) % kSize, std::memory_order_release);
    return true;
}

bool CRecvQueue::PopLocked(uint8_t& byte) {
    const int r = m_read.load(std::memory_order_relaxed);
    if (r == m_write.load(std::memory_order_relaxed)) {
        return false;
    }
    byte = m_data[r];
    m_data[r] = 0;
    m_read.store((r + 1) % kSize, std::memory_order_release);
    return true;
}

bool CRecvQueue::Push(uint8_t byte) {
    std::lock_guard lock(m_mutex);
    return PushLocked(byte);
}

bool CRecvQueue::PushAll(const uint8_t* data, int n) {
    std::lock_guard lock(m_mutex);
    const int count =
        (m_write.load(std::memory_order_relaxed) - m_read.load(std::memory_order_relaxed) + kSize) %
        kSize;
    if (n < 0 || n > kCapacity - count) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        PushLocked(data[i]);
    }
    return true;
}

bool CRecvQueue::Pop(uint8_t& byte) {
    std::lock_guard lock(m_mutex);
    return PopLocked(byte);
}

int CRecvQueue::PopInto(uint8_t* out, int n) {
    std::lock_guard lock(m_mutex);
    int i = 0;
    while (i < n && PopLocked(out[i])) {
        ++i;
    }
    return i;
}

uint8_t CRecvQueue::Peek(int offset) const {
    std::lock_guard lock(m_mutex);
    const int slot = ((m_read.load(std::memory_order_relaxed) + offset) % kSize + kSize) % kSize;
    return m_data[slot];
}

void CRecvQueue::Reset() {
    std::lock_guard lock(m_mutex);
    m_write.store(0, std::memory_order_release);
    m_read.store(0, std::memory_order_release);
}

void CRecvQueue::ResetIfEmpty() {
    std::lock_guard lock(m_mutex);
    if (m_read.load(std::memory_order_relaxed) == m_write.load(std::memory_order_relaxed)) {
        m_write.store(0, std::memory_order_release);
        m_read.store(0, std::memory_order_release);
    }
}

}  // namespace orvex
