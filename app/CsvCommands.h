#pragma once

namespace orvex {

class CMainFrame;

// Export and Import of the File menu: the whole contacts table to and from a comma-delimited
// file.
class CCsvCommands {
  public:
    explicit CCsvCommands(CMainFrame& frame) : m_frame(frame) {}

    void OnExport();
    void OnImport();

  private:
    CMainFrame& m_frame;
};

}  // namespace orvex
