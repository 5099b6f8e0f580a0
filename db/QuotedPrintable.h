#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// Quoted-printable (RFC 2045) as vCard 2.1 uses it for values that hold line breaks or bytes
// above 0x7F: "=XX" for a byte, '=' at the end of a line for a soft line break.
class CQuotedPrintable {
  public:
    // Decodes a value whose soft line breaks have already been joined: a '=' at the very end is
    // the last soft line break and stands for nothing. False when a '=' is followed by
    // anything but two hexadecimal digits (either case); `bad` then holds the '=' and what
    // follows it, for the message.
    static bool Decode(std::string_view text, std::string& bytes, std::string& bad);
    // Encodes bytes ("\n" as a CR LF pair, "=0D=0A") as the lines of a property whose name and
    // parameters take `used` octets of the first line. No line is longer than `width` octets;
    // every line but the last ends with the soft line break '='. A blank at the start or end of
    // a line is encoded, so that no reader's trimming or unfolding can take it, and no line but
    // the first reads END:VCARD.
    static std::vector<std::string> Encode(std::string_view bytes, size_t used, size_t width);
};

}  // namespace orvex
