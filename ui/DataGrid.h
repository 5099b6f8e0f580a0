#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "db/RowSource.h"

class QLabel;
class QLineEdit;
class QModelIndex;
class QTableView;

namespace orvex {

class CGridFilterModel;
class CRowSourceModel;

// A data-bound grid: a caption bar above a table of the rows of a recordset. The table's
// current row and the recordset's current row move together, whichever of the two moves.
// Offers the members a form drives a grid through: caption, data source, current row,
// refresh, and per column visibility, caption, width and alignment.
//
// The rows shown may be fewer than the recordset's (a find field narrows them) and in another
// order (a click on a column's header sorts by it, a second reverses, a third returns to the
// recordset's order). Rows are always counted as shown; the recordset's current row is the
// one under the table's cursor.
class CDataGrid : public QWidget {
    Q_OBJECT
  public:
    // Column alignments as the form gives them.
    enum EAlignment { kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2 };

    explicit CDataGrid(QWidget* parent = nullptr);
    ~CDataGrid() override;
    CDataGrid(const CDataGrid&) = delete;
    CDataGrid& operator=(const CDataGrid&) = delete;

    // The grid's title, shown above the rows and used as the table's accessible name.
    void SetCaption(const QString& caption);
    QString Caption() const;

    // Binds the grid to the rows of a recordset; null unbinds it. A new binding starts with
    // every column visible, titled with its field name, at the default width, left-aligned.
    void SetDataSource(std::shared_ptr<IRowSource> source);
    std::shared_ptr<IRowSource> DataSource() const;
    // Reads the bound rows again.
    void Refresh();

    // The rows shown.
    int RowCount() const;
    // The current row as shown (0-based), -1 when there is none or the recordset's current
    // row is not among those shown.
    int Row() const;
    // Makes a shown row current, and with it the recordset's row it shows; a row outside the
    // shown rows changes nothing.
    void SetRow(int row);
    // The shown row of a recordset row, -1 when it is not shown; and the reverse.
    int ShownRow(int recordsetRow) const;
    int RecordsetRow(int shownRow) const;

    // The find field above the table, hidden until a form gives it its label and the columns
    // it searches (none: all). Typing narrows the rows as it goes; Esc in it clears it.
    void ShowFindField(const QString& label, std::vector<int> columns);
    void SetFindText(const QString& text);
    QString FindText() const;
    QLineEdit* FindField() const { return m_find; }

    // The order of the rows: by a column, or by the recordset's own order (column -1).
    void SetSort(int column, Qt::SortOrder order);
    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }

    int ColumnCount() const;
    void SetColumnVisible(int column, bool visible);
    bool IsColumnVisible(int column) const;
    void SetColumnCaption(int column, const QString& caption);
    QString ColumnCaption(int column) const;
    // Widths are in pixels, the grid's own unit; fractions are rounded.
    void SetColumnWidth(int column, float width);
    int ColumnWidth(int column) const;
    void SetColumnAlignment(int column, int alignment);
    int ColumnAlignment(int column) const;

    // The width inside the table's border, headers and scroll bar included.
    int ClientWidth() const;

    // The size the grid asks for in the form's arrangement.
    void SetPreferredSize(const QSize& size);
    QSize sizeHint() const override;

    QTableView* Table() const { return m_table; }
    // The recordset's rows, all of them in its order.
    CRowSourceModel* Model() const { return m_model; }
    // The rows as shown.
    CGridFilterModel* ShownModel() const { return m_filter; }

  signals:
    // The user clicked a cell or a row's selector.
    void Click();
    // The user moved the current cell to another row or column (keyboard or mouse); a move
    // made by the program or by the recordset is not announced.
    void RowColChange(int previousRow, int previousColumn);
    // The rows shown changed through the find field or a sort; the current row may have
    // moved to the first one shown, or there may be none.
    void ShownRowsChange();
    // The grid is being destroyed: its parts still send events while they go, but the grid
    // can no longer be called.
    void Destroying();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    // Puts the table's current row where the recordset's current row is.
    void FollowSource();
    void SelectRow(int row);
    int CurrentOrFirstVisibleColumn() const;
    // A click on a column's header: ascending, descending, then the recordset's order.
    void OnHeaderClicked(int column);
    // After the shown rows changed: the recordset's current row if shown, else the first.
    void KeepCurrentShown();

    QLabel* m_caption = nullptr;
    QTableView* m_table = nullptr;
    CRowSourceModel* m_model = nullptr;
    CGridFilterModel* m_filter = nullptr;
    QWidget* m_findBar = nullptr;
    QLabel* m_findLabel = nullptr;
    QLineEdit* m_find = nullptr;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QSize m_preferred;
    // Set while the grid itself moves the table or the recordset, so that neither move is
    // mistaken for the user's nor echoed back.
    bool m_following = false;
};

}  // namespace orvex
