#include "db/VCardLine.h"

#include <algorithm>

#include "db/CharsetDecoder.h"
#include "db/VCardText.h"

namespace orvex {

namespace {

bool IsGroup(std::string_view group) {
    return std::all_of(group.begin(), group.end(), [](char c) {
        return c == '.' || CVCardText::IsName(std::string_view(&c, 1));
    });
}

// RFC 6868: ^n is a line break, ^' a double quote, ^^ a caret; any other caret is itself.
std::string Uncaret(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '^' && (next == 'n' || next == 'N' || next == '\'' || next == '^')) {
            out += next == '^' ? '^' : next == '\'' ? '"' : '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Caret(std::string_view text) {
    std::string out;
    for (const char c : CVCardText::LineBreaksToLf(text)) {
        if (c == '^') {
            out += "^^";
        } else if (c == '\n') {
            out += "^n";
        } else if (c == '"') {
            out += "^'";
        } else {
            out += c;
        }
    }
    return out;
}

// The bare words of 2.1 that are not types.
bool IsEncodingWord(std::string_view word) {
    return CVCardText::SameNoCase(word, "QUOTED-PRINTABLE") ||
           CVCardText::SameNoCase(word, "BASE64") || CVCardText::SameNoCase(word, "7BIT") ||
           CVCardText::SameNoCase(word, "8BIT");
}

bool IsValueWord(std::string_view word) {
    return CVCardText::SameNoCase(word, "INLINE") || CVCardText::SameNoCase(word, "URL") ||
           CVCardText::SameNoCase(word, "CID") || CVCardText::SameNoCase(word, "CONTENT-ID");
}

bool SetEncoding(std::string_view word, CVCardLine::STransfer& transfer) {
    const std::string upper = CVCardText::Upper(CVCardText::Trim(word));
    if (upper == "QUOTED-PRINTABLE") {
        transfer.encoding = CVCardLine::kQuotedPrintable;
    } else if (upper == "B" || upper == "BASE64") {
        transfer.encoding = CVCardLine::kBase64;
    } else if (!upper.empty() && upper != "7BIT" && upper != "8BIT") {
        return false;
    }
    return true;
}

class CHeadParser {
  public:
    CHeadParser(std::string_view head, SVCardProperty& property, CVCardLine::STransfer& transfer,
                size_t& maxValues, std::string& error)
        : m_head(head),
          m_property(property),
          m_transfer(transfer),
          m_maxValues(maxValues),
          m_error(error) {}

    bool Parse() {
        const size_t semicolon = std::min(m_head.find(';'), m_head.size());
        const std::string_view full = CVCardText::Trim(m_head.substr(0, semicolon));
        const size_t dot = full.rfind('.');
        const std::string_view group = dot == std::string_view::npos ? "" : full.substr(0, dot);
        const std::string_view name = full.substr(dot == std::string_view::npos ? 0 : dot + 1);
        if (!CVCardText::IsName(name) || !IsGroup(group)) {
            return Fail("\"" + CVCardText::Excerpt(full) + "\" is not a property name");
        }
        m_property.group = std::string(group);
        m_property.name = CVCardText::Upper(name);
        m_at = semicolon;
        while (m_at < m_head.size()) {
            ++m_at;  // past the ';'
            if (!ParseParam()) {
                return false;
            }
        }
        return true;
    }

  private:
    bool Fail(const std::string& why) {
        m_error = why;
        return false;
    }

    bool Add(std::string_view param, std::string_view value) {
        if (m_maxValues == 0) {
            return Fail("too many values");
        }
        --m_maxValues;
        m_property.AddParam(param, CCharsetDecoder::Utf8OrWin1252(value));
        return true;
    }

    void SkipBlanks() {
        while (m_at < m_head.size() && (m_head[m_at] == ' ' || m_head[m_at] == '\t')) {
            ++m_at;
        }
    }

    // A 2.1 parameter without a name: TEL;WORK;VOICE, TEL;WORK,VOICE, NOTE;QUOTED-PRINTABLE.
    bool ParseBare(std::string_view words) {
        while (!words.empty()) {
            const size_t comma = std::min(words.find(','), words.size());
            const std::string_view word = CVCardText::Trim(words.substr(0, comma));
            words.remove_prefix(std::min(comma + 1, words.size()));
            if (word.empty()) {
                continue;
            }
            if (word.find('"') != std::string_view::npos) {
                return Fail("the parameter \"" + CVCardText::Excerpt(word) +
                            "\" is not well formed");
            }
            if (IsEncodingWord(word)) {
                SetEncoding(word, m_transfer);
            } else if (!Add(IsValueWord(word) ? "VALUE" : "TYPE", word)) {
                return false;
            }
        }
        return true;
    }

    bool ParseParam() {
        const size_t end = std::min(m_head.find_first_of("=;", m_at), m_head.size());
        const std::string_view token = m_head.substr(m_at, end - m_at);
        m_at = end;
        if (end == m_head.size() || m_head[end] == ';') {
            return ParseBare(token);
        }
        const std::string name = CVCardText::Upper(CVCardText::Trim(token));
        if (!CVCardText::IsName(name)) {
            return Fail("\"" + CVCardText::Excerpt(token) + "\" is not a parameter name");
        }
        ++m_at;  // past the '='
        std::vector<std::string> values;
        while (true) {
            if (values.size() >= m_maxValues) {
                return Fail("too many values");
            }
            SkipBlanks();
            if (m_at < m_head.size() && m_head[m_at] == '"') {
                const size_t close = m_head.find('"', m_at + 1);
                if (close == std::string_view::npos) {
                    return Fail("a quoted value of " + name + " is not closed");
                }
                const std::string value = Uncaret(m_head.substr(m_at + 1, close - m_at - 1));
                m_at = close + 1;
                SkipBlanks();
                if (m_at < m_head.size() && m_head[m_at] != ',' && m_head[m_at] != ';') {
                    return Fail("text follows the closing quote of a value of " + name);
                }
                if (name == "TYPE") {
                    // TYPE="work,voice" is how some programs write two types.
                    for (size_t from = 0;;) {
                        const size_t comma = std::min(value.find(',', from), value.size());
                        const std::string_view type(value.data() + from, comma - from);
                        if (values.size() >= m_maxValues) {
                            return Fail("too many values");
                        }
                        values.push_back(std::string(CVCardText::Trim(type)));
                        if (comma == value.size()) {
                            break;
                        }
                        from = comma + 1;
                    }
                } else {
                    values.push_back(value);
                }
            } else {
                const size_t stop = std::min(m_head.find_first_of(",;", m_at), m_head.size());
                values.push_back(Uncaret(CVCardText::Trim(m_head.substr(m_at, stop - m_at))));
                m_at = stop;
            }
            if (m_at < m_head.size() && m_head[m_at] == ',') {
                ++m_at;
                continue;
            }
            break;
        }
        if (name == "ENCODING") {
            if (!SetEncoding(values.front(), m_transfer)) {
                return Fail("unknown encoding \"" + CVCardText::Excerpt(values.front()) + "\"");
            }
            return true;
        }
        if (name == "CHARSET") {
            m_transfer.charset = values.front();
            return true;
        }
        for (const std::string& value : values) {
            if (!Add(name, value)) {
                return false;
            }
        }
        return true;
    }

    std::string_view m_head;
    SVCardProperty& m_property;
    CVCardLine::STransfer& m_transfer;
    size_t& m_maxValues;
    std::string& m_error;
    size_t m_at = 0;
};

std::string FormatValue(std::string_view value) {
    const std::string text = Caret(value);
    const bool blankEnd = !text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                                            text.back() == ' ' || text.back() == '\t');
    if (blankEnd || text.find_first_of(":;,") != std::string::npos) {
        return '"' + text + '"';
    }
    return text;
}

}  // namespace

size_t CVCardLine::FindColon(std::string_view line, SColonScan& scan) {
    for (; scan.next < line.size(); ++scan.next) {
        const char c = line[scan.next];
        if (scan.quoted) {
            if (c == '"') {
                scan.quoted = false;
                scan.last = c;
            }
        } else if (c == ':') {
            return scan.next;
        } else if (c == '"' && (scan.last == '=' || scan.last == ',')) {
            // A quote opens a value only where a value begins, as the parameter reading has it.
            scan.quoted = true;
        } else if (c != ' ' && c != '\t') {
            scan.last = c;
        }
    }
    return std::string_view::npos;
}

bool CVCardLine::ParseHead(std::string_view head, SVCardProperty& property, STransfer& transfer,
                           size_t& maxValues, std::string& error) {
    return CHeadParser(head, property, transfer, maxValues, error).Parse();
}

std::string CVCardLine::FormatHead(const SVCardProperty& property, EVCardVersion version) {
    std::string out;
    if (!property.group.empty() && IsGroup(property.group)) {
        out += property.group + '.';
    }
    out += CVCardText::Upper(property.name);
    for (const auto& [name, values] : property.params) {
        if (!CVCardText::IsName(name) || CVCardText::SameNoCase(name, "ENCODING") ||
            CVCardText::SameNoCase(name, "CHARSET")) {
            continue;
        }
        const bool isType = CVCardText::SameNoCase(name, "TYPE");
        const bool bare =
            version == EVCardVersion::kV21 && isType && !values.empty() &&
            std::all_of(values.begin(), values.end(), [](const std::string& value) {
                return CVCardText::IsName(value) && !IsEncodingWord(value) && !IsValueWord(value);
            });
        if (bare) {
            for (const std::string& value : values) {
                out += ';' + value;
            }
            continue;
        }
        out += ';' + CVCardText::Upper(name) + '=';
        for (size_t i = 0; i < values.size(); ++i) {
            out += (i > 0 ? "," : "") + FormatValue(values[i]);
        }
    }
    return out;
}

}  // namespace orvex
