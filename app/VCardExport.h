#pragma once

#include <string>

#include "db/ADODatabase.h"
#include "db/VCardVersion.h"

namespace orvex {

// File > Export vCard: every personal contact as one card (CVCardContact), in name order, with
// the groups of its addresses. The file is written like the comma-delimited export: complete
// and on disk before it takes the name, an older file untouched on any failure.
class CVCardExport {
  public:
    static constexpr const char* kFileFilter = "vCard Files (*.vcf *.vcard)|*.vcf;*.vcard||";

    // count receives the number of cards written.
    static bool ExportContacts(CADODatabase& database, const std::string& path,
                               EVCardVersion version, int& count, std::string& error);
};

}  // namespace orvex
