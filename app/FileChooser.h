#pragma once

#include <string>

namespace orvex {

// The file dialogs of the commands that read or write whole files. The main window shows the
// platform's dialogs; tests put their own choice in.
class IFileChooser {
  public:
    // The kinds of file the commands read and write. Each kind has a folder of its own: its
    // dialogs open where the last one of that kind was accepted.
    enum class EKind { kDatabase, kContactsCsv, kVCard };
    static constexpr int kKinds = 3;

    struct SRequest {
        const char* title;  // what the dialog does: "Export Contacts"
        EKind kind;
        const char* defaultSuffix;  // without the dot: "mdb", "csv"
        std::string initialName;    // the pattern "*.mdb" alone, or a file name to offer
        const char* filter;         // "Label (*.x)|*.x|Other (*.y)|*.y||"
        bool confirmOverwrite;
        std::string folder = {};  // where the dialog opens; the main window fills it in
    };
    virtual ~IFileChooser() = default;
    // The full path chosen, or false when the user cancels.
    virtual bool ChooseOpen(const SRequest& request, std::string& path) = 0;
    virtual bool ChooseSave(const SRequest& request, std::string& path) = 0;

    // The dialog of a command that reads or writes a whole file of one kind: the kind's pattern
    // ("*.csv") stands as the name, and saving asks before it replaces a file.
    bool ChooseFile(bool save, const char* title, EKind kind, const char* suffix,
                    const char* filter, std::string& path) {
        const SRequest request{.title = title,
                               .kind = kind,
                               .defaultSuffix = suffix,
                               .initialName = std::string("*.") + suffix,
                               .filter = filter,
                               .confirmOverwrite = save};
        return save ? ChooseSave(request, path) : ChooseOpen(request, path);
    }
};

}  // namespace orvex
