#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

// The characters of a contact's texts: Windows-1252 bytes, as the device stores them, and
// UTF-8, as the files the user reads keep them (the database file, the emulator's book file).
class CCharacterCodes {
  public:
    // The character a Windows-1252 byte stands for, or 0 for the five bytes Windows-1252
    // leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
    static char32_t CodePoint(uint8_t byte);
    // The Windows-1252 byte for a character, or -1 when there is none.
    static int Byte(char32_t codePoint);

    static void AppendUtf8(std::string& out, char32_t codePoint);
    // Decodes the UTF-8 sequence at text[at]: its length, or 0 when it is not valid UTF-8
    // (cut short, overlong, a surrogate or beyond U+10FFFF).
    static size_t DecodeUtf8(std::string_view text, size_t at, char32_t& codePoint);
};

}  // namespace orvex
