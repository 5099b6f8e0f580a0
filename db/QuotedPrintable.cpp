#include "db/QuotedPrintable.h"

#include "db/VCardText.h"

namespace orvex {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string Hex(unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {'=', kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// One output line's worth of encoded bytes; a blank is kept literal until it is known not to
// stand at an end of the line.
struct SToken {
    unsigned char byte;
    bool literal;
    size_t Width() const { return literal && !IsBlank(static_cast<char>(byte)) ? 1 : 3; }
};

std::string Render(const std::vector<SToken>& tokens) {
    std::string line;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const SToken& token = tokens[i];
        const bool atEnd = i == 0 || i + 1 == tokens.size();
        if (token.literal && !(IsBlank(static_cast<char>(token.byte)) && atEnd)) {
            line += static_cast<char>(token.byte);
        } else {
            line += Hex(token.byte);
        }
    }
    return line;
}

}  // namespace

bool CQuotedPrintable::Decode(std::string_view text, std::string& bytes, std::string& bad) {
    bytes.clear();
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            bytes += text[i];
            continue;
        }
        if (i + 1 == text.size()) {
            break;
        }
        const int high = HexDigit(text[i + 1]);
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            bad = std::string(text.substr(i, 3));
            return false;
        }
        bytes += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return true;
}

std::vector<std::string> CQuotedPrintable::Encode(std::string_view bytes, size_t used,
                                                  size_t width) {
    std::vector<SToken> tokens;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            tokens.push_back({'\r', false});
            tokens.push_back({'\n', false});
        } else {
            const bool printable = (byte >= 0x21 && byte <= 0x7E && c != '=') || IsBlank(c);
            tokens.push_back({byte, printable});
        }
    }
    std::vector<std::vector<SToken>> lines(1);
    size_t room = used < width ? width - used : 0;
    size_t taken = 0;
    for (const SToken& token : tokens) {
        // One octet stays free for the soft line break.
        if (taken + token.Width() + 1 > room && (!lines.back().empty() || lines.size() == 1)) {
            lines.emplace_back();
            room = width;
            taken = 0;
        }
        lines.back().push_back(token);
        taken += token.Width();
    }
    std::vector<std::string> out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && i + 1 == lines.size() &&
            CVCardText::SameNoCase(Render(lines[i]), "END:VCARD")) {
            lines[i].front().literal = false;
        }
        out.push_back(Render(lines[i]) + (i + 1 < lines.size() ? "=" : ""));
    }
    return out;
}

}  // namespace orvex
