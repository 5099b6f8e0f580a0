#pragma once

#include "app/FileChooser.h"

#include <QString>

class QWidget;

namespace orvex {

// The file dialogs as the user meets them: QFileDialog with the command's title, start folder,
// filters, default suffix and overwrite prompt.
class CQtFileChooser : public IFileChooser {
  public:
    explicit CQtFileChooser(QWidget* parent) : m_parent(parent) {}
    bool ChooseOpen(const SRequest& request, std::string& path) override;
    bool ChooseSave(const SRequest& request, std::string& path) override;

    // "Label (*.x)|*.x|Other (*.y)|*.y||" as QFileDialog's filter list "Label (*.x);;Other (*.y)".
    static QString FilterList(const char* filter);

  private:
    bool Choose(const SRequest& request, bool save, std::string& path);
    QWidget* m_parent;
};

}  // namespace orvex
