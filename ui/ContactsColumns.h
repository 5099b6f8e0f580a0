#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <vector>

#include "contact/ContactFields.h"

class QMenu;
class QPoint;

namespace orvex {

class CDataGrid;

// The columns of the contacts grid: the six always shown (first and last name, the three
// addresses, the default address) and those the user may add from the header's menu (company,
// phones, city). The shown columns share the grid's visible width in their ratios, 17 : 17 :
// 20 : 20 : 20 : 6 at first; a column the user drags wider takes its width from those to its
// right, and the new ratios hold when the grid is resized.
class CContactsColumns : public QObject {
    Q_OBJECT
  public:
    struct SColumn {
        CContactFields::EColumn column;
        double share;
        bool optional;
        bool shown;
        int alignment;
    };

    explicit CContactsColumns(CDataGrid* grid, QObject* parent = nullptr);

    // Hides every other column of the table, titles and aligns the shown ones and spreads
    // them over the visible width.
    void Apply();
    // Binds the grid to its rows afresh (bind). The table gives its columns default widths on
    // the way, which are no drag of the user's: the shares stay for the next Apply.
    void Rebind(const std::function<void()>& bind);
    const std::vector<SColumn>& Columns() const { return m_columns; }
    // Shows or hides one of the optional columns; the six others always stay.
    void SetShown(CContactFields::EColumn column, bool shown);
    // The columns searched by the grid's find field: every text a contact shows.
    static std::vector<int> SearchedColumns();

    QByteArray State() const;
    // An unreadable state, or one of columns this grid does not have, changes nothing.
    bool Restore(const QByteArray& state);

    // The header's menu: the optional columns to tick, and the orders to sort by.
    QMenu* CreateMenu(QWidget* parent);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnSectionResized(int section, int oldSize, int newSize);
    // The shares of the shown columns from their widths now.
    void TakeSharesFromWidths();
    void ShowMenu(const QPoint& globalPos);
    int VisibleWidth() const;
    SColumn* Find(int column);

    // Null once the grid is being destroyed.
    CDataGrid* m_grid;
    // The parts whose events the columns follow, known without asking the grid.
    QObject* m_tableViewport;
    QObject* m_headerViewport;
    std::vector<SColumn> m_columns;
    // Set while the columns are being placed, so that the sizes set are not taken for a drag.
    bool m_applying = false;
    // Set while the grid is bound afresh, for the same reason.
    bool m_rebinding = false;
    // A drag of the last shown column went past the edge or stopped short of it.
    bool m_refitOnRelease = false;
};

}  // namespace orvex
