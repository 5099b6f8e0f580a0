#pragma once

#include <functional>
#include <string>

#include "app/VCardImportPlan.h"
#include "ui/VCardPreview.h"

namespace orvex {

class CMainFrame;

// File > Import vCard... and File > Export vCard...
// The import reads the whole file, shows what it would store (CVCardPreviewDlg) and stores
// nothing until the user chooses to add or replace; then it runs like the comma-delimited
// import: the book kept in the history, the safety copy, one transaction, the view reloaded,
// and on any failure the contacts as they were with a message that names the cause.
class CVCardCommands {
  public:
    // What the user answers to the preview: 0 cancel, 1 add, 2 replace; keepDuplicates too.
    // The dialog unless a test puts its own answer in place.
    using Previewer = std::function<int(const std::string& fileName,
                                        const std::function<SVCardPreview(bool, bool)>& build,
                                        bool& keepDuplicates)>;
    static constexpr int kCancel = 0, kAdd = 1, kReplace = 2;

    explicit CVCardCommands(CMainFrame& frame) : m_frame(frame) {}
    void SetPreviewer(Previewer previewer) { m_previewer = std::move(previewer); }

    void OnExport();
    void OnImport();

    // The plan as the preview shows it.
    static SVCardPreview PreviewOf(const CVCardImportPlan& plan, const std::string& fileName);

  private:
    void Tell(const std::string& text);
    bool StorePlan(CVCardImportPlan& plan, const std::string& path, std::string& error);

    CMainFrame& m_frame;
    Previewer m_previewer;
};

}  // namespace orvex
