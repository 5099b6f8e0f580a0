#include "db/CharsetDecoder.h"

#include <cerrno>

#include "contact/CharacterCodes.h"
#include "db/VCardText.h"
#include "db/Win1252.h"

namespace orvex {

namespace {

const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Names iconv may be given: letters, digits and the punctuation of charset names, and no '/',
// with which iconv would take options ("//IGNORE") from the file.
bool IsCharsetName(std::string_view name) {
    if (name.empty() || name.size() > 64) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                        c == '.' || c == ':';
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

CCharsetDecoder::~CCharsetDecoder() {
    for (auto& [name, converter] : m_open) {
        iconv_close(converter);
    }
}

bool CCharsetDecoder::IsUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        char32_t ignored = 0;
        const size_t n = CCharacterCodes::DecodeUtf8(bytes, i, ignored);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string CCharsetDecoder::Utf8OrWin1252(std::string_view bytes) {
    std::string text(bytes);
    return IsUtf8(text) ? text : CWin1252::ToUtf8(text);
}

iconv_t CCharsetDecoder::Open(const std::string& name, bool& keep) {
    for (const auto& [openName, converter] : m_open) {
        if (openName == name) {
            keep = true;
            return converter;
        }
    }
    const iconv_t converter = iconv_open("UTF-8", name.c_str());
    keep = converter != kNone && m_open.size() < kMaxOpen;
    if (keep) {
        m_open.emplace_back(name, converter);
    }
    return converter;
}

bool CCharsetDecoder::ToUtf8(std::string_view charset, std::string_view bytes, std::string& utf8) {
    const std::string name = CVCardText::Upper(CVCardText::Trim(charset));
    if (name.empty() || name == "UTF-8" || name == "UTF8" || name == "US-ASCII" ||
        name == "ASCII") {
        utf8 = Utf8OrWin1252(bytes);
        return true;
    }
    if (name == "WINDOWS-1252" || name == "CP1252" || name == "ISO-8859-1" || name == "ISO8859-1" ||
        name == "ISO_8859-1" || name == "LATIN1") {
        utf8 = CWin1252::ToUtf8(std::string(bytes));
        return true;
    }
    if (!IsCharsetName(name)) {
        return false;
    }
    bool keep = false;
    const iconv_t converter = Open(name, keep);
    if (converter == kNone) {
        return false;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string out(bytes.size() * 2 + 16, '\0');
    size_t used = 0;
    std::string input(bytes);
    char* in = input.data();
    size_t inLeft = input.size();
    bool flushing = false;
    while (true) {
        if (out.size() - used < 16) {
            out.resize(out.size() * 2);
        }
        char* outAt = out.data() + used;
        size_t outLeft = out.size() - used;
        const size_t result = flushing ? iconv(converter, nullptr, nullptr, &outAt, &outLeft)
                                       : iconv(converter, &in, &inLeft, &outAt, &outLeft);
        used = static_cast<size_t>(outAt - out.data());
        if (result != static_cast<size_t>(-1)) {
            if (flushing) {
                break;
            }
            flushing = true;  // what a stateful character set still holds
        } else if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (errno == EILSEQ && !flushing && inLeft > 0) {
            out.replace(used, 3, kReplacement);
            used += 3;
            ++in;
            --inLeft;
        } else {  // an incomplete sequence at the end, or a failure while flushing
            out.replace(used, 3, kReplacement);
            used += 3;
            if (flushing) {
                break;
            }
            inLeft = 0;
            flushing = true;
        }
    }
    out.resize(used);
    if (!keep) {
        iconv_close(converter);
    }
    utf8 = Utf8OrWin1252(out);
    return true;
}

}  // namespace orvex
