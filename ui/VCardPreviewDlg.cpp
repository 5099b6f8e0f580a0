#include "ui/VCardPreviewDlg.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <utility>

namespace orvex {

namespace {

// The card's number on its item; none on a problem or on the line of an empty file.
constexpr int kCardRole = Qt::UserRole;

// Texts longer than this carry a tool tip with the whole of them: the columns are capped and
// cut what is longer.
constexpr int kTipLength = 30;

// A text from the file: one line (a note may hold several), never markup.
QString OneLine(const QString& text) {
    QString line = text;
    for (QChar& c : line) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph) {
            c = QLatin1Char(' ');
        }
    }
    return line;
}

void SetText(QTreeWidgetItem* item, int column, const QString& text) {
    item->setText(column, text);
    if (text.size() > kTipLength) {
        // Escaped, so that a value that looks like markup shows as it is.
        item->setToolTip(column, QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
    }
}

QTreeWidgetItem* ProblemItem(const SVCardPreviewProblem& problem) {
    auto* item = new QTreeWidgetItem;
    SetText(item, CVCardPreviewDlg::kColName,
            QStringLiteral("%1: %2").arg(OneLine(problem.field), OneLine(problem.value)));
    SetText(item, CVCardPreviewDlg::kColStored,
            problem.proposal.isEmpty()
                ? QStringLiteral("left out")
                : QStringLiteral("stored as: %1").arg(OneLine(problem.proposal)));
    SetText(item, CVCardPreviewDlg::kColNotes, OneLine(problem.reason));
    return item;
}

}  // namespace

CVCardPreviewDlg::CVCardPreviewDlg(const QString& fileName, Builder build, QWidget* parent)
    : QDialog(parent), m_build(std::move(build)) {
    setWindowTitle(QStringLiteral("Import vCard"));
    CreateControls(fileName);
    Rebuild();
    FitToScreen();
}

bool CVCardPreviewDlg::Replace() const {
    return m_replace->isChecked();
}

bool CVCardPreviewDlg::KeepDuplicates() const {
    return !Replace() && m_keep->isChecked();
}

QString CVCardPreviewDlg::Notes(const SVCardPreviewCard& card) {
    QStringList notes;
    if (card.duplicate) {
        notes << (card.skipped ? QStringLiteral("duplicate: skipped")
                               : QStringLiteral("duplicate: kept"));
    } else if (card.skipped) {
        notes << QStringLiteral("skipped");
    }
    // What a skipped card would have lost does not matter.
    const int changed = static_cast<int>(card.problems.size());
    if (!card.skipped && changed > 0) {
        notes << (changed == 1 ? QStringLiteral("1 value changed or left out")
                               : QStringLiteral("%1 values changed or left out").arg(changed));
    }
    return notes.join(QStringLiteral("; "));
}

// --- Controls -------------------------------------------------------------------------------

int CVCardPreviewDlg::DluX(int units) const {
    // A quarter of the font's average letter width, as the program's other forms measure.
    const QFontMetrics metrics(font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (units * ((letters / 26 + 1) / 2) + 2) / 4;
}

int CVCardPreviewDlg::DluY(int units) const {
    return (units * QFontMetrics(font()).height() + 4) / 8;
}

void CVCardPreviewDlg::CreateControls(const QString& fileName) {
    const QString file = OneLine(fileName);
    auto* fileLine = new QLabel(this);
    fileLine->setTextFormat(Qt::PlainText);
    // A deep path must not make the dialog wider than the screen: its middle gives way.
    fileLine->setText(
        fontMetrics().elidedText(QStringLiteral("File: %1").arg(file), Qt::ElideMiddle, DluX(300)));
    fileLine->setAccessibleName(QStringLiteral("File: %1").arg(file));
    fileLine->setToolTip(file.toHtmlEscaped());

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setAccessibleName(QStringLiteral("Summary"));

    auto* listLabel = new QLabel(QStringLiteral("&Cards:"), this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("cards"));
    m_list->setAccessibleName(QStringLiteral("Cards"));
    m_list->setAccessibleDescription(
        QStringLiteral("A card's values that are changed or left out are listed under it"));
    m_list->setHeaderLabels({QStringLiteral("Card"), QStringLiteral("Name"),
                             QStringLiteral("What is stored"), QStringLiteral("Notes")});
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    // Thousands of cards: every row as high as the first spares measuring each.
    m_list->setUniformRowHeights(true);
    m_list->setWordWrap(false);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setMinimumSize(DluX(200), DluY(60));
    listLabel->setBuddy(m_list);

    m_add = new QRadioButton(QStringLiteral("&Add to the current contacts"), this);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setChecked(true);
    m_keep = new QCheckBox(QStringLiteral("&Keep the duplicates"), this);
    m_keep->setObjectName(QStringLiteral("keepDuplicates"));
    m_keep->setAccessibleDescription(
        QStringLiteral("Stores the cards that match a current contact as contacts of their own"));
    m_replace = new QRadioButton(QStringLiteral("&Replace the current contacts"), this);
    m_replace->setObjectName(QStringLiteral("replace"));

    m_import = new QPushButton(QStringLiteral("&Import"), this);
    m_import->setObjectName(QStringLiteral("import"));
    m_import->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setAutoDefault(false);
    for (QPushButton* button : {m_import, m_cancel}) {
        button->setMinimumSize(DluX(50), DluY(14));
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(DluX(7), DluY(7), DluX(7), DluY(7));
    layout->setSpacing(DluY(2));
    layout->addWidget(fileLine);
    layout->addWidget(m_summary);
    layout->addSpacing(DluY(4));
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addSpacing(DluY(4));

    // The duplicates belong to adding: the box stands under that choice, indented.
    auto* keepRow = new QHBoxLayout;
    keepRow->addSpacing(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                        style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing));
    keepRow->addWidget(m_keep);
    keepRow->addStretch(1);
    auto* choices = new QVBoxLayout;
    choices->setSpacing(DluY(2));
    choices->addWidget(m_add);
    choices->addLayout(keepRow);
    choices->addWidget(m_replace);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(DluX(4));
    bottom->addLayout(choices);
    bottom->addStretch(1);
    bottom->addWidget(m_import, 0, Qt::AlignBottom);
    bottom->addWidget(m_cancel, 0, Qt::AlignBottom);
    layout->addLayout(bottom);

    setTabOrder(m_list, m_add);
    setTabOrder(m_add, m_keep);
    setTabOrder(m_keep, m_replace);
    setTabOrder(m_replace, m_import);
    setTabOrder(m_import, m_cancel);
    m_list->setFocus(Qt::OtherFocusReason);

    // One signal per change of mode: the replace button turns on or off with every change.
    connect(m_replace, &QRadioButton::toggled, this, [this](bool replace) {
        m_keep->setEnabled(!replace);
        Rebuild();
    });
    connect(m_keep, &QCheckBox::toggled, this, &CVCardPreviewDlg::Rebuild);
    connect(m_import, &QPushButton::clicked, this, &CVCardPreviewDlg::OnImport);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// --- The list -------------------------------------------------------------------------------

void CVCardPreviewDlg::Rebuild() {
    // A large file takes a moment to go through again.
    const bool shown = isVisible();
    if (shown) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    Fill(m_build ? m_build(Replace(), KeepDuplicates()) : SVCardPreview{});
    if (shown) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void CVCardPreviewDlg::Fill(const SVCardPreview& preview) {
    // Where the user was: the same card, and the same line under it, once refilled.
    int card = -1;
    int line = -1;
    int column = 0;
    if (QTreeWidgetItem* current = m_list->currentItem()) {
        const QTreeWidgetItem* top = current->parent() ? current->parent() : current;
        const QVariant number = top->data(kColCard, kCardRole);
        card = number.isValid() ? number.toInt() : -1;
        line = current->parent() ? top->indexOfChild(current) : -1;
        column = std::max(0, m_list->currentColumn());
    }

    QStringList counts;
    for (const QString& count : preview.counts) {
        counts << OneLine(count);
    }
    m_summary->setText(counts.join(QLatin1Char('\n')));
    m_summary->setAccessibleDescription(m_summary->text());

    // One repaint and one layout for the lot, not one per card.
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    const QBrush grey = m_list->palette().brush(QPalette::Disabled, QPalette::Text);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(preview.cards.size()));
    for (const SVCardPreviewCard& entry : preview.cards) {
        auto* item = new QTreeWidgetItem;
        item->setText(kColCard, QString::number(entry.number));
        item->setData(kColCard, kCardRole, entry.number);
        item->setTextAlignment(kColCard, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(kColCard, QStringLiteral("Line %1 of the file").arg(entry.line));
        SetText(item, kColName, OneLine(entry.name));
        SetText(item, kColStored, OneLine(entry.stored));
        SetText(item, kColNotes, Notes(entry));
        QList<QTreeWidgetItem*> problems;
        problems.reserve(static_cast<qsizetype>(entry.problems.size()));
        for (const SVCardPreviewProblem& problem : entry.problems) {
            problems << ProblemItem(problem);
        }
        item->addChildren(problems);
        if (entry.skipped) {
            for (QTreeWidgetItem* row : QList<QTreeWidgetItem*>{item} + problems) {
                for (int c = 0; c < m_list->columnCount(); ++c) {
                    row->setForeground(c, grey);
                }
            }
        }
        items << item;
    }
    if (items.isEmpty()) {
        auto* item = new QTreeWidgetItem({QStringLiteral("No cards in this file.")});
        // Selectable, so that the keys reach it and a screen reader reads it.
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        items << item;
    }
    m_list->addTopLevelItems(items);
    if (preview.cards.empty()) {
        items.front()->setFirstColumnSpanned(true);
    }
    // What a skipped card would have lost stays folded away: nothing of it is stored.
    for (size_t i = 0; i < preview.cards.size(); ++i) {
        if (!preview.cards[i].skipped && !preview.cards[i].problems.empty()) {
            items[static_cast<qsizetype>(i)]->setExpanded(true);
        }
    }

    QTreeWidgetItem* current = items.front();
    for (QTreeWidgetItem* item : items) {
        if (card >= 0 && item->data(kColCard, kCardRole).toInt() == card) {
            current = line >= 0 && line < item->childCount() ? item->child(line) : item;
            break;
        }
    }
    m_list->setCurrentItem(current, column);
    m_list->setUpdatesEnabled(true);
    m_list->scrollToItem(current);
}

void CVCardPreviewDlg::FitColumns(int room) {
    // Within reason: a long summary or note is cut rather than push the rest out of sight.
    const int letter = m_list->fontMetrics().averageCharWidth();
    const int caps[] = {letter * 12, letter * 40, letter * 56, letter * 48};
    int total = 0;
    for (int column = 0; column < m_list->columnCount(); ++column) {
        m_list->resizeColumnToContents(column);
        m_list->setColumnWidth(column, std::min(m_list->columnWidth(column), caps[column]));
        total += m_list->columnWidth(column);
    }
    // On a small screen the long texts give way first, down to a readable start, so that the
    // notes stay in sight without scrolling sideways.
    const std::pair<int, int> yielding[] = {
        {kColStored, letter * 20}, {kColName, letter * 16}, {kColNotes, letter * 20}};
    for (const auto& [column, least] : yielding) {
        const int width = m_list->columnWidth(column);
        const int cut = std::clamp(total - room, 0, std::max(0, width - least));
        m_list->setColumnWidth(column, width - cut);
        total -= cut;
    }
}

void CVCardPreviewDlg::FitToScreen() {
    FitColumns(std::numeric_limits<int>::max());
    int columns = 0;
    for (int column = 0; column < m_list->columnCount(); ++column) {
        columns += m_list->columnWidth(column);
    }
    // What the list needs around its columns: its frame and a vertical scroll bar.
    const int chrome = 2 * m_list->frameWidth() +
                       m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_list);
    // About twenty rows, fewer when there are fewer.
    int rows = 0;
    for (QTreeWidgetItemIterator it(m_list); *it && rows < 20; ++it) {
        rows += (*it)->parent() == nullptr || (*it)->parent()->isExpanded() ? 1 : 0;
    }
    const int rowHeight = std::max(m_list->fontMetrics().height(), m_list->sizeHintForRow(0));
    const int listHeight = m_list->header()->sizeHint().height() + 2 * m_list->frameWidth() +
                           std::max(rows, 8) * rowHeight;

    // The controls stand one above the other: what is not the list adds to its height; the
    // width is the widest of them.
    const QMargins margins = layout()->contentsMargins();
    const QSize hint = sizeHint();
    QSize size(std::max(hint.width(), margins.left() + columns + chrome + margins.right()),
               std::max(hint.height(), hint.height() - m_list->sizeHint().height() + listHeight));
    // The window's frame comes on top; a tenth of the free area leaves room for it.
    if (const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen()) {
        size = size.boundedTo(where->availableGeometry().size() * 9 / 10);
    }
    size = size.expandedTo(minimumSizeHint());
    resize(size);
    FitColumns(size.width() - margins.left() - margins.right() - chrome);
}

void CVCardPreviewDlg::OnImport() {
    m_choice = Replace() ? EChoice::kReplace : EChoice::kAdd;
    accept();
}

}  // namespace orvex
