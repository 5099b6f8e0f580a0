#pragma once

#include <string>

namespace orvex {

// Told when the rows or the current position of a row source change.
class IRowSourceListener {
  public:
    virtual ~IRowSourceListener() = default;
    // Rows were added, removed, changed or reordered, or the source was closed.
    virtual void OnRowsChanged() = 0;
    // The current row moved (0-based row, -1 for none).
    virtual void OnPositionChanged(int row) = 0;
};

// The rows of an open recordset as a grid sees them: counts, names, texts, and a current row
// that moves together with the recordset's. A view binds to it without the database layer
// knowing the view.
class IRowSource {
  public:
    virtual ~IRowSource() = default;
    virtual int Rows() const = 0;
    virtual int Columns() const = 0;
    virtual std::string ColumnName(int column) const = 0;
    // The field as text (Windows-1252 bytes); "" for null.
    virtual std::string Text(int row, int column) const = 0;
    // 0-based current row, or -1 when there is none.
    virtual int CurrentRow() const = 0;
    virtual void SetCurrentRow(int row) = 0;
    virtual void AddListener(IRowSourceListener* listener) = 0;
    virtual void RemoveListener(IRowSourceListener* listener) = 0;
};

}  // namespace orvex
