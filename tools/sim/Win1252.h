// The device stores texts as single Windows-1252 bytes; a book file is UTF-8 for the user's
// editor. This maps between a byte and the character it stands for.
#pragma once

#include <cstdint>

namespace sim {

class CWin1252 {
  public:
    // The character of a byte, or 0 for the five bytes Windows-1252 leaves undefined
    // (0x81, 0x8D, 0x8F, 0x90, 0x9D).
    static char32_t CodePoint(uint8_t byte);
    // The byte that stands for a character, or -1 when there is none.
    static int Byte(char32_t codePoint);
};

}  // namespace sim
