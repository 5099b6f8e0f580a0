#pragma once

#include <iconv.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvex {

// Converts text in a named character set to UTF-8 with the C library's iconv, keeping the
// converters it opened until it is destroyed (a file names the same few character sets on
// every card).
class CCharsetDecoder {
  public:
    CCharsetDecoder() = default;
    ~CCharsetDecoder();
    CCharsetDecoder(const CCharsetDecoder&) = delete;
    CCharsetDecoder& operator=(const CCharsetDecoder&) = delete;

    // False when the name is not a character set iconv knows. UTF-8 and US-ASCII text that is
    // not valid UTF-8 is taken as Windows-1252 (files that say UTF-8 and are not exist), and
    // so is ISO-8859-1, which programs write for what is really Windows-1252 (the two differ
    // only in control characters no contact holds). Bytes that are not valid in the character
    // set become U+FFFD. An empty name is UTF-8.
    bool ToUtf8(std::string_view charset, std::string_view bytes, std::string& utf8);

    static bool IsUtf8(std::string_view bytes);
    // Valid UTF-8 as it is; anything else taken as Windows-1252.
    static std::string Utf8OrWin1252(std::string_view bytes);

  private:
    static constexpr size_t kMaxOpen = 8;

    iconv_t Open(const std::string& name, bool& keep);

    std::vector<std::pair<std::string, iconv_t>> m_open;
};

}  // namespace orvex
