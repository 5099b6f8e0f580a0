#include "app/QtFileChooser.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "ui/QtText.h"

namespace orvex {

QString CQtFileChooser::FilterList(const char* filter) {
    // Pairs of label and pattern; the label already shows the pattern.
    const QStringList parts = QString::fromLatin1(filter).split('|');
    QStringList labels;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].isEmpty()) {
            labels << parts[i];
        }
    }
    return labels.join(";;");
}

bool CQtFileChooser::ChooseOpen(const SRequest& request, std::string& path) {
    return Choose(request, false, path);
}

bool CQtFileChooser::ChooseSave(const SRequest& request, std::string& path) {
    return Choose(request, true, path);
}

bool CQtFileChooser::Choose(const SRequest& request, bool save, std::string& path) {
    QFileDialog dialog(m_parent, QString::fromUtf8(request.title));
    // Without a folder the dialog would open in the current directory, which is the program's
    // own hidden folder.
    if (!request.folder.empty()) {
        dialog.setDirectory(QFile::decodeName(request.folder.c_str()));
    }
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(FilterList(request.filter).split(";;"));
    dialog.setDefaultSuffix(QString::fromLatin1(request.defaultSuffix));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.setOption(QFileDialog::ReadOnly, false);
    // "*.x" as the initial name only shows the pattern; the filter already does that.
    if (!request.initialName.empty() && request.initialName[0] != '*') {
        dialog.selectFile(QFile::decodeName(request.initialName.c_str()));
    }
    if (m_runner.Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    path = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    return true;
}

}  // namespace orvex
