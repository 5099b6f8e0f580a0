#include "db/VCardReader.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "db/CharsetDecoder.h"
#include "db/QuotedPrintable.h"
#include "db/VCardLine.h"
#include "db/VCardText.h"

namespace orvex {

namespace {

// The physical lines of a text, ended by CR LF, LF or CR, numbered from 1.
class CLineCursor {
  public:
    explicit CLineCursor(std::string_view text) : m_text(text) { Find(); }

    bool AtEnd() const { return m_start >= m_text.size(); }
    std::string_view Line() const { return m_text.substr(m_start, m_end - m_start); }
    int Number() const { return m_number; }
    void Next() {
        m_start = m_next;
        ++m_number;
        Find();
    }

  private:
    void Find() {
        m_end = std::min(m_text.find_first_of("\r\n", m_start), m_text.size());
        m_next = std::min(m_end + 1, m_text.size());
        if (m_end < m_text.size() && m_text[m_end] == '\r') {
            // CR LF; and CR CR LF, which a CR LF file gets from a program that writes every
            // LF it is given as CR LF, is one line end too.
            const std::string_view rest = m_text.substr(m_end);
            m_next += rest.starts_with("\r\n") ? 1 : rest.starts_with("\r\r\n") ? 2 : 0;
        }
    }

    std::string_view m_text;
    size_t m_start = 0;
    size_t m_end = 0;
    size_t m_next = 0;
    int m_number = 1;
};

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Blanks, and the end-of-file mark old DOS programs leave at the end.
bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\x1A") == std::string_view::npos;
}

bool IsBase64Line(std::string_view line) {
    return line.find_first_not_of(
               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/= \t") ==
           std::string_view::npos;
}

bool StartsWithBlank(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

void TrimEnd(std::string& text, size_t keep) {
    while (text.size() > keep && (text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
}

bool IsCardBoundary(const SVCardProperty& property, std::string_view which) {
    return property.name == which &&
           CVCardText::SameNoCase(CVCardText::Trim(property.Text()), "VCARD");
}

// One property as it came from the file: its lines joined, the transfer parameters apart.
struct SRawProperty {
    SVCardProperty property;
    CVCardLine::STransfer transfer;
    std::string value;
};

class CReading {
  public:
    CReading(std::string_view text, bool charsetsApply, std::vector<SVCard>& cards,
             std::string& error)
        : m_lines(text), m_charsetsApply(charsetsApply), m_cards(cards), m_error(error) {}

    bool Run() {
        bool inCard = false;
        int nested = 0;  // inside a 2.1 AGENT's embedded card
        while (true) {
            SRawProperty raw;
            bool got = false;
            if (!Next(raw, got)) {
                return false;
            }
            if (!got) {
                break;
            }
            if (!Decode(raw)) {
                return false;
            }
            SVCardProperty& property = raw.property;
            const bool begin = IsCardBoundary(property, "BEGIN");
            const bool end = IsCardBoundary(property, "END");
            bool kept = false;
            if (nested > 0) {
                nested += begin ? 1 : end ? -1 : 0;
            } else if (begin && inCard) {
                const std::vector<SVCardProperty>& before = m_cards.back().properties;
                if (before.empty() || before.back().name != "AGENT" ||
                    !before.back().Text().empty()) {
                    return Fail(m_cards.back().firstLine,
                                "the card that begins here has no END:VCARD (the next "
                                "BEGIN:VCARD is on line " +
                                    std::to_string(property.line) + ")");
                }
                nested = 1;
            } else if (begin) {
                if (m_cards.size() == CVCardReader::kMaxCards) {
                    return Fail(property.line, "the file holds more than " +
                                                   std::to_string(CVCardReader::kMaxCards) +
                                                   " cards, more than is read");
                }
                m_cards.emplace_back();
                m_cards.back().firstLine = property.line;
                inCard = true;
                m_unindentedBase64 = true;
            } else if (end) {
                if (!inCard) {
                    return Fail(property.line, "END:VCARD without BEGIN:VCARD");
                }
                inCard = false;
            } else if (!inCard) {
                return Fail(property.line,
                            property.name + " stands outside any card (no BEGIN:VCARD before it)");
            } else if (property.name == "VERSION") {
                if (m_cards.back().version.empty()) {
                    m_cards.back().version = std::string(CVCardText::Trim(property.Text()));
                    // 3.0 and 4.0 fold every line with a blank, also before a name and
                    // parameters too long for one line, which then holds no ':'.
                    m_unindentedBase64 =
                        m_cards.back().version != "3.0" && m_cards.back().version != "4.0";
                }
            } else {
                m_cards.back().properties.push_back(std::move(property));
                kept = true;
            }
            if (!kept) {
                // Only what is kept counts against the limit; what passes is freed again.
                m_budget += Cost(property);
            }
        }
        if (inCard) {
            return Fail(m_cards.back().firstLine, "the card that begins here has no END:VCARD");
        }
        return true;
    }

  private:
    static size_t Cost(const SVCardProperty& property) {
        size_t cost = 1;
        for (const SVCardProperty::Param& param : property.params) {
            cost += param.second.size();
        }
        for (const SVCardProperty::Component& component : property.value) {
            cost += component.size();
        }
        return cost;
    }

    bool Fail(int line, const std::string& why) {
        m_error = "line " + std::to_string(line) + ": " + why;
        return false;
    }

    bool TooMany(int line) {
        return Fail(line, "the file holds more than " + std::to_string(CVCardReader::kMaxValues) +
                              " values (properties, parameters and their values), more than "
                              "is read");
    }

    // The next property's lines: the first, the folded lines after it (a blank, taken away,
    // then the rest), for quoted-printable the lines after a soft line break (as they are),
    // and for base64 in 2.1 the lines of base64 up to a blank line.
    bool Next(SRawProperty& raw, bool& got) {
        while (!m_lines.AtEnd() && IsBlankLine(m_lines.Line())) {
            m_lines.Next();
        }
        got = !m_lines.AtEnd();
        if (!got) {
            return true;
        }
        const int line = m_lines.Number();
        std::string text(m_lines.Line());
        m_lines.Next();
        // Blanks here continue nothing; a byte-order mark here began a file appended to another.
        text.erase(0, text.find_first_not_of(" \t"));
        if (text.starts_with(kUtf8Mark)) {
            text.erase(0, kUtf8Mark.size());
        }
        CVCardLine::SColonScan scan;
        size_t colon = CVCardLine::FindColon(text, scan);
        while (colon == std::string::npos && !m_lines.AtEnd() && StartsWithBlank(m_lines.Line())) {
            text += m_lines.Line().substr(1);
            m_lines.Next();
            colon = CVCardLine::FindColon(text, scan);
        }
        if (colon == std::string::npos) {
            return Fail(line, scan.quoted ? "a quoted parameter value is not closed"
                                          : "\"" + CVCardText::Excerpt(text) +
                                                "\" is not a property: it has no ':'");
        }
        raw.property.line = line;
        std::string why;
        if (!CVCardLine::ParseHead(std::string_view(text).substr(0, colon), raw.property,
                                   raw.transfer, m_budget, why)) {
            return m_budget == 0 ? TooMany(line) : Fail(line, why);
        }
        const bool quotedPrintable = raw.transfer.encoding == CVCardLine::kQuotedPrintable;
        const bool base64 = raw.transfer.encoding == CVCardLine::kBase64;
        while (!m_lines.AtEnd()) {
            const std::string_view next = m_lines.Line();
            if (quotedPrintable) {
                // Blanks at the end of a quoted-printable line were added on the way.
                TrimEnd(text, colon + 1);
                if (text.size() > colon + 1 && text.back() == '=' &&
                    !CVCardText::SameNoCase(CVCardText::Trim(next), "END:VCARD")) {
                    text.pop_back();
                    text += next;
                    m_lines.Next();
                    continue;
                }
            }
            if (StartsWithBlank(next)) {
                text += next.substr(1);
            } else if (base64 && IsBlankLine(next)) {
                m_lines.Next();
                break;
            } else if (!base64 || !m_unindentedBase64 || !IsBase64Line(next)) {
                break;
            } else {
                text += next;
            }
            m_lines.Next();
        }
        if (quotedPrintable) {
            TrimEnd(text, colon + 1);
        }
        raw.value = text.substr(colon + 1);
        return true;
    }

    bool Decode(SRawProperty& raw) {
        SVCardProperty& property = raw.property;
        if (m_budget == 0) {
            return TooMany(property.line);
        }
        --m_budget;
        if (raw.transfer.encoding == CVCardLine::kBase64) {
            std::string data;
            for (const char c : raw.value) {
                if (c != ' ' && c != '\t') {
                    data += c;
                }
            }
            if (m_budget == 0) {
                return TooMany(property.line);
            }
            --m_budget;
            property.value = {{CCharsetDecoder::Utf8OrWin1252(data)}};
            property.base64 = true;
            return true;
        }
        std::string bytes;
        if (raw.transfer.encoding == CVCardLine::kQuotedPrintable) {
            std::string bad;
            if (!CQuotedPrintable::Decode(raw.value, bytes, bad)) {
                return Fail(property.line, "the value of " + property.name +
                                               " is not valid quoted-printable (\"" +
                                               CVCardText::Excerpt(bad) + "\")");
            }
        } else {
            bytes = std::move(raw.value);
        }
        std::string text;
        if (m_charsetsApply && !raw.transfer.charset.empty()) {
            if (!m_charsets.ToUtf8(raw.transfer.charset, bytes, text)) {
                return Fail(property.line, "unknown character set \"" +
                                               CVCardText::Excerpt(raw.transfer.charset) + "\" (" +
                                               property.name + ")");
            }
        } else {
            text = CCharsetDecoder::Utf8OrWin1252(bytes);
        }
        if (!CVCardText::Split(CVCardText::LineBreaksToLf(text), CVCardText::ShapeOf(property),
                               m_budget, property.value)) {
            return TooMany(property.line);
        }
        for (const SVCardProperty::Component& component : property.value) {
            m_budget -= component.size();
        }
        return true;
    }

    CLineCursor m_lines;
    bool m_charsetsApply;
    std::vector<SVCard>& m_cards;
    std::string& m_error;
    CCharsetDecoder m_charsets;
    size_t m_budget = CVCardReader::kMaxValues;
    // Whether base64 may go on in lines without a blank before them, as 2.1 has it.
    bool m_unindentedBase64 = true;
};

}  // namespace

bool CVCardReader::Read(const std::string& bytes, std::vector<SVCard>& cards, std::string& error) {
    cards.clear();
    if (bytes.size() > kMaxBytes) {
        error = "the file holds " + std::to_string(bytes.size()) + " bytes, more than the " +
                std::to_string(kMaxBytes) + " (64 MiB) that are read";
        return false;
    }
    std::string_view text = bytes;
    std::string converted;
    bool charsetsApply = true;
    if (text.starts_with(kUtf8Mark)) {
        text.remove_prefix(kUtf8Mark.size());
    } else if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        // UTF-16, as some Windows programs save: the whole file is converted, and a CHARSET
        // in it can only be wrong.
        CCharsetDecoder charsets;
        charsets.ToUtf8("UTF-16", bytes, converted);
        text = converted;
        charsetsApply = false;
    }
    if (!CReading(text, charsetsApply, cards, error).Run()) {
        cards.clear();
        return false;
    }
    return true;
}

bool CVCardReader::ReadFile(const std::string& path, std::vector<SVCard>& cards,
                            std::string& error) {
    cards.clear();
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(path, code);
    if (code) {
        error = "cannot open " + path + ": " + code.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = "cannot read " + path + ": it is not a file";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, code);
    if (!code && size > kMaxBytes) {
        error = path + ": the file holds " + std::to_string(size) + " bytes, more than the " +
                std::to_string(kMaxBytes) + " (64 MiB) that are read";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(code ? 0 : static_cast<size_t>(size), '\0');
    if (!in || code || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        error = "cannot read " + path + ": " + (code ? code.message() : std::strerror(errno));
        return false;
    }
    if (!Read(bytes, cards, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace orvex
