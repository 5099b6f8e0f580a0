#include "db/CsvReader.h"

#include <csv.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace orvex {

namespace {

struct SCollector {
    std::vector<CCsvReader::Record>* records;
    CCsvReader::Record current;
};

void OnField(void* data, size_t size, void* context) {
    auto* collector = static_cast<SCollector*>(context);
    if (data && size > 0) {
        collector->current.emplace_back(std::string(static_cast<const char*>(data), size));
    } else {
        collector->current.emplace_back(std::nullopt);
    }
}

void OnRecordEnd(int, void* context) {
    auto* collector = static_cast<SCollector*>(context);
    collector->records->push_back(std::move(collector->current));
    collector->current.clear();
}

// Blanks around an unquoted field belong to its value: the export quotes a value that begins
// or ends with one, and a reader that trimmed them would change what it wrote.
int NoSpace(unsigned char) {
    return 0;
}

}  // namespace

bool CCsvReader::Parse(const std::string& bytes, std::vector<Record>& records, std::string& error) {
    records.clear();
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_EMPTY_IS_NULL) != 0) {
        error = "out of memory";
        return false;
    }
    csv_set_space_func(&parser, NoSpace);
    SCollector collector{&records, {}};
    const size_t parsed =
        csv_parse(&parser, bytes.data(), bytes.size(), OnField, OnRecordEnd, &collector);
    bool ok = true;
    if (parsed != bytes.size()) {
        ok = false;
        error = "record " + std::to_string(records.size() + 1) + " is not well formed (" +
                csv_strerror(csv_error(&parser)) +
                "): a double quote stands inside an unquoted field, or a closing quote is "
                "followed by something other than a comma or a line end";
    } else if (csv_fini(&parser, OnField, OnRecordEnd, &collector) != 0) {
        ok = false;
        error = "record " + std::to_string(records.size() + 1) +
                " has a quoted field that is not closed before the end of the file";
    }
    csv_free(&parser);
    if (!ok) {
        records.clear();
    }
    return ok;
}

bool CCsvReader::ReadFile(const std::string& path, std::vector<Record>& records,
                          std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!Parse(bytes.str(), records, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace orvex
