#pragma once

namespace orvex {

// The single document. The contacts live in the database the main window owns, so the
// document carries nothing; its new-document step is where a failed start-up ends the program.
class CVelkorMgrDoc {
  public:
    virtual ~CVelkorMgrDoc() = default;
    // True only when the start-up had no failure.
    virtual bool OnNewDocument(bool startupFailed);
};

}  // namespace orvex
