#include "db/RowSet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "db/Win1252.h"

namespace orvex {

namespace {

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) {
        return "";
    }
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

int CompareText(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = CWin1252::Lower(static_cast<unsigned char>(a[i]));
        const int y = CWin1252::Lower(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int CRowSet::ColumnIndex(const std::string& name) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) {
            return static_cast<int>(i);
        }
    }
    // Names in statements are not case-sensitive; an exact match wins.
    const std::string folded = CWin1252::Folded(name);
    for (size_t i = 0; i < columns.size(); ++i) {
        if (CWin1252::Folded(columns[i].name) == folded) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CRowSet::CompareNoCase(const CFieldValue& a, const CFieldValue& b) {
    if (a.kind == EValueKind::Text && b.kind == EValueKind::Text) {
        const int c = CWin1252::Folded(a.text).compare(CWin1252::Folded(b.text));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return Compare(a, b);
}

int CRowSet::Compare(const CFieldValue& a, const CFieldValue& b) {
    if (a.IsNull() || b.IsNull()) {
        return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? -1 : 1);
    }
    const bool aNumber = a.IsInteger() || a.IsReal();
    const bool bNumber = b.IsInteger() || b.IsReal();
    if (aNumber && bNumber) {
        const double x = a.IsInteger() ? static_cast<double>(a.integer) : a.real;
        const double y = b.IsInteger() ? static_cast<double>(b.integer) : b.real;
        // A NaN (a text file may hold "nan") is equal to nothing: it goes before the numbers,
        // or the sort would be given no consistent order and its result be undefined.
        if (std::isnan(x) || std::isnan(y)) {
            return std::isnan(x) == std::isnan(y) ? 0 : (std::isnan(x) ? -1 : 1);
        }
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (aNumber != bNumber) {
        return aNumber ? -1 : 1;
    }
    return CompareText(a.text, b.text);
}

bool CRowSet::AddRow(std::vector<CFieldValue> row, int64_t rowid, std::string& why) {
    size_t bytes = 0;
    for (const CFieldValue& value : row) {
        bytes += sizeof value + value.text.size();
    }
    if (Rows() >= kMaxRows) {
        why = "the result has more than " + std::to_string(kMaxRows) +
              " rows, more than the program reads";
        return false;
    }
    if (bytes > kMaxBytes - m_bytes) {
        why = "the result needs more than " + std::to_string(kMaxBytes >> 20) +
              " MiB of memory, more than the program reads";
        return false;
    }
    m_bytes += bytes;
    rows.push_back(std::move(row));
    rowids.push_back(rowid);
    return true;
}

bool CRowSet::Sort(const std::string& columnList, std::string& error) {
    struct Key {
        int column;
        bool descending;
    };
    std::vector<Key> keys;
    size_t start = 0;
    while (start <= columnList.size()) {
        size_t comma = columnList.find(',', start);
        if (comma == std::string::npos) {
            comma = columnList.size();
        }
        std::string item = Trim(columnList.substr(start, comma - start));
        start = comma + 1;
        if (item.empty()) {
            continue;
        }
        bool descending = false;
        const size_t space = item.find_last_of(" \t");
        if (space != std::string::npos) {
            const std::string order = CWin1252::Folded(item.substr(space + 1));
            if (order == "asc" || order == "desc") {
                descending = order == "desc";
                item = Trim(item.substr(0, space));
            }
        }
        if (item.size() > 2 && item.front() == '[' && item.back() == ']') {
            item = item.substr(1, item.size() - 2);
        }
        const int column = ColumnIndex(item);
        if (column < 0) {
            error = "Unknown column '" + item + "' in the sort order '" + columnList + "'";
            return false;
        }
        keys.push_back({column, descending});
    }
    // Texts are compared many times each: fold their letter case once, up front.
    std::vector<std::vector<std::string>> folded(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        const auto column = static_cast<size_t>(keys[k].column);
        bool texts = true;
        for (const auto& row : rows) {
            texts = texts && (row[column].IsNull() || row[column].kind == EValueKind::Text);
        }
        if (texts) {
            folded[k].reserve(rows.size());
            for (const auto& row : rows) {
                folded[k].push_back(CWin1252::Folded(row[column].text));
            }
        }
    }
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    // Letter case matters only when every key is equal without it: "anna Baker" before
    // "Anna Young".
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        for (int exact = 0; exact < 2; ++exact) {
            for (size_t k = 0; k < keys.size(); ++k) {
                const auto column = static_cast<size_t>(keys[k].column);
                const CFieldValue& a = rows[x][column];
                const CFieldValue& b = rows[y][column];
                int c;
                if (exact) {
                    c = a.kind == EValueKind::Text && b.kind == EValueKind::Text
                            ? a.text.compare(b.text)
                            : 0;
                } else if (!folded[k].empty() && !a.IsNull() && !b.IsNull()) {
                    c = folded[k][x].compare(folded[k][y]);
                } else {
                    c = CompareNoCase(a, b);
                }
                if (c != 0) {
                    return keys[k].descending ? c > 0 : c < 0;
                }
            }
        }
        return false;
    });
    std::vector<std::vector<CFieldValue>> sortedRows;
    std::vector<int64_t> sortedIds;
    sortedRows.reserve(rows.size());
    sortedIds.reserve(rows.size());
    for (size_t i : order) {
        sortedRows.push_back(std::move(rows[i]));
        sortedIds.push_back(rowids[i]);
    }
    rows.swap(sortedRows);
    rowids.swap(sortedIds);
    m_current = rows.empty() ? -1 : 0;
    NotifyRowsChanged();
    return true;
}

std::string CRowSet::Display(const CFieldValue& v) {
    char buffer[64];
    switch (v.kind) {
        case EValueKind::Null:
        case EValueKind::Other:
            return "";
        case EValueKind::Bool:
            return v.integer ? "T" : "F";
        case EValueKind::Float:
            std::snprintf(buffer, sizeof buffer, "%.10g", v.real);
            return buffer;
        case EValueKind::Double:
        case EValueKind::Decimal:
            std::snprintf(buffer, sizeof buffer, "%.20g", v.real);
            return buffer;
        case EValueKind::Text:
        case EValueKind::Date:
            return v.text;
        default:
            return std::to_string(v.integer);
    }
}

std::string CRowSet::ColumnName(int column) const {
    return column >= 0 && column < Columns() ? columns[static_cast<size_t>(column)].name : "";
}

std::string CRowSet::Text(int row, int column) const {
    if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) {
        return "";
    }
    return Display(rows[static_cast<size_t>(row)][static_cast<size_t>(column)]);
}

void CRowSet::SetCurrentRow(int row) {
    SetPosition(row);
}

void CRowSet::SetPosition(int row) {
    if (row < -1 || row > Rows()) {
        row = -1;
    }
    if (row == m_current) {
        return;
    }
    m_current = row;
    const int shown = AtEnd() ? -1 : m_current;
    for (IRowSourceListener* l : m_listeners) {
        l->OnPositionChanged(shown);
    }
}

void CRowSet::AddListener(IRowSourceListener* listener) {
    m_listeners.push_back(listener);
}

void CRowSet::RemoveListener(IRowSourceListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

void CRowSet::NotifyRowsChanged() {
    for (IRowSourceListener* l : m_listeners) {
        l->OnRowsChanged();
    }
}

}  // namespace orvex
