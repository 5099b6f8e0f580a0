#pragma once

#include <string>

namespace orvex {

// A file the program writes for the user (an export), as it is written: whole blocks, every
// failure kept with the system's reason.
//
// A file of the user's is never truncated in place: the bytes go to a hidden temporary file
// in the same folder, which takes the name (with the old file's permission bits) only once it
// is complete and on disk. A failure at any point leaves the old file as it was. A target that
// is not a regular file (a device, a pipe) is written directly, since it cannot be replaced.
class COutputFile {
  public:
    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool Create(const std::string& path);
    // Text mode: every line feed goes out as carriage return and line feed.
    void Write(const std::string& text);
    // The bytes as they are.
    void WriteBytes(const std::string& bytes);
    // Completes the file: written, on disk, and under its name. False leaves the old file.
    bool Commit();
    // The end of an export to path: the file is completed only when every contact was read.
    // False, with what the user is told in error, leaves the old file.
    bool CommitExport(const std::string& path, bool contactsRead, std::string& error);
    const char* Reason() const;

  private:
    bool Flush();
    bool Opened();

    int m_fd = -1;
    int m_errno = 0;
    std::string m_target;
    std::string m_temp;  // while it has not taken the target's name
    std::string m_buffer;
};

}  // namespace orvex
