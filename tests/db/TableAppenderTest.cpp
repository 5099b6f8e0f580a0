#include "db/TableAppender.h"

#include "tests/db/DbFixture.h"

namespace orvex::test {
namespace {

TEST_F(DbFixture, AppendedRowsAreStoredAsTheRecordsetStoresThem) {
    CTableAppender appender(db);
    ASSERT_TRUE(appender.Prepare(CContactsTable::kTable, {"iCID", "iGroup", "strFName", "strNote"}))
        << appender.Error();
    ASSERT_TRUE(appender.Append({CFieldValue::Int(EValueKind::Int16, 3),
                                 CFieldValue::Int(EValueKind::Int16, 0),
                                 CFieldValue::Text("Ren\xE9"), CFieldValue::Text("")}))
        << appender.Error();
    EXPECT_FALSE(appender.Append({CFieldValue::Int(EValueKind::Int16, 40000),
                                  CFieldValue::Int(EValueKind::Int16, 0), CFieldValue::Null(),
                                  CFieldValue::Null()}))
        << "a number beyond 16 bits is refused";
    EXPECT_FALSE(appender.Append({CFieldValue::Null()})) << "a value for every column";

    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("select * from [t_Contacts] where strNote is null"));
    ASSERT_EQ(rs.RowCount(), 1) << "an empty text is stored as null";
    rs.MoveFirst();
    std::string text;
    rs.ReadText("strFName", text);
    EXPECT_EQ(text, "Ren\xE9") << "Windows-1252 in, as UTF-8 in the file";
    rs.ReadText("strGrpOfWAddr", text);
    EXPECT_EQ(text, ";") << "columns not named keep their defaults";
    CADORecordset utf8(&db);
    // The statement's literal is Windows-1252 as well, converted on its way in.
    ASSERT_TRUE(utf8.Open("select count(*) from t_Contacts where strFName = 'Ren\xE9'"));
    int n = 0;
    utf8.ReadInt(0, n);
    EXPECT_EQ(n, 1);

    CADODatabase closed;
    CTableAppender nowhere(closed);
    EXPECT_FALSE(nowhere.Prepare(CContactsTable::kTable, {"iCID"}));
    EXPECT_FALSE(appender.Prepare(CContactsTable::kTable, {"noSuchColumn"}));
}

}  // namespace
}  // namespace orvex::test
