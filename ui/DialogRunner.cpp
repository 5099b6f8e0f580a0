#include "ui/DialogRunner.h"

#include <QDialog>

namespace orvex {

namespace {

class CModalRunner : public IDialogRunner {
  public:
    int Run(QDialog& dialog) override { return dialog.exec(); }
};

}  // namespace

IDialogRunner& IDialogRunner::Modal() {
    static CModalRunner runner;
    return runner;
}

}  // namespace orvex
