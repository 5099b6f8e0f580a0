#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvex {

// Splits comma-delimited text into records. A field in double quotes may hold commas, line
// breaks and doubled double quotes (one quote each); a line end outside quotes ends the record.
// Blank lines hold no record. The bytes are taken as they are (no code page conversion).
class CCsvReader {
  public:
    // An empty field, quoted or not, has no value.
    using Field = std::optional<std::string>;
    using Record = std::vector<Field>;

    // False for text that is not well formed: a quote that is never closed, a quote inside an
    // unquoted field, or anything but a comma or a line end after a closing quote. error names
    // the record.
    static bool Parse(const std::string& bytes, std::vector<Record>& records, std::string& error);
    // Reads the whole file and parses it; error names the file.
    static bool ReadFile(const std::string& path, std::vector<Record>& records, std::string& error);
};

}  // namespace orvex
