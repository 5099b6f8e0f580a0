#pragma once

#include "app/FileChooser.h"

#include <QString>

#include "ui/DialogRunner.h"

class QWidget;

namespace orvex {

// The file dialogs as the user meets them: QFileDialog with the command's title, start folder,
// filters, default suffix and overwrite prompt, run by the runner given (nullptr: the user's).
class CQtFileChooser : public IFileChooser {
  public:
    explicit CQtFileChooser(QWidget* parent, IDialogRunner* runner = nullptr)
        : m_parent(parent), m_runner(runner ? *runner : IDialogRunner::Modal()) {}
    bool ChooseOpen(const SRequest& request, std::string& path) override;
    bool ChooseSave(const SRequest& request, std::string& path) override;

    // "Label (*.x)|*.x|Other (*.y)|*.y||" as QFileDialog's filter list "Label (*.x);;Other (*.y)".
    static QString FilterList(const char* filter);

  private:
    bool Choose(const SRequest& request, bool save, std::string& path);
    QWidget* m_parent;
    IDialogRunner& m_runner;
};

}  // namespace orvex
