#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "db/VCardProperty.h"
#include "db/VCardVersion.h"

namespace orvex {

// The part of a vCard content line before the value: "item1.TEL;TYPE=work,voice;PREF=1:". It
// reads every form of parameter the versions and the programs that write them use, and writes
// the form each version reads.
class CVCardLine {
  public:
    enum EEncoding { kPlain, kQuotedPrintable, kBase64 };

    // Finding the ':' that ends the name and parameters, outside a quoted parameter value, on a
    // line that may still grow by unfolding: call again with the same scan after more text
    // was appended, and it goes on where it stopped.
    struct SColonScan {
        size_t next = 0;
        bool quoted = false;
        char last = 0;  // the last character outside quotes that was not a blank
    };
    // The position of the ':', or npos when there is none yet.
    static size_t FindColon(std::string_view line, SColonScan& scan);

    // What the reading of the value needs from the parameters, which are not kept.
    struct STransfer {
        EEncoding encoding = kPlain;
        std::string charset;  // "" when none was named
    };
    // Reads the text before the ':' into group, name and params of `property`. Parameters of
    // the same name are merged; a bare 2.1 parameter is a TYPE, or an ENCODING or VALUE for the
    // words of those; parameter values are read as UTF-8, or Windows-1252 when not valid
    // UTF-8. False, with the reason in `error`, for a name or parameter that is not well
    // formed, an unknown ENCODING, or more than `maxValues` parameter values; `maxValues` is
    // lowered by the values made.
    static bool ParseHead(std::string_view head, SVCardProperty& property, STransfer& transfer,
                          size_t& maxValues, std::string& error);
    // The name and parameters as `version` writes them, without ENCODING and CHARSET (the
    // writer adds its own): values quoted where they hold ':', ';', ',' or end in blanks,
    // RFC 6868 escapes (^n ^' ^^) for line breaks, double quotes and carets, and in 2.1 the
    // types bare (TEL;WORK;VOICE). A group or parameter whose name is not well formed is left
    // out.
    static std::string FormatHead(const SVCardProperty& property, EVCardVersion version);
};

}  // namespace orvex
