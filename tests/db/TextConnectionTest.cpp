#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/ADODatabase.h"
#include "db/ADORecordset.h"
#include "db/TextConnection.h"
#include "tests/TestFolder.h"

namespace orvex::test {
namespace {

// A folder of comma-delimited files, opened through the text driver's connection string.
class TextDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(m_folder.Path().empty());
        dir = m_folder.Path() + "/";
    }
    void TearDown() override { db.Close(); }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir + name, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Connection() const {
        return "Driver={Microsoft Text Driver (*.txt; *.csv)}; Dbq=" + dir +
               ";Extensions=asc,csv,tab,txt; Persist Security Info=False";
    }
    void OpenDb() { ASSERT_TRUE(db.Open(Connection(), "", "")) << db.GetLastErrorString(); }
    // The first field of every row, joined by "|".
    std::string Firsts(const std::string& query, const std::string& sort = "") {
        CADORecordset rs(&db);
        EXPECT_TRUE(rs.Open(query)) << rs.GetLastErrorString();
        if (!sort.empty()) {
            EXPECT_TRUE(rs.SortBy(sort)) << rs.GetLastErrorString();
        }
        std::string out;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
            std::string v;
            rs.ReadText(0, v);
            out += (out.empty() ? "" : "|") + v;
        }
        return out;
    }
    bool Opens(const std::string& query) {
        CADORecordset rs(&db);
        return rs.Open(query);
    }

    // Three columns of a contacts-like file.
    static constexpr const char* kSchema =
        "[c.csv]\r\nFormat=CSVDelimited\r\nColNameHeader=True\r\nMaxScanRows=0\r\n"
        "Col1=ID Integer\r\nCol2=KIND Integer\r\nCol3=NAME Char Width 15\r\n"
        "Col4=LIST Char\r\n";

    std::string dir;
    CADODatabase db;

  private:
    CTestFolder m_folder{"text-test"};
};

TEST_F(TextDriverTest, ReadsByPositionWithTheDescribedNamesAndTypes) {
    Write("Schema.ini", kSchema);
    // The header's own names are not the columns' names: the description's are.
    Write("c.csv", "a,b,c,d\r\n7,0,Anna,;\r\n,1,,\r\n40000,0,\"x, \"\"y\"\"\",;1;\r\n");
    OpenDb();
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("select * from c.csv")) << rs.GetLastErrorString();
    ASSERT_EQ(rs.RowCount(), 3) << "the header line is skipped";
    ASSERT_EQ(rs.FieldCount(), 4);
    EXPECT_EQ(rs.FieldName(0), "ID");
    EXPECT_EQ(rs.FieldName(3), "LIST");
    rs.MoveFirst();
    int n = -1;
    std::string text;
    EXPECT_TRUE(rs.ReadInt("ID", n));
    EXPECT_EQ(n, 7);
    EXPECT_TRUE(rs.ReadText("NAME", text));
    EXPECT_EQ(text, "Anna");
    rs.MoveNext();
    EXPECT_TRUE(rs.ReadInt("ID", n)) << "an empty number is null";
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(rs.ReadText("ID", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(rs.ReadText("NAME", text));
    EXPECT_EQ(text, "");
    rs.MoveNext();
    EXPECT_TRUE(rs.ReadInt("ID", n));
    EXPECT_EQ(n, 40000) << "a number too big for 16 bits is delivered whole, never wrapped";
    EXPECT_TRUE(rs.ReadText("NAME", text));
    EXPECT_EQ(text, "x, \"y\"");
}

TEST_F(TextDriverTest, QuotedFieldsKeepCommasQuotesLineBreaksAndBlanks) {
    Write("t.csv", "A,B\r\n\" lead\",\"trail \"\r\n\"two\r\nlines\",\"a \"\"q\"\" b\"\r\n\r\n");
    OpenDb();
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("select B, A from t.csv")) << rs.GetLastErrorString();
    ASSERT_EQ(rs.RowCount(), 2) << "a blank line holds no record";
    EXPECT_EQ(rs.FieldName(0), "B") << "without a description the header names the columns";
    rs.MoveFirst();
    std::string a, b;
    rs.ReadText("A", a);
    rs.ReadText("B", b);
    EXPECT_EQ(a, " lead");
    EXPECT_EQ(b, "trail ");
    rs.MoveNext();
    rs.ReadText("A", a);
    rs.ReadText("B", b);
    EXPECT_EQ(a, "two\r\nlines");
    EXPECT_EQ(b, "a \"q\" b");
}

TEST_F(TextDriverTest, AnswersTheImportsQueries) {
    Write("Schema.ini", kSchema);
    Write("c.csv",
          "h\r\n"
          "5,1,Friends,;\r\n"
          "7,1,Work,;\r\n"
          "3,0,Zoe,;7;\r\n"
          "4,0,Adam,;17;\r\n"
          "2,0,Bea,;5;71;\r\n"
          "1,0,Carl,\r\n"
          "9,0,Dan,;\r\n"
          "8,0,eve,;5;7;\r\n");
    OpenDb();
    EXPECT_EQ(Firsts("select * from c.csv where KIND=1", "ID ASC"), "5|7");
    EXPECT_EQ(Firsts("select * from c.csv where KIND=0 and (LIST<>';' or LIST<>';')", "ID ASC"),
              "2|3|4|8")
        << "an empty list is neither ';' nor anything else";
    EXPECT_EQ(Firsts("select * from c.csv where KIND=0 and (LIST like '%;7;%' or "
                     "NAME like 'nothing' or LIST like '%;7;%')",
                     "ID"),
              "3|8")
        << ";17; and ;71; are not group 7";
    EXPECT_EQ(Firsts("select NAME from c.csv where kind=0", "NAME"), "Adam|Bea|Carl|Dan|eve|Zoe")
        << "names ignore letter case, and so does the sort";
    EXPECT_EQ(Firsts("select ID from c.csv where not KIND=1 and ID>=4 and NAME like 'd_n'"), "9");
    EXPECT_EQ(Firsts("select ID from c.csv where NAME='ZOE' or ID<2 or ID=-1", "ID"), "1|3");
}

TEST_F(TextDriverTest, QueriesItCannotTakeFail) {
    Write("Schema.ini", kSchema);
    Write("c.csv", "h\r\n1,0,A,;\r\n");
    Write("my file.csv", "A\r\n1\r\n");
    Write("order.csv", "A\r\n1\r\n");
    Write("2024.csv", "A\r\n1\r\n");
    Write("x-y.csv", "A\r\n1\r\n");
    Write("c.dat", "A\r\n1\r\n");
    OpenDb();
    EXPECT_TRUE(Opens("select * from c.csv"));
    // Names that cannot stand bare in a query.
    EXPECT_FALSE(Opens("select * from my file.csv"));
    EXPECT_FALSE(Opens("select * from order.csv"));
    EXPECT_FALSE(Opens("select * from 2024.csv"));
    EXPECT_FALSE(Opens("select * from x-y.csv"));
    EXPECT_FALSE(Opens("select * from c.dat")) << "not one of the driver's extensions";
    EXPECT_FALSE(Opens("select * from missing.csv"));
    EXPECT_FALSE(Opens("select MISSING from c.csv"));
    EXPECT_FALSE(Opens("select * from c.csv where MISSING=1"));
    EXPECT_FALSE(Opens("select * from c.csv where NAME=1")) << "a text compared with a number";
    EXPECT_FALSE(Opens("select * from c.csv where ID='1'"));
    EXPECT_FALSE(Opens("select * from c.csv where (ID=1"));
    EXPECT_FALSE(Opens("select * from c.csv where NAME like 'x"));
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.Open("select * from my file.csv"));
    EXPECT_EQ(rs.GetLastErrorString().rfind("Query = select * from my file.csv\n", 0), 0u);
    EXPECT_FALSE(db.Execute("delete from c.csv")) << "the files are only read";
}

TEST_F(TextDriverTest, BadFilesFailCleanly) {
    Write("Schema.ini", kSchema);
    OpenDb();
    Write("c.csv", "h\r\n1,0,\"never closed,;\r\n2,0,B,;\r\n");
    EXPECT_FALSE(Opens("select * from c.csv")) << "an unterminated quote";
    Write("c.csv", "h\r\n1,0,A,;\r\n2,0,B\r\n");
    EXPECT_FALSE(Opens("select * from c.csv")) << "a line with too few fields";
    Write("c.csv", "h\r\n1,0,A,;,extra\r\n");
    EXPECT_FALSE(Opens("select * from c.csv")) << "a line with too many fields";
    Write("c.csv", "h\r\n1,0,A\"B,;\r\n");
    EXPECT_FALSE(Opens("select * from c.csv")) << "a quote inside an unquoted field";
    // The file is read afresh once it changes.
    Write("c.csv", "h\r\n1,0,A,;\r\n");
    EXPECT_EQ(Firsts("select NAME from c.csv"), "A");
    Write("c.csv", "h\r\n1,0,Bob,;\r\n");
    EXPECT_EQ(Firsts("select NAME from c.csv"), "Bob");

    Write("c.csv", "h\r\nabc,0,A,;\r\n99999999999,0,B,;\r\n");
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("select * from c.csv"));
    rs.MoveFirst();
    int n = 0;
    EXPECT_FALSE(rs.ReadInt("ID", n)) << "not a number";
    rs.MoveNext();
    EXPECT_FALSE(rs.ReadInt("ID", n)) << "too big to be read as any integer";
}

TEST_F(TextDriverTest, OpeningNeedsAnExistingFolder) {
    CADODatabase missing;
    EXPECT_FALSE(missing.Open("Driver={Microsoft Text Driver (*.txt; *.csv)}; Dbq=" + dir +
                              "none/;Extensions=asc,csv,tab,txt; Persist Security Info=False"));
    EXPECT_NE(missing.GetLastErrorString().find("none/"), std::string::npos);
    EXPECT_FALSE(missing.IsOpen());
    OpenDb();
    EXPECT_TRUE(db.IsOpen());
}

TEST(SchemaIniTest, DescriptionsAreParsedAndOtherSectionsKept) {
    CSchemaIni::SFormat format;
    std::string error;
    const std::string text =
        "; the user's notes\r\n[other.txt]\r\nColNameHeader=False\r\nCol1=X Long\r\n"
        "[C.CSV]\r\nCol2=\"Last Name\" Text Width 18\r\nCol1=ID Short\r\n";
    ASSERT_TRUE(CSchemaIni::ParseSection(text, "c.csv", format, error)) << error;
    EXPECT_TRUE(format.found) << "section names ignore letter case";
    EXPECT_TRUE(format.header);
    ASSERT_EQ(format.columns.size(), 2u);
    EXPECT_EQ(format.columns[0].name, "ID");
    EXPECT_EQ(format.columns[0].kind, EValueKind::Int16);
    EXPECT_EQ(format.columns[1].name, "Last Name");
    EXPECT_EQ(format.columns[1].width, 18);
    ASSERT_TRUE(CSchemaIni::ParseSection(text, "other.txt", format, error));
    EXPECT_FALSE(format.header);
    EXPECT_EQ(format.columns[0].kind, EValueKind::Int32);
    EXPECT_FALSE(CSchemaIni::ParseSection("[a.csv]\r\nCol2=X Char\r\n", "a.csv", format, error))
        << "Col1 is missing";
    EXPECT_FALSE(CSchemaIni::ParseSection("[a.csv]\r\nCol1=X Blob\r\n", "a.csv", format, error));
    EXPECT_FALSE(
        CSchemaIni::ParseSection("[a.csv]\r\nFormat=FixedLength\r\n", "a.csv", format, error));

    const std::string replaced = CSchemaIni::ReplaceSection(text, "c.csv", "[c.csv]\r\nNew=1\r\n");
    EXPECT_EQ(replaced,
              "; the user's notes\r\n[other.txt]\r\nColNameHeader=False\r\nCol1=X Long\r\n"
              "[c.csv]\r\nNew=1\r\n");
    EXPECT_EQ(CSchemaIni::ReplaceSection("[a.txt]\r\nK=V", "b.csv", "[b.csv]\r\n"),
              "[a.txt]\r\nK=V\r\n[b.csv]\r\n");
}

}  // namespace
}  // namespace orvex::test
