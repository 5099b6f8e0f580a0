#pragma once

#include <cstdint>

namespace orvex {

// Where the link writes its bytes: the serial port, or a test's recorder.
class IByteSink {
  public:
    virtual ~IByteSink() = default;
    // Writes the whole buffer if it can; returns the number of bytes written.
    virtual int Write(const uint8_t* data, int length) = 0;
};

}  // namespace orvex
