#include "db/ADORecordset.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace orvex {

namespace {

int Low16(int64_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF));
}

}  // namespace

CADORecordset::CADORecordset(CADODatabase* database) : m_database(database) {}

CADORecordset::~CADORecordset() {
    Close();
}

bool CADORecordset::Record(const SDbError& error) {
    m_errorCode = error.code;
    m_lastError =
        "Query = " + m_query + "\n" + CADODatabase::FormatError("CADORecordset Error", error);
    return false;
}

bool CADORecordset::Fail(const std::string& description) {
    return Record({1, "The operation is not allowed", "Orvex", description});
}

bool CADORecordset::Open(const std::string& source, int option) {
    Close();
    if (!source.empty()) {
        m_query = source;
    }
    if (!m_database || !m_database->IsOpen()) {
        return Fail("the database is not open");
    }
    auto rows = std::make_shared<CRowSet>();
    SDbError error;
    if (!m_database->Connection()->Read(m_query, option == openTable, *rows, error)) {
        return Record(error);
    }
    m_rows = rows;
    m_bof = false;
    m_errorCode = 0;
    return true;
}

bool CADORecordset::IsOpen() const {
    return m_rows != nullptr && m_database && m_database->IsOpen();
}

void CADORecordset::Close() {
    if (m_rows) {
        CancelUpdate();
        // A grid still bound to the rows sees them go.
        m_rows->rows.clear();
        m_rows->rowids.clear();
        m_rows->SetPosition(-1);
        m_rows->NotifyRowsChanged();
        m_rows.reset();
    }
}

int CADORecordset::RowCount() const {
    return m_rows ? m_rows->Rows() : 0;
}

int CADORecordset::FieldCount() const {
    return m_rows ? m_rows->Columns() : 0;
}

std::string CADORecordset::FieldName(int index) const {
    return m_rows ? m_rows->ColumnName(index) : "";
}

int CADORecordset::Column(const std::string& name) {
    const int column = m_rows ? m_rows->ColumnIndex(name) : -1;
    if (column < 0) {
        Fail("no field named '" + name + "'");
    }
    return column;
}

const CFieldValue* CADORecordset::Field(int index) {
    static const CFieldValue kNull;
    if (!m_rows || index < 0 || index >= m_rows->Columns()) {
        Fail("no field number " + std::to_string(index));
        return nullptr;
    }
    const auto column = static_cast<size_t>(index);
    if (m_editMode != dbEditNone && m_pending[column]) {
        return &*m_pending[column];
    }
    if (m_editMode == dbEditNew) {
        return &kNull;
    }
    if (m_rows->AtEnd()) {
        Fail("there is no current row");
        return nullptr;
    }
    return &m_rows->rows[static_cast<size_t>(m_rows->Position())][column];
}

bool CADORecordset::ReadInt(const std::string& name, int& value) {
    const int column = Column(name);
    return column >= 0 && ReadInt(column, value);
}

bool CADORecordset::ReadInt(int index, int& value) {
    const CFieldValue* field = Field(index);
    if (!field) {
        return false;
    }
    // Every value is first taken as a whole number of 32 bits; one outside that range (an
    // infinity, 1e300, 2^40) fails, as any conversion of it would give another number.
    int64_t whole = 0;
    switch (field->kind) {
        case EValueKind::Null:
            value = 0;
            return true;
        case EValueKind::Float:
        case EValueKind::Double:
        case EValueKind::Decimal: {
            int32_t truncated = 0;
            if (!CFieldValue::ToInt32(field->real, truncated)) {
                return OutOfRange(index, CRowSet::Display(*field));
            }
            whole = truncated;
            break;
        }
        case EValueKind::Text:
        case EValueKind::Date: {
            char* end = nullptr;
            errno = 0;
            whole = std::strtoll(field->text.c_str(), &end, 10);
            if (field->text.empty() || *end != '\0') {
                return Fail("the text '" + field->text + "' is not a number");
            }
            if (errno == ERANGE) {
                return OutOfRange(index, field->text);
            }
            break;
        }
        case EValueKind::Other:
            return Fail("the field holds no number");
        default:
            whole = field->integer;
            break;
    }
    if (!CFieldValue::Fits(EValueKind::Int32, whole)) {
        return OutOfRange(index, std::to_string(whole));
    }
    value = field->kind == EValueKind::MachineInt ? static_cast<int32_t>(whole) : Low16(whole);
    return true;
}

bool CADORecordset::OutOfRange(int index, const std::string& shown) {
    return Fail("the field '" + FieldName(index) + "' holds " + shown +
                ", which is out of the range of a 32-bit number");
}

bool CADORecordset::ReadText(const std::string& name, std::string& value, const char* format) {
    const int column = Column(name);
    return column >= 0 && ReadText(column, value, format);
}

bool CADORecordset::ReadText(int index, std::string& value, const char* format) {
    const CFieldValue* field = Field(index);
    if (!field) {
        return false;
    }
    if (field->kind == EValueKind::Other) {
        value.clear();
        return false;
    }
    if (field->kind == EValueKind::Date) {
        std::tm tm{};
        const char* end = strptime(field->text.c_str(), "%Y-%m-%d %H:%M:%S", &tm);
        if (!end) {
            end = strptime(field->text.c_str(), "%Y-%m-%d", &tm);
        }
        if (end) {
            char buffer[128];
            const size_t n =
                std::strftime(buffer, sizeof buffer, format ? format : "%Y-%m-%d %H:%M:%S", &tm);
            value.assign(buffer, n);
            return true;
        }
    }
    value = CRowSet::Display(*field);
    return true;
}

bool CADORecordset::Write(const std::string& name, CFieldValue value) {
    const int column = Column(name);
    if (column < 0) {
        return false;
    }
    if (m_rows->table.empty()) {
        return Fail("the rows of this query cannot be changed");
    }
    if (m_editMode == dbEditNone) {
        if (m_rows->AtEnd()) {
            return Fail("there is no current row");
        }
        Edit();
    }
    m_pending[static_cast<size_t>(column)] = std::move(value);
    return true;
}

bool CADORecordset::WriteInt(const std::string& name, int value) {
    if (value < INT16_MIN || value > INT16_MAX) {
        // A wrapped identifier would silently point at another row.
        return Fail("the value " + std::to_string(value) + " does not fit the 16-bit field '" +
                    name + "'");
    }
    return Write(name, CFieldValue::Int(EValueKind::Int16, value));
}

bool CADORecordset::WriteText(const std::string& name, const std::string& value) {
    return Write(name, value.empty() ? CFieldValue::Null() : CFieldValue::Text(value));
}

bool CADORecordset::AddNew() {
    if (!IsOpen() || m_rows->table.empty()) {
        return Fail("rows cannot be added to this recordset");
    }
    CancelUpdate();
    m_pending.assign(m_rows->columns.size(), std::nullopt);
    m_editMode = dbEditNew;
    return true;
}

void CADORecordset::Edit() {
    if (!m_rows || m_editMode != dbEditNone) {
        return;
    }
    m_pending.assign(m_rows->columns.size(), std::nullopt);
    m_editMode = dbEdit;
}

bool CADORecordset::Update() {
    if (m_editMode == dbEditNone) {
        return true;
    }
    std::vector<SColumnValue> values;
    for (size_t i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i]) {
            values.push_back({m_rows->columns[i].name, *m_pending[i]});
        }
    }
    SDbError error;
    bool ok = true;
    CRowSet& rows = *m_rows;
    if (m_editMode == dbEditNew) {
        int64_t rowid = 0;
        std::vector<CFieldValue> stored;
        ok = m_database->Connection()->Insert(rows.table, values, rows.columns, rowid, stored,
                                              error);
        if (ok) {
            rows.rows.push_back(std::move(stored));
            rows.rowids.push_back(rowid);
            rows.NotifyRowsChanged();
            rows.SetPosition(rows.Rows() - 1);
        }
    } else if (!values.empty()) {
        const auto row = static_cast<size_t>(rows.Position());
        ok = m_database->Connection()->Update(rows.table, rows.rowids[row], values, error);
        if (ok) {
            for (size_t i = 0; i < m_pending.size(); ++i) {
                if (m_pending[i]) {
                    rows.rows[row][i] = *m_pending[i];
                }
            }
            rows.NotifyRowsChanged();
        }
    }
    // A failed write is cancelled: the recordset stays as the table is.
    CancelUpdate();
    return ok ? true : Record(error);
}

void CADORecordset::CancelUpdate() {
    m_editMode = dbEditNone;
    m_pending.clear();
}

bool CADORecordset::Delete() {
    if (!IsOpen() || m_rows->AtEnd() || m_rows->table.empty()) {
        return Fail("there is no row to delete");
    }
    CancelUpdate();
    CRowSet& rows = *m_rows;
    const int row = rows.Position();
    SDbError error;
    if (!m_database->Connection()->Delete(rows.table, rows.rowids[static_cast<size_t>(row)],
                                          error)) {
        return Record(error);
    }
    rows.rows.erase(rows.rows.begin() + row);
    rows.rowids.erase(rows.rowids.begin() + row);
    rows.NotifyRowsChanged();
    rows.SetPosition(-1);
    rows.SetPosition(row);  // the row after the deleted one, or the end
    return true;
}

bool CADORecordset::SortBy(const std::string& columns) {
    if (!m_rows) {
        return Fail("the recordset is not open");
    }
    std::string error;
    CancelUpdate();
    if (!m_rows->Sort(columns, error)) {
        return Fail(error);
    }
    m_bof = false;
    return true;
}

void CADORecordset::MoveFirst() {
    if (m_rows) {
        CancelUpdate();
        m_bof = false;
        m_rows->SetPosition(m_rows->Rows() > 0 ? 0 : -1);
    }
}

void CADORecordset::MoveNext() {
    if (m_rows && !m_rows->AtEnd()) {
        CancelUpdate();
        m_rows->SetPosition(m_rows->Position() + 1);
    }
}

void CADORecordset::MovePrevious() {
    if (m_rows && m_rows->Position() > 0) {
        CancelUpdate();
        m_rows->SetPosition(m_rows->Position() - 1);
    } else if (m_rows) {
        m_bof = true;
    }
}

void CADORecordset::MoveLast() {
    if (m_rows) {
        CancelUpdate();
        m_rows->SetPosition(m_rows->Rows() - 1);
    }
}

void CADORecordset::MoveTo(int position) {
    if (m_rows && position >= 1 && position <= m_rows->Rows()) {
        CancelUpdate();
        m_rows->SetPosition(position - 1);
    }
}

int CADORecordset::Position() const {
    return m_rows && !m_rows->AtEnd() ? m_rows->Position() + 1 : 0;
}

bool CADORecordset::IsEOF() const {
    return !m_rows || m_rows->AtEnd();
}

bool CADORecordset::IsBOF() const {
    return !m_rows || m_rows->Rows() == 0 || m_bof;
}

}  // namespace orvex
