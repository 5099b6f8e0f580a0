#pragma once

#include <QDialog>
#include <functional>

#include "ui/DialogRunner.h"

namespace orvex::test {

// Runs the program's modal dialogs without a user: each is shown, handed to `act` (the user's
// part: type, press, accept) and cancelled when act left it open, so a test never waits on
// a dialog it did not expect.
class CActingRunner : public IDialogRunner {
  public:
    int Run(QDialog& dialog) override {
        ++runs;
        dialog.setResult(0);  // as exec() starts
        dialog.show();
        if (act) {
            act(dialog);
        }
        if (dialog.isVisible()) {
            dialog.reject();
        }
        return dialog.result();
    }

    std::function<void(QDialog&)> act;
    int runs = 0;
};

}  // namespace orvex::test
