#include "ui/ContactsColumns.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <algorithm>
#include <cmath>

#include "ui/DataGrid.h"

namespace orvex {

using F = CContactFields;

namespace {

QString CaptionOf(F::EColumn column) {
    // The editor's labels of the phones stand under "Phone Number"; alone they need the word.
    switch (column) {
        case F::kHomePhone:
            return QStringLiteral("Home Phone");
        case F::kWorkPhone:
            return QStringLiteral("Work Phone");
        case F::kMobilePhone:
            return QStringLiteral("Mobile Phone");
        default:
            break;
    }
    const SContactField& field = F::Field(column);
    QString caption =
        QString::fromLatin1(field.gridCaption ? field.gridCaption : field.editorLabel);
    if (caption.endsWith(QLatin1Char(':'))) {
        caption.chop(1);
    }
    return caption;
}

}  // namespace

CContactsColumns::CContactsColumns(CDataGrid* grid, QObject* parent)
    : QObject(parent),
      m_grid(grid),
      m_columns{
          {F::kFirstName, 0.17, false, true, CDataGrid::kAlignLeft},
          {F::kLastName, 0.17, false, true, CDataGrid::kAlignLeft},
          {F::kWireless, 0.2, false, true, CDataGrid::kAlignLeft},
          {F::kWorkEmail, 0.2, false, true, CDataGrid::kAlignLeft},
          {F::kHomeEmail, 0.2, false, true, CDataGrid::kAlignLeft},
          {F::kDefaultAddress, 0.06, false, true, CDataGrid::kAlignCenter},
          {F::kCompany, 0.15, true, false, CDataGrid::kAlignLeft},
          {F::kHomePhone, 0.13, true, false, CDataGrid::kAlignLeft},
          {F::kWorkPhone, 0.13, true, false, CDataGrid::kAlignLeft},
          {F::kMobilePhone, 0.13, true, false, CDataGrid::kAlignLeft},
          {F::kFax, 0.13, true, false, CDataGrid::kAlignLeft},
          {F::kCity, 0.13, true, false, CDataGrid::kAlignLeft},
      } {
    QTableView* table = m_grid->Table();
    QHeaderView* header = table->horizontalHeader();
    m_tableViewport = table->viewport();
    m_headerViewport = header->viewport();
    connect(m_grid, &CDataGrid::Destroying, this, [this] {
        m_tableViewport->removeEventFilter(this);
        m_headerViewport->removeEventFilter(this);
        m_grid = nullptr;
    });
    header->setMinimumSectionSize(header->fontMetrics().averageCharWidth() * 3);
    connect(header, &QHeaderView::sectionResized, this, &CContactsColumns::OnSectionResized);
    header->viewport()->installEventFilter(this);
    // The scroll bar coming or going changes the width to fill.
    table->viewport()->installEventFilter(this);
    // The header's menu, by the mouse on the header or by the menu key in the table.
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint& at) { ShowMenu(header->mapToGlobal(at)); });
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this,
            [this, table](const QPoint& at) { ShowMenu(table->viewport()->mapToGlobal(at)); });
    // Shift+F10, the other key for a menu, which the toolkit leaves to the program.
    auto* key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), table);
    key->setContext(Qt::WidgetShortcut);
    connect(key, &QShortcut::activated, this, [this, table] {
        const QRect cell = table->visualRect(table->currentIndex());
        ShowMenu(table->viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint()));
    });
}

std::vector<int> CContactsColumns::SearchedColumns() {
    return {F::kFirstName, F::kLastName,  F::kWireless,  F::kWorkEmail,   F::kHomeEmail,
            F::kCompany,   F::kHomePhone, F::kWorkPhone, F::kMobilePhone, F::kFax,
            F::kStreet,    F::kCity,      F::kState,     F::kZip,         F::kNote};
}

CContactsColumns::SColumn* CContactsColumns::Find(int column) {
    for (SColumn& c : m_columns) {
        if (c.column == column) {
            return &c;
        }
    }
    return nullptr;
}

int CContactsColumns::VisibleWidth() const {
    QTableView* table = m_grid->Table();
    if (table->isVisible()) {
        return table->viewport()->width();
    }
    // Not laid out yet: what the viewport will have inside the grid's border.
    int width = m_grid->ClientWidth();
    if (!table->verticalHeader()->isHidden()) {
        width -= table->verticalHeader()->sizeHint().width();
    }
    return std::max(0, width);
}

void CContactsColumns::Apply() {
    if (!m_grid || m_grid->ColumnCount() == 0) {
        return;
    }
    m_applying = true;
    for (int c = 0; c < m_grid->ColumnCount(); ++c) {
        const SColumn* column = Find(c);
        m_grid->SetColumnVisible(c, column && column->shown);
    }
    double shares = 0.0;
    std::vector<const SColumn*> shown;
    for (const SColumn& column : m_columns) {
        if (column.shown) {
            shares += column.share;
            shown.push_back(&column);
        }
    }
    // Each its share of the width, but none narrower than the header allows; what rounding
    // leaves goes to the last, what the narrow ones took beyond their share comes from the
    // widest, so that the columns end at the edge.
    const int total = VisibleWidth();
    const int least = m_grid->Table()->horizontalHeader()->minimumSectionSize();
    std::vector<int> widths;
    int used = 0;
    for (const SColumn* column : shown) {
        widths.push_back(
            std::max(least, static_cast<int>(std::floor(total * column->share / shares))));
        used += widths.back();
    }
    if (!widths.empty() && used < total) {
        widths.back() += total - used;
    }
    while (used > total) {
        auto widest = std::max_element(widths.begin(), widths.end());
        if (*widest <= least) {
            break;  // too narrow for all of them: the table scrolls sideways
        }
        const int taken = std::min(used - total, *widest - least);
        *widest -= taken;
        used -= taken;
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        m_grid->SetColumnCaption(shown[i]->column, CaptionOf(shown[i]->column));
        m_grid->SetColumnAlignment(shown[i]->column, shown[i]->alignment);
        m_grid->SetColumnWidth(shown[i]->column, static_cast<float>(widths[i]));
    }
    m_applying = false;
}

void CContactsColumns::Rebind(const std::function<void()>& bind) {
    m_rebinding = true;
    bind();
    m_rebinding = false;
}

void CContactsColumns::SetShown(F::EColumn column, bool shown) {
    SColumn* c = Find(column);
    if (c && c->optional && c->shown != shown) {
        c->shown = shown;
        Apply();
    }
}

void CContactsColumns::OnSectionResized(int section, int oldSize, int newSize) {
    if (m_applying || m_rebinding || !m_grid) {
        return;
    }
    // A drag by the user: the shown columns to the right give or take the difference in
    // proportion to their widths, so that the dragged one follows the pointer.
    QHeaderView* header = m_grid->Table()->horizontalHeader();
    std::vector<int> right;
    int rightWidth = 0;
    for (const SColumn& column : m_columns) {
        if (column.shown && column.column > section) {
            right.push_back(column.column);
            rightWidth += header->sectionSize(column.column);
        }
    }
    const int delta = newSize - oldSize;
    m_applying = true;
    int given = 0;
    for (size_t i = 0; i < right.size() && rightWidth > 0; ++i) {
        const int width = header->sectionSize(right[i]);
        const int share = i + 1 == right.size()
                              ? delta - given
                              : static_cast<int>(std::lround(double(delta) * width / rightWidth));
        const int next = std::max(header->minimumSectionSize(), width - share);
        given += width - next;
        header->resizeSection(right[i], next);
    }
    m_applying = false;
    // What the others could not give (or the last column's own drag) is evened out when the
    // button is let go.
    m_refitOnRelease = given != delta;
    TakeSharesFromWidths();
}

void CContactsColumns::TakeSharesFromWidths() {
    QHeaderView* header = m_grid->Table()->horizontalHeader();
    int total = 0;
    for (const SColumn& column : m_columns) {
        if (column.shown) {
            total += header->sectionSize(column.column);
        }
    }
    if (total <= 0) {
        return;
    }
    for (SColumn& column : m_columns) {
        if (column.shown) {
            column.share = std::max(0.01, double(header->sectionSize(column.column)) / total);
        }
    }
}

bool CContactsColumns::eventFilter(QObject* watched, QEvent* event) {
    if (!m_grid) {
        return false;
    }
    if (watched == m_tableViewport && event->type() == QEvent::Resize) {
        Apply();
    } else if (watched == m_headerViewport && event->type() == QEvent::MouseButtonRelease &&
               m_refitOnRelease) {
        m_refitOnRelease = false;
        Apply();
    }
    return QObject::eventFilter(watched, event);
}

QByteArray CContactsColumns::State() const {
    // "column:share:shown" for each column, separated by spaces: readable, and safe to
    // read back from a file that someone edited.
    QByteArray state;
    for (const SColumn& column : m_columns) {
        if (!state.isEmpty()) {
            state += ' ';
        }
        state += QByteArray::number(column.column) + ':' +
                 QByteArray::number(column.share, 'f', 4) + ':' + (column.shown ? '1' : '0');
    }
    return state;
}

bool CContactsColumns::Restore(const QByteArray& state) {
    std::vector<SColumn> columns = m_columns;
    const QList<QByteArray> items = state.split(' ');
    if (state.isEmpty() || static_cast<size_t>(items.size()) != columns.size()) {
        return false;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        const QList<QByteArray> parts = items[static_cast<qsizetype>(i)].split(':');
        bool number = false;
        bool real = false;
        if (parts.size() != 3 || parts[0].toInt(&number) != columns[i].column || !number) {
            return false;
        }
        const double share = parts[1].toDouble(&real);
        if (!real || !(share > 0.0 && share <= 1.0) || (parts[2] != "0" && parts[2] != "1")) {
            return false;
        }
        columns[i].share = share;
        // The six first columns are always shown.
        columns[i].shown = !columns[i].optional || parts[2] == "1";
    }
    m_columns = columns;
    Apply();
    return true;
}

QMenu* CContactsColumns::CreateMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const SColumn& column : m_columns) {
        if (!column.optional) {
            continue;
        }
        QAction* action = menu->addAction(CaptionOf(column.column));
        action->setCheckable(true);
        action->setChecked(column.shown);
        const F::EColumn which = column.column;
        connect(action, &QAction::toggled, this,
                [this, which](bool shown) { SetShown(which, shown); });
    }
    menu->addSeparator();
    QMenu* sort = menu->addMenu(tr("Sort By"));
    auto addSort = [this, sort](const QString& text, int column) {
        QAction* action = sort->addAction(text);
        action->setCheckable(true);
        action->setChecked(m_grid->SortColumn() == column);
        connect(action, &QAction::triggered, this, [this, column] {
            // The column sorted by already is turned round, as a second click on it does.
            const bool again = column >= 0 && m_grid->SortColumn() == column &&
                               m_grid->SortOrder() == Qt::AscendingOrder;
            m_grid->SetSort(column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
        });
    };
    addSort(tr("Name Order"), -1);
    for (const SColumn& column : m_columns) {
        if (column.shown) {
            addSort(CaptionOf(column.column), column.column);
        }
    }
    return menu;
}

void CContactsColumns::ShowMenu(const QPoint& globalPos) {
    if (!m_grid || !m_grid->isEnabled()) {
        return;
    }
    QMenu* menu = CreateMenu(m_grid);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

}  // namespace orvex
