#pragma once

#include <array>
#include <string>

namespace orvex {

namespace win1252 {

constexpr std::array<unsigned char, 256> LowerTable() {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        int lower = b;
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) {
            lower = b + 0x20;
        } else if (b == 0x8A || b == 0x8C || b == 0x8E) {
            lower = b + 0x10;  // S, OE and Z with caron or ligature
        } else if (b == 0x9F) {
            lower = 0xFF;  // Y with diaeresis
        }
        table[static_cast<size_t>(b)] = static_cast<unsigned char>(lower);
    }
    return table;
}

}  // namespace win1252

// The program's texts are Windows-1252 bytes, as the pager stores them; the database keeps
// them as UTF-8 so that other tools read them right. The five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same
// number, so every one of the 256 byte values survives the round trip.
class CWin1252 {
  public:
    static std::string ToUtf8(const std::string& bytes);
    // Characters Windows-1252 cannot hold become '?'; a byte that is not valid UTF-8 is taken
    // as the Windows-1252 byte it is. Returns false when anything was replaced.
    static bool FromUtf8(const std::string& utf8, std::string& bytes);
    // The byte for a character, or -1 when Windows-1252 has none.
    static int ByteFor(char32_t codePoint);
    static char32_t CodePointOf(unsigned char byte);
    // Letter case folding for sorting: the lower-case byte of a Windows-1252 letter.
    static unsigned char Lower(unsigned char byte) { return kLower[byte]; }
    // The text with every letter in lower case, for comparisons that ignore letter case.
    static std::string Folded(const std::string& bytes);

  private:
    static constexpr std::array<unsigned char, 256> kLower = win1252::LowerTable();
};

}  // namespace orvex
