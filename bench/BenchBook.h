#pragma once

#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"

namespace orvex::bench {

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
