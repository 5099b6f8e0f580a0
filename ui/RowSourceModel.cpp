#include "ui/RowSourceModel.h"

#include "ui/QtText.h"

namespace orvex {

namespace {

constexpr Qt::Alignment kDefaultAlignment = Qt::AlignLeft | Qt::AlignVCenter;

}  // namespace

CRowSourceModel::CRowSourceModel(QObject* parent) : QAbstractTableModel(parent) {}

CRowSourceModel::~CRowSourceModel() {
    if (m_source) {
        m_source->RemoveListener(this);
    }
}

void CRowSourceModel::SetSource(std::shared_ptr<IRowSource> source) {
    beginResetModel();
    if (m_source) {
        m_source->RemoveListener(this);
    }
    m_source = std::move(source);
    if (m_source) {
        m_source->AddListener(this);
    }
    ReadShape();
    endResetModel();
}

void CRowSourceModel::Refresh() {
    beginResetModel();
    const std::vector<QString> captions = m_captions;
    const std::vector<Qt::Alignment> alignments = m_alignments;
    ReadShape();
    // The column settings belong to the binding, not to the rows: a refresh keeps them.
    if (captions.size() == m_captions.size()) {
        m_captions = captions;
        m_alignments = alignments;
    }
    endResetModel();
}

void CRowSourceModel::ReadShape() {
    m_rows = m_source ? m_source->Rows() : 0;
    m_columns = m_source ? m_source->Columns() : 0;
    m_captions.clear();
    m_alignments.assign(static_cast<size_t>(m_columns), kDefaultAlignment);
    for (int c = 0; c < m_columns; ++c) {
        m_captions.push_back(CQtText::ToQString(m_source->ColumnName(c)));
    }
}

int CRowSourceModel::CurrentRow() const {
    if (!m_source) {
        return -1;
    }
    const int row = m_source->CurrentRow();
    return row >= 0 && row < m_rows ? row : -1;
}

void CRowSourceModel::SetCurrentRow(int row) {
    if (m_source && row >= 0 && row < m_rows) {
        m_source->SetCurrentRow(row);
    }
}

void CRowSourceModel::SetColumnCaption(int column, const QString& caption) {
    if (column >= 0 && column < m_columns) {
        m_captions[static_cast<size_t>(column)] = caption;
        emit headerDataChanged(Qt::Horizontal, column, column);
    }
}

QString CRowSourceModel::ColumnCaption(int column) const {
    return column >= 0 && column < m_columns ? m_captions[static_cast<size_t>(column)] : QString();
}

void CRowSourceModel::SetColumnAlignment(int column, Qt::Alignment alignment) {
    if (column >= 0 && column < m_columns) {
        m_alignments[static_cast<size_t>(column)] = alignment;
        if (m_rows > 0) {
            emit dataChanged(index(0, column), index(m_rows - 1, column), {Qt::TextAlignmentRole});
        }
    }
}

Qt::Alignment CRowSourceModel::ColumnAlignment(int column) const {
    return column >= 0 && column < m_columns ? m_alignments[static_cast<size_t>(column)]
                                             : kDefaultAlignment;
}

int CRowSourceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int CRowSourceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant CRowSourceModel::data(const QModelIndex& index, int role) const {
    if (!m_source || !index.isValid() || index.row() >= m_rows || index.column() >= m_columns) {
        return QVariant();
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return CQtText::ToQString(m_source->Text(index.row(), index.column()));
        case Qt::TextAlignmentRole:
            return static_cast<int>(m_alignments[static_cast<size_t>(index.column())]);
        default:
            return QVariant();
    }
}

QVariant CRowSourceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section >= 0 && section < m_columns) {
        // The alignment is the cells'; the headings keep the header's own.
        return role == Qt::DisplayRole ? QVariant(m_captions[static_cast<size_t>(section)])
                                       : QVariant();
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags CRowSourceModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CRowSourceModel::OnRowsChanged() {
    // Rows were added, removed, changed or reordered: the attached views read everything
    // again. The column settings stay, as long as the columns are the same.
    Refresh();
}

void CRowSourceModel::OnPositionChanged(int row) {
    emit CurrentRowChanged(row >= 0 && row < m_rows ? row : -1);
}

}  // namespace orvex
