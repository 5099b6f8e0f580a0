#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "contact/ContactFields.h"

namespace orvex::test {
namespace {

std::string Text(sqlite3_stmt* row, int column) {
    const unsigned char* text = sqlite3_column_text(row, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

// The shipped empty database holds t_Contacts as the fields describe it: the same columns in
// the same order, each with its declared type and default.
TEST(ContactFieldsTest, TheShippedTableHasTheFieldsColumnsTypesAndDefaultsInOrder) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(ORVEX_DEFAULT_DATABASE, &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* row = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA table_info(t_Contacts)", -1, &row, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    size_t count = 0;
    while (sqlite3_step(row) == SQLITE_ROW) {
        ASSERT_LT(count, CContactFields::kFields.size()) << "a column too many: " << Text(row, 1);
        const SContactField& field = CContactFields::kFields[count];
        EXPECT_EQ(sqlite3_column_int(row, 0), static_cast<int>(count)) << field.name;
        EXPECT_EQ(Text(row, 1), field.name);
        EXPECT_EQ(Text(row, 2), field.sqlType) << field.name;
        EXPECT_EQ(sqlite3_column_type(row, 4) == SQLITE_NULL, field.sqlDefault == nullptr)
            << field.name;
        EXPECT_EQ(Text(row, 4), field.sqlDefault ? field.sqlDefault : "") << field.name;
        ++count;
    }
    EXPECT_EQ(count, CContactFields::kFields.size());
    sqlite3_finalize(row);
    sqlite3_close(db);
}

}  // namespace
}  // namespace orvex::test
