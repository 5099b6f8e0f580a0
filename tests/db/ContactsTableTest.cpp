#include <sqlite3.h>

#include <fstream>

#include "db/GroupList.h"
#include "tests/db/DbFixture.h"

namespace orvex::test {
namespace {

TEST_F(DbFixture, TheEmptyDatabaseHasTheTwentyTwoColumnsInOrder) {
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open(CContactsTable::kTable, CADORecordset::openTable));
    ASSERT_EQ(rs.FieldCount(), 22);
    for (int i = 0; i < 22; ++i) {
        EXPECT_EQ(rs.FieldName(i), CContactsTable::kColumns[i].name);
    }
    EXPECT_EQ(rs.RowCount(), 0);
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(path));
}

TEST(StatementTest, FixedStatementsAreFormattedWithTheirNumber) {
    EXPECT_EQ(CContactsTable::Format(CContactsTable::kDeleteById, 12),
              "delete from [t_Contacts] where iCID=12");
    EXPECT_EQ(CContactsTable::Format(CContactsTable::kSelectMembers, 4),
              "select * from [t_Contacts] where strGrpOfWAddr like '%;4;%' or strGrpOfWEmail "
              "like '%;4;%' or strGrpOfHEmail like '%;4;%'");
}

TEST(GroupListTest, JoinAndLeaveKeepTheListWellFormed) {
    EXPECT_EQ(CGroupList::Join(";12;", 1), ";12;1;");
    EXPECT_EQ(CGroupList::Join(";12;1;", 12), ";12;1;");
    EXPECT_EQ(CGroupList::Join(";", 5), ";5;");
    EXPECT_EQ(CGroupList::Join("", 5), ";5;") << "a null list reads empty";
    EXPECT_EQ(CGroupList::Leave(";12;1;", 12), ";1;");
    EXPECT_EQ(CGroupList::Leave(";1;", 1), ";");
    EXPECT_EQ(CGroupList::Leave(";12;21;", 1), ";12;21;");
    EXPECT_TRUE(CGroupList::Contains(";5;12;", 12));
    EXPECT_FALSE(CGroupList::Contains(";12;21;", 1));
    EXPECT_FALSE(CGroupList::Contains(";112;", 12));
}

TEST_F(DbFixture, MembersOfAGroupAreFoundByTheWholeNumber) {
    AddContact(1, "One", "", 0, ";1;");
    AddContact(2, "Twelve", "", 0, ";12;");
    AddContact(3, "TwentyOne", "", 0, ";21;");
    AddContact(4, "Both", "", 0, ";12;1;");
    AddContact(5, "None", "");
    AddContact(1001, "Group", "", 1);
    CADORecordset members(&db);
    ASSERT_TRUE(CGroupList::OpenMembers(1, members));
    std::string names;
    for (members.MoveFirst(); !members.IsEOF(); members.MoveNext()) {
        std::string first;
        members.ReadText("strFName", first);
        names += first + ";";
    }
    EXPECT_EQ(names, "Both;One;");

    ASSERT_TRUE(CGroupList::DeleteGroup(db, 12));
    EXPECT_EQ(Names("select * from [t_Contacts] where iGroup=0 and strGrpOfWAddr=';'", "strFName"),
              "None|Twelve");
    EXPECT_EQ(Names("select * from [t_Contacts] where strGrpOfWAddr=';1;'", "strFName"),
              "Both|One");
}

class SchemaCheckTest : public DbFixture {
  protected:
    // A database file whose t_Contacts is made by the given statement.
    std::string Make(const std::string& name, const std::string& create) {
        const std::string file = dir + "/" + name;
        sqlite3* handle = nullptr;
        sqlite3_open(file.c_str(), &handle);
        sqlite3_exec(handle, create.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(handle);
        return file;
    }
    std::string Columns(int skip, const std::string& extra, bool lowerFirstName = false) {
        std::string sql = "create table t_Contacts (";
        for (int i = 0; i < 22; ++i) {
            if (i == skip) {
                continue;
            }
            std::string name = CContactsTable::kColumns[i].name;
            if (lowerFirstName && name == "strFName") {
                name = "strfname";
            }
            sql += (sql.back() == '(' ? "" : ", ") + name;
        }
        return sql + extra + ")";
    }
};

TEST_F(SchemaCheckTest, OnlyExactlyTheTwentyTwoColumnsPass) {
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(Make("same.mdb", Columns(-1, ""))));
    EXPECT_FALSE(CContactsTable::IsValidContactsDatabase(Make("21.mdb", Columns(5, ""))));
    EXPECT_FALSE(
        CContactsTable::IsValidContactsDatabase(Make("23.mdb", Columns(-1, ", strExtra"))));
    EXPECT_FALSE(CContactsTable::IsValidContactsDatabase(Make("case.mdb", Columns(-1, "", true))));
    EXPECT_FALSE(CContactsTable::IsValidContactsDatabase(Make("other.mdb", "create table x(a)")));
    EXPECT_FALSE(CContactsTable::IsValidContactsDatabase(dir + "/missing.mdb"));
    // The check reads the file without holding it: the program may check its own file.
    EXPECT_TRUE(CContactsTable::IsValidContactsDatabase(path));
}

TEST_F(SchemaCheckTest, ForeignAndDamagedFilesAreRefused) {
    std::ofstream(dir + "/text.mdb") << std::string(5000, 'x');
    EXPECT_FALSE(CContactsTable::IsValidContactsDatabase(dir + "/text.mdb"));

    // A real contacts file with many rows, then a page in the middle overwritten.
    for (int i = 1; i <= 300; ++i) {
        AddContact(i, "Name" + std::to_string(i), std::string(18, 'L'));
    }
    db.Close();
    const auto size = std::filesystem::file_size(path);
    ASSERT_GT(size, 16000u);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size / 2));
        const std::string junk(4096, '\xA5');
        file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    EXPECT_FALSE(CContactsTable::IsValidContactsDatabase(path));
}

}  // namespace
}  // namespace orvex::test
