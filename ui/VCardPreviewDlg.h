#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "ui/VCardPreview.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace orvex {

// "Import vCard": what a file read would store, card by card, before anything is written. The
// user picks whether the cards join the current contacts or replace them, and whether cards
// that duplicate a contact are kept; each change asks the import again, since what fits
// depends on it (groups already there count when adding).
class CVCardPreviewDlg : public QDialog {
    Q_OBJECT
  public:
    enum class EChoice { kCancel, kAdd, kReplace };
    // Makes the preview for a mode (replace or add) and whether duplicates are kept. Called at
    // once (add mode, duplicates not kept) and again whenever the user changes either choice.
    using Builder = std::function<SVCardPreview(bool replace, bool keepDuplicates)>;

    enum EColumn { kColCard = 0, kColName = 1, kColStored = 2, kColNotes = 3 };

    CVCardPreviewDlg(const QString& fileName, Builder build, QWidget* parent = nullptr);

    // After exec(): what the user chose.
    EChoice Choice() const { return m_choice; }
    // Whether the cards that duplicate a contact are stored all the same (never when replacing:
    // there is nothing left to duplicate).
    bool KeepDuplicates() const;
    bool Replace() const;

    // For tests and assistive technology: the list and the choices.
    QTreeWidget* List() const { return m_list; }
    QLabel* Summary() const { return m_summary; }
    QRadioButton* AddButton() const { return m_add; }
    QRadioButton* ReplaceButton() const { return m_replace; }
    QCheckBox* KeepDuplicatesBox() const { return m_keep; }
    QPushButton* ImportButton() const { return m_import; }
    QPushButton* CancelButton() const { return m_cancel; }

    // The Notes of a card as the list shows them.
    static QString Notes(const SVCardPreviewCard& card);

  private:
    void CreateControls(const QString& fileName);
    // Asks the builder again for the current choices and shows the result.
    void Rebuild();
    void Fill(const SVCardPreview& preview);
    // Each column as wide as its texts, up to a cap; then the long ones narrower as far as
    // needed for all of them to fit in `room`.
    void FitColumns(int room);
    // Wide enough for the columns and tall enough for a good part of the list, within the
    // screen's free area.
    void FitToScreen();
    void OnImport();
    int DluX(int units) const;
    int DluY(int units) const;

    Builder m_build;
    EChoice m_choice = EChoice::kCancel;
    QLabel* m_summary = nullptr;
    QTreeWidget* m_list = nullptr;
    QRadioButton* m_add = nullptr;
    QRadioButton* m_replace = nullptr;
    QCheckBox* m_keep = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace orvex
