#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db/FieldValue.h"
#include "db/RowSource.h"

namespace orvex {

struct SColumn {
    std::string name;
    EValueKind kind = EValueKind::Text;  // from the declared type
};

// A result read whole into memory: the columns, the rows with the rowid each came from (-1
// when it came from no single table row), the table its rows can be written back to, and the
// current position.
class CRowSet : public IRowSource {
  public:
    std::vector<SColumn> columns;
    std::vector<std::vector<CFieldValue>> rows;
    std::vector<int64_t> rowids;
    std::string table;  // empty: read-only result

    // The most a result read into memory may hold. The program's own tables hold a few
    // hundred rows of a few hundred bytes; a file from elsewhere can hold any number, and a
    // query over it can return rows without end. Far above the one, far below the other.
    static constexpr int kMaxRows = 100000;
    static constexpr size_t kMaxBytes = size_t{64} << 20;  // fields and their texts

    // Appends a read row with the rowid it came from; false, with why, when the set would hold
    // more than kMaxRows rows or kMaxBytes bytes (the row is not added).
    bool AddRow(std::vector<CFieldValue> row, int64_t rowid, std::string& why);

    int ColumnIndex(const std::string& name) const;  // -1 when there is none

    // Stable sort by "a, b DESC, c ASC"; false (nothing changed) for an unknown column.
    bool Sort(const std::string& columnList, std::string& error);

    // IRowSource
    int Rows() const override { return static_cast<int>(rows.size()); }
    int Columns() const override { return static_cast<int>(columns.size()); }
    std::string ColumnName(int column) const override;
    std::string Text(int row, int column) const override;
    int CurrentRow() const override { return m_current; }
    void SetCurrentRow(int row) override;
    void AddListener(IRowSourceListener* listener) override;
    void RemoveListener(IRowSourceListener* listener) override;

    // The position may also stand after the last row (end of the set).
    void SetPosition(int row);
    int Position() const { return m_current; }
    bool AtEnd() const { return m_current < 0 || m_current >= Rows(); }
    void NotifyRowsChanged();

    // Ascending comparison as the sort uses it: null first, numbers by value, texts without
    // regard to letter case (then with it).
    static int Compare(const CFieldValue& a, const CFieldValue& b);
    // The same with texts equal when they differ only in letter case.
    static int CompareNoCase(const CFieldValue& a, const CFieldValue& b);
    // The text reading of a value, as a grid shows it.
    static std::string Display(const CFieldValue& value);

  private:
    int m_current = -1;
    size_t m_bytes = 0;  // what AddRow has taken in
    std::vector<IRowSourceListener*> m_listeners;
};

}  // namespace orvex
