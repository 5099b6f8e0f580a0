#pragma once

#include <functional>
#include <string>

#include "app/FileChooser.h"

namespace orvex {

class CWindowState;

// The file dialogs as the commands meet them: each opens in the folder where the last dialog
// of its kind was accepted, or in the user's home folder when there is none (or it is gone),
// never in the program's own hidden folder that the program runs in. A folder is remembered
// only when the user accepts the dialog. The dialogs themselves are the chooser's that
// `inner` gives at each call (the platform's, or a test's).
class CRememberingChooser : public IFileChooser {
  public:
    CRememberingChooser(CWindowState& state, std::function<IFileChooser&()> inner)
        : m_state(state), m_inner(std::move(inner)) {}

    bool ChooseOpen(const SRequest& request, std::string& path) override;
    bool ChooseSave(const SRequest& request, std::string& path) override;

    // Where a dialog of the kind opens now.
    std::string StartFolder(EKind kind) const;

  private:
    bool Choose(const SRequest& request, bool save, std::string& path);
    CWindowState& m_state;
    std::function<IFileChooser&()> m_inner;
};

}  // namespace orvex
