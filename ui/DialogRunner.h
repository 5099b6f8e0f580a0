#pragma once

class QDialog;

namespace orvex {

// Runs the program's modal dialogs: the groups, configuration, earlier books, About, vCard
// preview, group name and file dialogs. The windows show them to the user; tests put their
// own runner in, which acts on a dialog and closes it without waiting for anyone.
class IDialogRunner {
  public:
    virtual ~IDialogRunner() = default;
    // Shows the dialog and returns once it is closed, with its result (QDialog::Accepted or
    // QDialog::Rejected).
    virtual int Run(QDialog& dialog) = 0;

    // The user's: the dialog modal over its parent until the user closes it.
    static IDialogRunner& Modal();
};

}  // namespace orvex
