#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "db/BookHistory.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace orvex {

// "Restore Earlier Book": the books the history kept before downloads, imports and restores
// replaced them, newest first, and the contacts of the one selected, read from its copy
// without touching it. Restore asks first, then hands the book to the main window, which
// does the replacement; the dialog ends only when that succeeded.
class CRestoreBookDlg : public QDialog {
    Q_OBJECT
  public:
    // Replaces the open book with the entry's copy; false with the reason when it could not.
    using Restorer = std::function<bool(const SBookEntry& entry, std::string& error)>;

    enum EBookColumn { kColWhen = 0, kColReplacedBy = 1, kColPersonal = 2, kColGroups = 3 };
    enum EContactColumn {
        kColFirst = 0,
        kColLast = 1,
        kColWireless = 2,
        kColWorkEmail = 3,
        kColHomeEmail = 4,
    };

    CRestoreBookDlg(const CBookHistory& history, Restorer restore, QWidget* parent = nullptr);

    // What replaced a book, in words: "Download", "Import of people.csv", ...
    static QString ReplacedBy(const SBookEntry& entry);
    // The question Restore asks before it replaces the current contacts.
    static std::string ConfirmText(const SBookEntry& entry);

    QTreeWidget* Books() const { return m_books; }
    QTreeWidget* Contacts() const { return m_contacts; }
    QPushButton* RestoreButton() const { return m_restore; }
    QPushButton* CloseButton() const { return m_close; }
    // The selected book; null when none is.
    const SBookEntry* Selected() const;

    // Asks, then restores the selected book.
    void OnRestore();

  private:
    void CreateControls();
    // Lists the history again, selecting the book at `select` (the newest when it is gone).
    void FillBooks(const std::string& select);
    void FillContacts();
    void ShowUnreadable(const QString& text);
    int DluX(int units) const;
    int DluY(int units) const;

    const CBookHistory& m_history;
    Restorer m_restorer;
    std::vector<SBookEntry> m_entries;
    QTreeWidget* m_books = nullptr;
    QTreeWidget* m_contacts = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_close = nullptr;
};

}  // namespace orvex
