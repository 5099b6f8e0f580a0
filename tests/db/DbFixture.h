#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/ContactsTable.h"
#include "tests/TestFolder.h"

namespace orvex::test {

// A real contacts database file in a temporary folder of its own, opened on `db`.
class DbFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = m_folder.Path();
        ASSERT_FALSE(dir.empty());
        path = dir + "/Orvex.mdb";
        std::string error;
        ASSERT_TRUE(CContactsTable::CreateEmptyDatabase(path, error)) << error;
        ASSERT_TRUE(db.Open(CContactsTable::ConnectionString(path))) << db.GetLastErrorString();
    }
    void TearDown() override { db.Close(); }

    // Appends a personal contact (or a group row) through the recordset, as the program does.
    void AddContact(int id, const std::string& first, const std::string& last, int group = 0,
                    const std::string& wirelessGroups = "") {
        CADORecordset rs(&db);
        ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable))
            << rs.GetLastErrorString();
        ASSERT_TRUE(rs.AddNew());
        ASSERT_TRUE(rs.WriteInt("iCID", id));
        ASSERT_TRUE(rs.WriteInt("iEIdx", id));
        ASSERT_TRUE(rs.WriteInt("iGroup", group));
        ASSERT_TRUE(rs.WriteText("strFName", first));
        ASSERT_TRUE(rs.WriteText("strLName", last));
        if (!wirelessGroups.empty()) {
            ASSERT_TRUE(rs.WriteText("strGrpOfWAddr", wirelessGroups));
        }
        ASSERT_TRUE(rs.Update()) << rs.GetLastErrorString();
    }

    // The first names of a query's rows in the recordset's order, joined by "|".
    std::string Names(const std::string& query, const std::string& sort = "") {
        CADORecordset rs(&db);
        EXPECT_TRUE(rs.Open(query, CADORecordset::openQuery)) << rs.GetLastErrorString();
        if (!sort.empty()) {
            EXPECT_TRUE(rs.SortBy(sort)) << rs.GetLastErrorString();
        }
        std::string names;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
            std::string first;
            rs.ReadText("strFName", first);
            names += (rs.Position() == 1 ? "" : "|") + first;
        }
        return names;
    }

    std::string dir;
    std::string path;
    CADODatabase db;

  private:
    CTestFolder m_folder{"db-test"};
};

}  // namespace orvex::test
