#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace orvex::test {

// A fresh folder of a test's own, "/tmp/orvex-<name>-XXXXXX", removed with everything in it
// when the object goes (unless kept). Path() has no "/" at the end, and is empty when no folder
// could be made.
class CTestFolder {
  public:
    explicit CTestFolder(const std::string& name) {
        std::string pattern = "/tmp/orvex-" + name + "-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~CTestFolder() {
        if (m_path.empty()) {
            return;
        }
        std::error_code ec;
        // A folder a test made read-only must become writable again to be removed.
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Leaves the folder where it is, for a look at what a failed test left.
    void Keep() { m_path.clear(); }

  private:
    std::string m_path;
};

}  // namespace orvex::test
