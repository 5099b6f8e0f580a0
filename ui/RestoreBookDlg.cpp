#include "ui/RestoreBookDlg.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "link/ErrorReport.h"
#include "link/MessageBox.h"
#include "ui/QtText.h"

namespace orvex {

namespace {

// The place of a book's entry in m_entries, on its item.
constexpr int kEntryRole = Qt::UserRole;

constexpr const char* kEmptyText = "No earlier books yet.";
constexpr const char* kUnreadableText = "This book cannot be read.";

// A file name from the system (UTF-8, possibly not): one line, never markup.
QString OneLine(const std::string& text) {
    QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char(' ');
        }
    }
    return line;
}

QString Count(int n) {
    return n < 0 ? QStringLiteral("?") : QString::number(n);
}

}  // namespace

CRestoreBookDlg::CRestoreBookDlg(const CBookHistory& history, Restorer restore, QWidget* parent)
    : QDialog(parent), m_history(history), m_restorer(std::move(restore)) {
    setWindowTitle(QStringLiteral("Restore Earlier Book"));
    CreateControls();
    FillBooks({});
}

QString CRestoreBookDlg::ReplacedBy(const SBookEntry& entry) {
    const QString detail = OneLine(entry.detail);
    if (entry.operation == CBookHistory::kDownload) {
        return detail.isEmpty() ? QStringLiteral("Download")
                                : QStringLiteral("Download (%1)").arg(detail);
    }
    if (entry.operation == CBookHistory::kImport) {
        return detail.isEmpty() ? QStringLiteral("Import")
                                : QStringLiteral("Import of %1").arg(detail);
    }
    QString words = entry.operation == CBookHistory::kRestore ? QStringLiteral("Restore")
                    : entry.operation == CBookHistory::kInterrupted
                        ? QStringLiteral("Interrupted operation")
                        : OneLine(entry.operation);
    return detail.isEmpty() ? words : words + QStringLiteral(" (%1)").arg(detail);
}

std::string CRestoreBookDlg::ConfirmText(const SBookEntry& entry) {
    return "Replace the current contacts with the book of " + entry.when + "?";
}

// --- Controls -------------------------------------------------------------------------------

int CRestoreBookDlg::DluX(int units) const {
    // A quarter of the font's average letter width, as the program's other forms measure.
    const QFontMetrics metrics(font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (units * ((letters / 26 + 1) / 2) + 2) / 4;
}

int CRestoreBookDlg::DluY(int units) const {
    return (units * QFontMetrics(font()).height() + 4) / 8;
}

void CRestoreBookDlg::CreateControls() {
    const auto makeTree = [this](const char* name, const QStringList& headers) {
        auto* tree = new QTreeWidget(this);
        tree->setObjectName(QLatin1String(name));
        tree->setHeaderLabels(headers);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->setSelectionBehavior(QAbstractItemView::SelectRows);
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree->setAllColumnsShowFocus(true);
        tree->setUniformRowHeights(true);
        tree->setWordWrap(false);
        tree->header()->setSectionsMovable(false);
        tree->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return tree;
    };

    auto* booksLabel = new QLabel(QStringLiteral("&Earlier books:"), this);
    m_books = makeTree("books", {QStringLiteral("When"), QStringLiteral("Replaced by"),
                                 QStringLiteral("Personal"), QStringLiteral("Groups")});
    m_books->setAccessibleName(QStringLiteral("Earlier books"));
    m_books->setRootIsDecorated(false);
    m_books->setMinimumSize(DluX(340), DluY(90));
    booksLabel->setBuddy(m_books);

    auto* contactsLabel = new QLabel(QStringLiteral("&Contacts in this book:"), this);
    m_contacts = makeTree("contacts", {QStringLiteral("First Name"), QStringLiteral("Last Name"),
                                       QStringLiteral("Wireless Address"),
                                       QStringLiteral("Work Email"), QStringLiteral("Home Email")});
    m_contacts->setAccessibleName(QStringLiteral("Contacts in this book"));
    m_contacts->setMinimumSize(DluX(340), DluY(110));
    contactsLabel->setBuddy(m_contacts);

    m_restore = new QPushButton(QStringLiteral("&Restore"), this);
    m_restore->setObjectName(QStringLiteral("restore"));
    m_restore->setAccessibleName(QStringLiteral("Restore"));
    m_restore->setAccessibleDescription(
        QStringLiteral("Replaces the current contacts with the selected book"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setAccessibleName(QStringLiteral("Close"));
    // Enter never replaces the contacts by accident.
    m_close->setDefault(true);
    m_restore->setAutoDefault(false);
    for (QPushButton* button : {m_restore, m_close}) {
        button->setMinimumSize(DluX(50), DluY(14));
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(DluX(7), DluY(7), DluX(7), DluY(7));
    layout->setSpacing(DluY(2));
    layout->addWidget(booksLabel);
    layout->addWidget(m_books, 2);
    layout->addSpacing(DluY(4));
    layout->addWidget(contactsLabel);
    layout->addWidget(m_contacts, 3);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, DluY(5), 0, 0);
    buttons->setSpacing(DluX(4));
    buttons->addStretch(1);
    buttons->addWidget(m_restore);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    setTabOrder(m_books, m_contacts);
    setTabOrder(m_contacts, m_restore);
    setTabOrder(m_restore, m_close);
    m_books->setFocus(Qt::OtherFocusReason);

    connect(m_books, &QTreeWidget::itemSelectionChanged, this, &CRestoreBookDlg::FillContacts);
    connect(m_restore, &QPushButton::clicked, this, &CRestoreBookDlg::OnRestore);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

// --- Lists ----------------------------------------------------------------------------------

void CRestoreBookDlg::FillBooks(const std::string& select) {
    const QSignalBlocker quiet(m_books);
    m_entries = m_history.List();
    m_books->clear();
    m_books->setAccessibleDescription({});
    if (m_entries.empty()) {
        auto* item = new QTreeWidgetItem(m_books, {QString::fromLatin1(kEmptyText)});
        item->setFlags(Qt::NoItemFlags);
        item->setFirstColumnSpanned(true);
        m_books->setAccessibleDescription(QString::fromLatin1(kEmptyText));
        FillContacts();
        return;
    }
    QTreeWidgetItem* current = nullptr;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const SBookEntry& entry = m_entries[i];
        auto* item =
            new QTreeWidgetItem(m_books, {QString::fromStdString(entry.when), ReplacedBy(entry),
                                          Count(entry.personal), Count(entry.groups)});
        item->setData(kColWhen, kEntryRole, static_cast<int>(i));
        for (int column : {kColPersonal, kColGroups}) {
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
        if (entry.personal < 0) {
            item->setToolTip(kColWhen, QString::fromLatin1(kUnreadableText));
        }
        if (!current || entry.path == select) {
            current = item;
        }
    }
    for (int column = 0; column < m_books->columnCount(); ++column) {
        m_books->resizeColumnToContents(column);
    }
    m_books->setCurrentItem(current);
    FillContacts();
}

const SBookEntry* CRestoreBookDlg::Selected() const {
    const QList<QTreeWidgetItem*> items = m_books->selectedItems();
    const QTreeWidgetItem* item = items.size() == 1 ? items.front() : nullptr;
    if (!item || !item->data(kColWhen, kEntryRole).isValid()) {
        return nullptr;
    }
    const int index = item->data(kColWhen, kEntryRole).toInt();
    return index >= 0 && index < static_cast<int>(m_entries.size()) ? &m_entries[index] : nullptr;
}

void CRestoreBookDlg::ShowUnreadable(const QString& text) {
    auto* item = new QTreeWidgetItem(m_contacts, {text});
    // Selectable, so that the keys reach it and a screen reader reads it.
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setFirstColumnSpanned(true);
}

void CRestoreBookDlg::FillContacts() {
    m_contacts->clear();
    const SBookEntry* entry = Selected();
    m_restore->setEnabled(entry && entry->personal >= 0);
    if (!entry) {
        return;
    }
    CADODatabase book;
    CADORecordset personal(&book);
    CADORecordset groups(&book);
    if (entry->personal < 0 || !CBookHistory::OpenCopy(entry->path, book) ||
        !personal.Open(CContactsTable::kSelectPersonal) ||
        !personal.SortBy(CContactsTable::kSortByName) ||
        !groups.Open(CContactsTable::kSelectGroups) ||
        !groups.SortBy(CContactsTable::kSortByName)) {
        ShowUnreadable(QString::fromLatin1(kUnreadableText));
        m_restore->setEnabled(false);
        return;
    }
    static const char* const kFields[] = {"strFName", "strLName", "strWAddr", "strWEmail",
                                          "strHEmail"};
    auto* people = new QTreeWidgetItem(
        m_contacts, {QStringLiteral("Personal contacts (%1)").arg(personal.RowCount())});
    people->setFirstColumnSpanned(true);
    for (personal.MoveFirst(); !personal.IsEOF(); personal.MoveNext()) {
        QStringList texts;
        for (const char* field : kFields) {
            std::string text;
            personal.ReadText(field, text);
            texts << CQtText::ToQString(text);
        }
        new QTreeWidgetItem(people, texts);
    }
    auto* groupList =
        new QTreeWidgetItem(m_contacts, {QStringLiteral("Groups (%1)").arg(groups.RowCount())});
    groupList->setFirstColumnSpanned(true);
    for (groups.MoveFirst(); !groups.IsEOF(); groups.MoveNext()) {
        std::string name;
        groups.ReadText("strFName", name);
        new QTreeWidgetItem(groupList, {CQtText::ToQString(name)});
    }
    m_contacts->expandAll();
    for (int column = 0; column < m_contacts->columnCount(); ++column) {
        m_contacts->resizeColumnToContents(column);
    }
    m_contacts->setCurrentItem(people);
}

// --- Restore --------------------------------------------------------------------------------

void CRestoreBookDlg::OnRestore() {
    const SBookEntry* selected = Selected();
    if (!selected || selected->personal < 0) {
        return;
    }
    // The history may change under the restore (the current book joins it), so the entry is
    // held by value.
    const SBookEntry entry = *selected;
    if (CErrorReport::MessageBox().Prompt(CErrorReport::kPromptCaption, ConfirmText(entry)) !=
        IDYES) {
        return;
    }
    std::string error;
    if (m_restorer && m_restorer(entry, error)) {
        accept();
        return;
    }
    CErrorReport().Problem(error.empty() ? "The earlier book could not be restored." : error);
    FillBooks(entry.path);
}

}  // namespace orvex
