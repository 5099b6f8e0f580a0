#pragma once

#include <string>

namespace orvex {

// The private folder an import reads its file from. The text driver's queries name a file
// bare and read its columns from "Schema.ini" in the same folder; the user's file may have any
// name and lie in any folder, read-only ones included. So the file is copied here under a name
// the queries accept, with the description file beside it, and the user's folder is neither
// written nor read for the description.
//
// The folder is made with mkdtemp (mode 0700) in BaseFolder(), named kPrefix, the process id,
// "-" and six random characters; it goes with the object. A folder that a killed process left
// is removed by the next Stage, once its process no longer runs.
//
// The file is copied, never linked: the import reads it in several queries (all lines, the
// group lines, the members of each group), and only a copy keeps every query on the same bytes
// when the user's file changes meanwhile. A symbolic link would even let each query read
// another file. The copy is read through the one descriptor whose type and size were checked.
class CImportStaging {
  public:
    static constexpr const char* kPrefix = "orvex-import-";
    // Letters, a dot and an extension the text driver reads: the query can name it bare.
    static constexpr const char* kFileName = "contacts.csv";
    // No file larger than this is copied: the 16-bit identifiers allow at most 32768 lines,
    // and a line of the longest fields, every character quoted or multi-byte, stays below 4 KB.
    static constexpr long long kMaxFileSize = 128LL * 1024 * 1024;

    CImportStaging() = default;
    // Removes the folder.
    ~CImportStaging();
    CImportStaging(const CImportStaging&) = delete;
    CImportStaging& operator=(const CImportStaging&) = delete;

    // $XDG_RUNTIME_DIR when it is an absolute path of a directory, else the system's temporary
    // folder; without a trailing "/".
    static std::string BaseFolder();
    // Removes the folders of this kind in base, owned by this user, whose process no longer
    // runs. How many were removed.
    static int RemoveStale(const std::string& base);

    // Removes stale folders, makes the folder, copies the regular file at path into it as
    // kFileName and writes "Schema.ini" there with kFileName's section: its header and then
    // columns (whole lines). On failure error says why (the system's reason included) and no
    // folder is left.
    bool Stage(const std::string& path, const std::string& columns, std::string& error);

    // The folder, ending with "/"; "" when none is staged.
    const std::string& Folder() const { return m_folder; }
    // The staged copy of the file.
    std::string FilePath() const { return m_folder + kFileName; }

    // Removes the folder and what it holds; true when it is gone (or there was none).
    bool Remove();

  private:
    std::string m_folder;
};

}  // namespace orvex
