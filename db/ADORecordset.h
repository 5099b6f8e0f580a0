#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/ADODatabase.h"
#include "db/RowSet.h"

namespace orvex {

// One result set or table on a CADODatabase, read whole into memory: its row count is always
// known, it sorts in memory, and changes go back to the table row they came from. The database
// must outlive the recordset.
//
// Calling order: Open; optionally SortBy; RowCount; MoveFirst; per row read fields and
// MoveNext; Close. To append: Open("[t_Contacts]", openTable), then per row AddNew, the
// writes, Update.
class CADORecordset {
  public:
    enum EOpen { openQuery = 1, openTable = 2 };
    enum EEditMode { dbEditNone = 0, dbEditNew = 1, dbEdit = 2 };

    explicit CADORecordset(CADODatabase* database);
    virtual ~CADORecordset();
    CADORecordset(const CADORecordset&) = delete;
    CADORecordset& operator=(const CADORecordset&) = delete;

    bool Open(const std::string& source = "", int option = openQuery);
    bool IsOpen() const;
    void Close();

    int RowCount() const;
    int FieldCount() const;
    std::string FieldName(int index) const;

    // ReadInt: null reads 0; a machine-size integer its 32-bit value; any other value its low
    // 16 bits, sign-extended (a real without its fraction). A value outside the 32-bit range
    // fails. ReadText: the value as text ("" for null), false for a value that has no text.
    // Texts are Windows-1252 bytes.
    bool ReadInt(const std::string& name, int& value);
    bool ReadInt(int index, int& value);
    bool ReadText(const std::string& name, std::string& value, const char* dateFormat = nullptr);
    bool ReadText(int index, std::string& value, const char* dateFormat = nullptr);

    // WriteInt stores a 16-bit signed integer; a value outside -32768..32767 is refused, never
    // wrapped. WriteText stores an empty text as null. Both wait for Update.
    bool WriteInt(const std::string& name, int value);
    bool WriteText(const std::string& name, const std::string& value);

    bool AddNew();
    void Edit();
    bool Update();
    void CancelUpdate();
    bool Delete();
    EEditMode GetEditMode() const { return m_editMode; }

    bool SortBy(const std::string& columns);

    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    // Moves to a 1-based row.
    void MoveTo(int position);
    // The 1-based position of the current row; 0 when there is none.
    int Position() const;
    bool IsEOF() const;
    bool IsBOF() const;

    // The rows as a grid binds to them; null while closed. Shared: it stays valid after the
    // recordset closes (then empty).
    std::shared_ptr<IRowSource> GetRecordset() const { return m_rows; }

    const std::string& GetLastErrorString() const { return m_lastError; }
    long GetLastError() const { return m_errorCode; }
    const std::string& GetQuery() const { return m_query; }

  private:
    bool Record(const SDbError& error);
    bool Fail(const std::string& description);
    bool OutOfRange(int index, const std::string& shown);
    int Column(const std::string& name);
    const CFieldValue* Field(int index);
    bool Write(const std::string& name, CFieldValue value);

    CADODatabase* m_database;
    std::shared_ptr<CRowSet> m_rows;
    bool m_bof = false;
    EEditMode m_editMode = dbEditNone;
    std::vector<std::optional<CFieldValue>> m_pending;
    std::string m_query;
    std::string m_lastError;
    long m_errorCode = 0;
};

}  // namespace orvex
