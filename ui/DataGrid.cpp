#include "ui/DataGrid.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/FocusMark.h"
#include "ui/GridFilterModel.h"
#include "ui/RowSourceModel.h"

namespace orvex {

namespace {

Qt::Alignment ToQt(int alignment) {
    switch (alignment) {
        case CDataGrid::kAlignRight:
            return Qt::AlignRight | Qt::AlignVCenter;
        case CDataGrid::kAlignCenter:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

}  // namespace

CDataGrid::CDataGrid(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_caption = new QLabel(this);
    m_caption->setObjectName("gridCaption");
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_caption->setAutoFillBackground(true);
    m_caption->setBackgroundRole(QPalette::Button);
    m_caption->setForegroundRole(QPalette::ButtonText);
    m_caption->hide();
    layout->addWidget(m_caption);

    m_findBar = new QWidget(this);
    auto* findLayout = new QHBoxLayout(m_findBar);
    const int gap = fontMetrics().averageCharWidth() / 2 + 1;
    findLayout->setContentsMargins(gap, gap, gap, gap);
    findLayout->setSpacing(gap * 2);
    m_findLabel = new QLabel(m_findBar);
    m_find = new QLineEdit(m_findBar);
    m_find->setObjectName("gridFind");
    m_find->setClearButtonEnabled(true);
    m_find->installEventFilter(this);
    m_findLabel->setBuddy(m_find);
    findLayout->addWidget(m_findLabel);
    findLayout->addWidget(m_find, 1);
    m_findBar->hide();
    layout->addWidget(m_findBar);

    m_model = new CRowSourceModel(this);
    m_filter = new CGridFilterModel(m_model, this);
    m_table = new QTableView(this);
    m_table->setObjectName("gridTable");
    m_table->setModel(m_filter);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    // Rows change only through the form's editor, never inside the grid.
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionsMovable(false);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    layout->addWidget(m_table, 1);
    CFocusMark::Apply(m_table);
    m_caption->setBuddy(m_table);
    setFocusProxy(m_table);

    connect(m_table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CDataGrid::OnCurrentChanged);
    connect(m_model, &CRowSourceModel::CurrentRowChanged, this, [this](int) {
        if (!m_following) {
            FollowSource();
        }
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_following) {
            FollowSource();
        }
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CDataGrid::OnHeaderClicked);
    connect(m_find, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter->SetFindText(text);
        KeepCurrentShown();
    });
    connect(m_table, &QAbstractItemView::clicked, this,
            [this](const QModelIndex&) { emit Click(); });
    // The table makes the row current itself when its selector is pressed.
    connect(m_table->verticalHeader(), &QHeaderView::sectionClicked, this,
            [this](int) { emit Click(); });
}

CDataGrid::~CDataGrid() {
    emit Destroying();
}

void CDataGrid::SetCaption(const QString& caption) {
    m_caption->setText(caption);
    m_caption->setVisible(!caption.isEmpty());
    m_table->setAccessibleName(caption);
}

QString CDataGrid::Caption() const {
    return m_caption->text();
}

void CDataGrid::SetDataSource(std::shared_ptr<IRowSource> source) {
    m_following = true;
    m_model->SetSource(std::move(source));
    QHeaderView* header = m_table->horizontalHeader();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        header->setSectionHidden(c, false);
        header->resizeSection(c, header->defaultSectionSize());
    }
    m_following = false;
    FollowSource();
}

std::shared_ptr<IRowSource> CDataGrid::DataSource() const {
    return m_model->Source();
}

void CDataGrid::Refresh() {
    m_following = true;
    m_model->Refresh();
    m_following = false;
    FollowSource();
}

int CDataGrid::RowCount() const {
    return m_filter->rowCount();
}

int CDataGrid::Row() const {
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid()) {
        return -1;
    }
    // The table's cursor may be left on a row the recordset no longer stands on.
    return RecordsetRow(current.row()) == m_model->CurrentRow() ? current.row() : -1;
}

void CDataGrid::SetRow(int row) {
    if (row < 0 || row >= m_filter->rowCount()) {
        return;
    }
    m_following = true;
    SelectRow(row);
    m_model->SetCurrentRow(RecordsetRow(row));
    m_following = false;
}

int CDataGrid::ShownRow(int recordsetRow) const {
    if (recordsetRow < 0 || recordsetRow >= m_model->rowCount()) {
        return -1;
    }
    const QModelIndex shown = m_filter->mapFromSource(m_model->index(recordsetRow, 0));
    return shown.isValid() ? shown.row() : -1;
}

int CDataGrid::RecordsetRow(int shownRow) const {
    if (shownRow < 0 || shownRow >= m_filter->rowCount()) {
        return -1;
    }
    return m_filter->mapToSource(m_filter->index(shownRow, 0)).row();
}

void CDataGrid::ShowFindField(const QString& label, std::vector<int> columns) {
    m_findLabel->setText(label);
    QString name = QString(label).remove('&');
    if (name.endsWith(':')) {
        name.chop(1);
    }
    m_find->setAccessibleName(name);
    m_filter->SetSearchedColumns(std::move(columns));
    m_findBar->show();
    // Ctrl+F anywhere in the window; only while the grid can be used (not while editing).
    auto* shortcut = new QShortcut(QKeySequence::Find, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (isEnabled() && isVisible()) {
            m_find->setFocus(Qt::ShortcutFocusReason);
            m_find->selectAll();
        }
    });
}

void CDataGrid::SetFindText(const QString& text) {
    m_find->setText(text);
}

QString CDataGrid::FindText() const {
    return m_find->text();
}

void CDataGrid::SetSort(int column, Qt::SortOrder order) {
    QHeaderView* header = m_table->horizontalHeader();
    if (column < 0 || column >= m_model->columnCount()) {
        m_sortColumn = -1;
        m_sortOrder = Qt::AscendingOrder;
        header->setSortIndicatorShown(false);
        m_filter->sort(-1);
    } else {
        m_sortColumn = column;
        m_sortOrder = order;
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, order);
        m_filter->sort(column, order);
    }
    KeepCurrentShown();
}

void CDataGrid::OnHeaderClicked(int column) {
    if (column != m_sortColumn) {
        SetSort(column, Qt::AscendingOrder);
    } else if (m_sortOrder == Qt::AscendingOrder) {
        SetSort(column, Qt::DescendingOrder);
    } else {
        SetSort(-1, Qt::AscendingOrder);
    }
}

void CDataGrid::KeepCurrentShown() {
    m_following = true;
    const int shown = ShownRow(m_model->CurrentRow());
    if (shown >= 0) {
        SelectRow(shown);
    } else if (m_filter->rowCount() > 0) {
        SelectRow(0);
        m_model->SetCurrentRow(RecordsetRow(0));
    } else {
        m_table->selectionModel()->clear();
    }
    m_following = false;
    emit ShownRowsChange();
}

bool CDataGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_find && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_find->text().isEmpty()) {
        m_find->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

int CDataGrid::ColumnCount() const {
    return m_model->columnCount();
}

void CDataGrid::SetColumnVisible(int column, bool visible) {
    if (column >= 0 && column < m_model->columnCount()) {
        m_table->horizontalHeader()->setSectionHidden(column, !visible);
        // The current cell never stays in a hidden column.
        if (!visible && m_table->currentIndex().column() == column) {
            SelectRow(Row());
        }
    }
}

bool CDataGrid::IsColumnVisible(int column) const {
    return column >= 0 && column < m_model->columnCount() &&
           !m_table->horizontalHeader()->isSectionHidden(column);
}

void CDataGrid::SetColumnCaption(int column, const QString& caption) {
    m_model->SetColumnCaption(column, caption);
}

QString CDataGrid::ColumnCaption(int column) const {
    return m_model->ColumnCaption(column);
}

void CDataGrid::SetColumnWidth(int column, float width) {
    if (column >= 0 && column < m_model->columnCount() && width >= 0.0F) {
        m_table->horizontalHeader()->resizeSection(column, static_cast<int>(std::lround(width)));
    }
}

int CDataGrid::ColumnWidth(int column) const {
    return m_table->horizontalHeader()->sectionSize(column);
}

void CDataGrid::SetColumnAlignment(int column, int alignment) {
    m_model->SetColumnAlignment(column, ToQt(alignment));
}

int CDataGrid::ColumnAlignment(int column) const {
    const Qt::Alignment alignment = m_model->ColumnAlignment(column);
    if (alignment & Qt::AlignRight) {
        return kAlignRight;
    }
    return alignment & Qt::AlignHCenter ? kAlignCenter : kAlignLeft;
}

int CDataGrid::ClientWidth() const {
    // The grid's own width stands for the table's, which fills it from edge to edge; it is
    // right even before the table has been laid out.
    return std::max(0, width() - 2 * m_table->frameWidth());
}

void CDataGrid::SetPreferredSize(const QSize& size) {
    m_preferred = size;
    updateGeometry();
}

QSize CDataGrid::sizeHint() const {
    return m_preferred.isValid() ? m_preferred : QWidget::sizeHint();
}

void CDataGrid::OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (m_following || !current.isValid()) {
        return;
    }
    const int row = RecordsetRow(current.row());
    if (row != m_model->CurrentRow()) {
        m_following = true;
        m_model->SetCurrentRow(row);
        m_following = false;
    }
    if (current.row() != previous.row() || current.column() != previous.column()) {
        emit RowColChange(previous.isValid() ? previous.row() : -1,
                          previous.isValid() ? previous.column() : -1);
    }
}

void CDataGrid::FollowSource() {
    m_following = true;
    const int row = ShownRow(m_model->CurrentRow());
    if (row >= 0) {
        SelectRow(row);
    } else {
        m_table->selectionModel()->clear();
    }
    m_following = false;
}

void CDataGrid::SelectRow(int row) {
    if (row < 0 || row >= m_filter->rowCount()) {
        return;
    }
    const bool was = m_following;
    m_following = true;
    const QModelIndex index = m_filter->index(row, CurrentOrFirstVisibleColumn());
    m_table->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->scrollTo(index);
    m_following = was;
}

int CDataGrid::CurrentOrFirstVisibleColumn() const {
    const QModelIndex current = m_table->currentIndex();
    if (current.isValid() && IsColumnVisible(current.column())) {
        return current.column();
    }
    for (int c = 0; c < m_model->columnCount(); ++c) {
        if (IsColumnVisible(c)) {
            return c;
        }
    }
    return 0;
}

}  // namespace orvex
