#pragma once

#include <string>

namespace orvex {

// The file dialogs of the commands that read or write whole files. The main window shows the
// platform's dialogs; tests put their own choice in.
class IFileChooser {
  public:
    struct SRequest {
        const char* defaultSuffix;  // without the dot: "mdb", "csv"
        const char* initialName;    // "*.mdb"
        const char* filter;         // "Label (*.x)|*.x|Other (*.y)|*.y||"
        bool confirmOverwrite;
    };
    virtual ~IFileChooser() = default;
    // The full path chosen, or false when the user cancels.
    virtual bool ChooseOpen(const SRequest& request, std::string& path) = 0;
    virtual bool ChooseSave(const SRequest& request, std::string& path) = 0;
};

}  // namespace orvex
