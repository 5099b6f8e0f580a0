#pragma once

#include <string>
#include <vector>

#include "db/FieldValue.h"

namespace orvex {

// The column description file of a directory of comma-delimited files, "Schema.ini": one
// section per file, named after the file, that gives the file's format and its columns by
// position ("Col1=CONTACT_ID Integer", "Col4=FIRST_NAME Char Width 15").
class CSchemaIni {
  public:
    static constexpr const char* kFileName = "Schema.ini";

    struct SColumnDef {
        std::string name;
        EValueKind kind = EValueKind::Text;
        // Integer and Short are 16-bit, Long 32-bit: what a value must fit.
        int bits = 0;
        int width = 0;  // 0 when none is given
    };
    struct SFormat {
        bool found = false;               // the file has a section of its own
        bool header = true;               // the first record names the columns and holds no data
        std::vector<SColumnDef> columns;  // empty: named by the header, all text
    };

    // The description file of the directory: "Schema.ini", or failing that the one file whose
    // name differs from it only in letter case; "" when there is none.
    static std::string FindFile(const std::string& directory);
    // The format of fileName in directory (found false when no section names it).
    static bool Load(const std::string& directory, const std::string& fileName, SFormat& format,
                     std::string& error);
    // The same from the description file's text.
    static bool ParseSection(const std::string& text, const std::string& fileName, SFormat& format,
                             std::string& error);
    // text with the section named sectionName (letter case aside) replaced by section, or
    // with section appended when there is none; every other section stays as it was. section
    // is whole lines, its header included.
    static std::string ReplaceSection(const std::string& text, const std::string& sectionName,
                                      const std::string& section);
};

}  // namespace orvex
