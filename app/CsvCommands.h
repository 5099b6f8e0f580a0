#pragma once

namespace orvex {

class CMainFrame;

// Export and Import of the File menu: the whole contacts table to and from a comma-delimited
// file. A failed import shows Error 002 with the file and the cause as its details.
class CCsvCommands {
  public:
    explicit CCsvCommands(CMainFrame& frame) : m_frame(frame) {}

    void OnExport();
    void OnImport();

  private:
    CMainFrame& m_frame;
};

}  // namespace orvex
