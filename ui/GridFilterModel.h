#pragma once

#include <QSortFilterProxyModel>
#include <string>
#include <vector>

namespace orvex {

class CRowSourceModel;

// What a grid shows of its rows: those that contain the find text in one of the searched
// columns, in the order of a clicked column or in the rows' own order. Texts are compared as
// the recordset sorts them: Windows-1252 letters without regard to their case, so "é" finds
// "É" and "E" does not. Ties keep the rows' own order, whichever way a column is sorted.
class CGridFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit CGridFilterModel(CRowSourceModel* rows, QObject* parent = nullptr);

    // The text the shown rows must contain; empty shows every row.
    void SetFindText(const QString& text);
    const QString& FindText() const { return m_findText; }
    // The columns the find text is looked for in; none searches every column.
    void SetSearchedColumns(std::vector<int> columns);

    // The rows' selectors are numbered as shown, 1 to the number shown, as the status line
    // counts them.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    std::string FoldedText(int row, int column) const;

    CRowSourceModel* m_rows;
    QString m_findText;
    // The find text as the folded Windows-1252 bytes the rows are compared in.
    std::string m_needle;
    std::vector<int> m_columns;
};

}  // namespace orvex
