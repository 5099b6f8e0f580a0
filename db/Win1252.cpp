#include "db/Win1252.h"

#include "contact/CharacterCodes.h"

namespace orvex {

char32_t CWin1252::CodePointOf(unsigned char byte) {
    const char32_t cp = CCharacterCodes::CodePoint(byte);
    return cp == 0 ? byte : cp;  // an undefined byte: the control character of its number
}

int CWin1252::ByteFor(char32_t cp) {
    const int byte = CCharacterCodes::Byte(cp);
    const bool undefined =
        cp >= 0x80 && cp < 0xA0 && CCharacterCodes::CodePoint(static_cast<uint8_t>(cp)) == 0;
    return undefined ? static_cast<int>(cp) : byte;
}

namespace {

bool IsAscii(const std::string& s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string CWin1252::ToUtf8(const std::string& bytes) {
    if (IsAscii(bytes)) {
        return bytes;
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        CCharacterCodes::AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    }
    return out;
}

bool CWin1252::FromUtf8(const std::string& utf8, std::string& bytes) {
    if (IsAscii(utf8)) {
        bytes = utf8;
        return true;
    }
    bytes.clear();
    bytes.reserve(utf8.size());
    bool exact = true;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t n = CCharacterCodes::DecodeUtf8(utf8, i, cp);
        if (n == 0) {
            bytes += utf8[i];
            ++i;
            continue;
        }
        const int byte = ByteFor(cp);
        if (byte < 0) {
            bytes += '?';
            exact = false;
        } else {
            bytes += static_cast<char>(byte);
        }
        i += n;
    }
    return exact;
}

std::string CWin1252::Folded(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        out += static_cast<char>(Lower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace orvex
