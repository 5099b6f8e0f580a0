#pragma once

#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "tests/TestFolder.h"

namespace orvex::bench {

// A folder of the run's own with an empty contacts file in it, open on `db`; the folder goes
// with everything in it at the end of the run. `dir` ends with "/".
class CBenchBook {
  public:
    explicit CBenchBook(const std::string& name) : m_folder(name) {
        dir = m_folder.Path() + "/";
        database = dir + "Orvex.mdb";
        std::string error;
        CContactsTable::CreateEmptyDatabase(database, error);
        db.Open(CContactsTable::ConnectionString(database));
    }
    ~CBenchBook() { db.Close(); }
    CBenchBook(const CBenchBook&) = delete;
    CBenchBook& operator=(const CBenchBook&) = delete;

    std::string dir;
    std::string database;
    CADODatabase db;

  private:
    test::CTestFolder m_folder;
};

// Adds personal contact `id` of a table of `rows` with a name, a wireless address and a
// phone. The names come in an order unlike the identifiers, so a sort has work to do.
inline void InsertPersonal(CADODatabase& db, int id, int rows) {
    const int k = (id * 7919) % rows;
    db.Execute(
        "insert into t_Contacts (iCID, iEIdx, iGroup, strFName, strLName, strWAddr, "
        "strHPhone) values (" +
        std::to_string(id) + ", " + std::to_string(id) + ", 0, 'First" + std::to_string(k % 997) +
        "', 'Last" + std::to_string(k) + "', 'p" + std::to_string(id) + "@pager.example', '555-" +
        std::to_string(1000 + id % 9000) + "')");
}

// Fills an open, empty contacts table with `rows` rows: the first `groups` are groups, the
// rest personal contacts with typical fields, the first ten per group in a group. The default
// address cycles through `defaultKinds` kinds; every seventh note is `oddNote`. The names
// are spread over `spread` values, so that sorting has work to do.
inline void FillBook(CADODatabase& db, int rows, int groups, int spread, int defaultKinds,
                     const std::string& oddNote) {
    db.BeginTrans();
    CADORecordset rs(&db);
    rs.Open(CContactsTable::kTable, CADORecordset::openTable);
    for (int id = 1; id <= rows; ++id) {
        const bool group = id <= groups;
        const int k = (id * 7919) % spread;
        rs.AddNew();
        rs.WriteInt("iCID", id);
        rs.WriteInt("iEIdx", k);
        rs.WriteInt("iGroup", group ? 1 : 0);
        rs.WriteText("strFName", (group ? "Group" : "First") + std::to_string(k % 997));
        if (!group) {
            rs.WriteText("strLName", "Last" + std::to_string(k));
            rs.WriteText("strWAddr", "p" + std::to_string(id) + "@pager.example");
            rs.WriteText("strWEmail", "w" + std::to_string(id) + "@work.example");
            rs.WriteInt("byDefault", 1 + id % defaultKinds);
            const int g = id - groups;
            rs.WriteText("strGrpOfWAddr",
                         g <= groups * 10 ? ";" + std::to_string(1 + g % groups) + ";" : ";");
            rs.WriteText("strCompany", id % 5 ? "Acme" : "Acme, Inc");
            rs.WriteText("strHPhone", "555-" + std::to_string(1000 + id % 9000));
            rs.WriteText("strStreet", std::to_string(id) + " Main Street");
            rs.WriteText("strCity", "Springfield");
            rs.WriteText("strZip", "12345");
            rs.WriteText("strNote", id % 7 ? "call after 5" : oddNote);
        }
        rs.Update();
    }
    rs.Close();
    db.CommitTrans();
}

}  // namespace orvex::bench
