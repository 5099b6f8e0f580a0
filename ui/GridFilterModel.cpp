#include "ui/GridFilterModel.h"

#include "db/Win1252.h"
#include "ui/QtText.h"
#include "ui/RowSourceModel.h"

namespace orvex {

CGridFilterModel::CGridFilterModel(CRowSourceModel* rows, QObject* parent)
    : QSortFilterProxyModel(parent), m_rows(rows) {
    setSourceModel(rows);
    // The rows' own order until a column is clicked.
    setDynamicSortFilter(false);
}

void CGridFilterModel::SetFindText(const QString& text) {
    if (text == m_findText) {
        return;
    }
    m_findText = text;
    std::string bytes;
    // A character Windows-1252 has not becomes '?', which no stored letter matches by chance
    // more than any other.
    CQtText::FromQString(text, bytes);
    m_needle = CWin1252::Folded(bytes);
    invalidateFilter();
}

void CGridFilterModel::SetSearchedColumns(std::vector<int> columns) {
    m_columns = std::move(columns);
    invalidateFilter();
}

QVariant CGridFilterModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) {
        return section + 1;
    }
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

std::string CGridFilterModel::FoldedText(int row, int column) const {
    const auto& source = m_rows->Source();
    if (!source || row < 0 || row >= source->Rows() || column < 0 || column >= source->Columns()) {
        return {};
    }
    return CWin1252::Folded(source->Text(row, column));
}

bool CGridFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& /*sourceParent*/) const {
    if (m_needle.empty()) {
        return true;
    }
    const int columns = m_rows->columnCount();
    auto contains = [&](int column) {
        return FoldedText(sourceRow, column).find(m_needle) != std::string::npos;
    };
    if (m_columns.empty()) {
        for (int c = 0; c < columns; ++c) {
            if (contains(c)) {
                return true;
            }
        }
        return false;
    }
    for (int c : m_columns) {
        if (contains(c)) {
            return true;
        }
    }
    return false;
}

bool CGridFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // Equal texts are never "less": the stable sort then keeps the rows' own order.
    return FoldedText(left.row(), left.column()) < FoldedText(right.row(), right.column());
}

}  // namespace orvex
