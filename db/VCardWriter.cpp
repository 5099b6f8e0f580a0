#include "db/VCardWriter.h"

#include <algorithm>
#include <string_view>

#include "db/QuotedPrintable.h"
#include "db/VCardLine.h"
#include "db/VCardText.h"

namespace orvex {

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A line folded as RFC 2426 and RFC 6350 have it: the first part 75 octets at most, each next
// part a blank and 74 octets at most. A fold never splits a UTF-8 sequence (other readers
// would show broken characters).
void AppendFolded(std::string& out, std::string_view line) {
    size_t limit = CVCardWriter::kLineOctets;
    while (line.size() > limit) {
        size_t cut = limit;
        while (cut > limit - 3 && IsContinuationByte(line[cut])) {
            --cut;
        }
        if (IsContinuationByte(line[cut])) {
            cut = limit;  // not UTF-8: any place does
        }
        out.append(line.substr(0, cut));
        out.append(kCrLf);
        out += ' ';
        line.remove_prefix(cut);
        limit = CVCardWriter::kLineOctets - 1;
    }
    out.append(line);
    out.append(kCrLf);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool IsCardBoundary(const SVCardProperty& property) {
    return (CVCardText::SameNoCase(property.name, "BEGIN") ||
            CVCardText::SameNoCase(property.name, "END")) &&
           CVCardText::SameNoCase(CVCardText::Trim(property.Text()), "VCARD");
}

void AppendProperty(std::string& out, const SVCardProperty& property, EVCardVersion version) {
    const bool v21 = version == EVCardVersion::kV21;
    std::string head = CVCardLine::FormatHead(property, version);
    if (property.base64) {
        head += v21 ? ";ENCODING=BASE64:" : ";ENCODING=b:";
        for (const char c : property.Text()) {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
                head += c;
            }
        }
        AppendFolded(out, head);
        if (v21) {
            out.append(kCrLf);  // 2.1 ends a base64 value with a blank line
        }
        return;
    }
    const std::string value = CVCardText::Join(property, version);
    if (!v21) {
        AppendFolded(out, head + ':' + value);
        return;
    }
    const bool ascii = IsAscii(value);
    // A long value gets soft line breaks, unless the name and parameters alone fill the line.
    const bool tooLong = !value.empty() &&
                         head.size() + 1 + value.size() > CVCardWriter::kLineOctets &&
                         head.size() + 8 < CVCardWriter::kLineOctets;
    const bool quotedPrintable = !ascii || HasControl(value) || tooLong;
    if (!quotedPrintable) {
        out.append(head + ':' + value);
        out.append(kCrLf);
        return;
    }
    if (!ascii) {
        head += ";CHARSET=UTF-8";
    }
    head += ";ENCODING=QUOTED-PRINTABLE:";
    const std::vector<std::string> lines =
        CQuotedPrintable::Encode(value, head.size(), CVCardWriter::kLineOctets);
    out.append(head);
    for (const std::string& line : lines) {
        out.append(line);
        out.append(kCrLf);
    }
}

}  // namespace

std::string CVCardWriter::Write(const std::vector<SVCard>& cards, EVCardVersion version) {
    std::string out;
    for (const SVCard& card : cards) {
        out += WriteCard(card, version);
    }
    return out;
}

std::string CVCardWriter::WriteCard(const SVCard& card, EVCardVersion version) {
    std::string out = "BEGIN:VCARD\r\nVERSION:";
    out += version == EVCardVersion::kV21 ? "2.1" : version == EVCardVersion::kV40 ? "4.0" : "3.0";
    out.append(kCrLf);
    for (const SVCardProperty& property : card.properties) {
        if (!CVCardText::IsName(property.name) ||
            CVCardText::SameNoCase(property.name, "VERSION") || IsCardBoundary(property)) {
            continue;
        }
        AppendProperty(out, property, version);
    }
    out += "END:VCARD\r\n";
    return out;
}

}  // namespace orvex
