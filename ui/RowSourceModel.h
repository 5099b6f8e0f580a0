#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <memory>
#include <vector>

#include "db/RowSource.h"

namespace orvex {

// The rows of a recordset as a Qt table model. It follows the source: rows that change in the
// recordset reset the model, and a move of the recordset's current row is passed on as
// CurrentRowChanged. The cells are read-only; rows change only through the recordset.
class CRowSourceModel : public QAbstractTableModel, public IRowSourceListener {
    Q_OBJECT
  public:
    explicit CRowSourceModel(QObject* parent = nullptr);
    ~CRowSourceModel() override;
    CRowSourceModel(const CRowSourceModel&) = delete;
    CRowSourceModel& operator=(const CRowSourceModel&) = delete;

    // Binds to another source (null: no rows, no columns). The column captions and
    // alignments start again from the field names and the left edge.
    void SetSource(std::shared_ptr<IRowSource> source);
    const std::shared_ptr<IRowSource>& Source() const { return m_source; }
    // Reads the source again from scratch.
    void Refresh();

    // The source's current row (0-based), -1 when there is none or no source.
    int CurrentRow() const;
    // Moves the source, and with it the recordset, to a row.
    void SetCurrentRow(int row);

    void SetColumnCaption(int column, const QString& caption);
    QString ColumnCaption(int column) const;
    void SetColumnAlignment(int column, Qt::Alignment alignment);
    Qt::Alignment ColumnAlignment(int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // IRowSourceListener
    void OnRowsChanged() override;
    void OnPositionChanged(int row) override;

  signals:
    // The source's current row moved (0-based, -1 for none).
    void CurrentRowChanged(int row);

  private:
    // Takes the source's counts and default column settings; call inside a model reset.
    void ReadShape();

    std::shared_ptr<IRowSource> m_source;
    // The counts the attached views were last told, so that they never see a half-changed
    // source between the change and its notification.
    int m_rows = 0;
    int m_columns = 0;
    std::vector<QString> m_captions;
    std::vector<Qt::Alignment> m_alignments;
};

}  // namespace orvex
