#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

#include "db/RowSource.h"

class QLabel;
class QModelIndex;
class QTableView;

namespace orvex {

class CRowSourceModel;

// A data-bound grid: a caption bar above a table of the rows of a recordset. The table's
// current row and the recordset's current row move together, whichever of the two moves.
// Offers the members a form drives a grid through: caption, data source, current row,
// refresh, and per column visibility, caption, width and alignment.
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

    int RowCount() const;
    // The current row (0-based), -1 when there is none.
    int Row() const;
    // Makes a row current, and with it the recordset's current row; a row outside the bound
    // rows changes nothing.
    void SetRow(int row);

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
    CRowSourceModel* Model() const { return m_model; }

  signals:
    // The user clicked a cell or a row's selector.
    void Click();
    // The user moved the current cell to another row or column (keyboard or mouse); a move
    // made by the program or by the recordset is not announced.
    void RowColChange(int previousRow, int previousColumn);

  private:
    void OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    // Puts the table's current row where the recordset's current row is.
    void FollowSource();
    void SelectRow(int row);
    int CurrentOrFirstVisibleColumn() const;

    QLabel* m_caption = nullptr;
    QTableView* m_table = nullptr;
    CRowSourceModel* m_model = nullptr;
    QSize m_preferred;
    // Set while the grid itself moves the table or the recordset, so that neither move is
    // mistaken for the user's nor echoed back.
    bool m_following = false;
};

}  // namespace orvex
