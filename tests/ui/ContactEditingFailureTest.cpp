#include "tests/ui/EditingTestSupport.h"
#include "ui/RowSourceModel.h"

namespace orvex::test {
namespace {

class ContactEditingFailureTest : public CEditingTest {
  protected:
    // The database refuses to change any entry index from now on.
    void RefuseRenumbering() {
        ASSERT_TRUE(host.database.Execute(
            "create trigger refuse_index before update of iEIdx on t_Contacts "
            "begin select raise(abort, 'renumbering refused'); end"))
            << host.database.GetLastErrorString();
    }
    bool Listed(const char* first) const {
        for (int row = 0; row < GridRows(); ++row) {
            if (view->Grid()->Model()->index(row, 3).data().toString() == QLatin1String(first)) {
                return true;
            }
        }
        return false;
    }
    void ExpectOneFailure(const char* what, const char* reason) {
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_TRUE(
            failures[0].startsWith(QString::fromLatin1("Orvex Manager|") + QLatin1String(what)))
            << failures[0].toStdString();
        EXPECT_TRUE(failures[0].contains(QLatin1String(reason))) << failures[0].toStdString();
        EXPECT_TRUE(answers.reports.empty());
    }
};

TEST_F(ContactEditingFailureTest, IdentifierBeyondSixteenBitsIsReportedAndNothingIsSaved) {
    Add(32767, "Max");
    MakeView();
    Click(V::kNew);
    Type(V::kFirstName, "Ann");
    Click(V::kSave);
    ExpectOneFailure("The contact could not be saved.", "32768");
    EXPECT_EQ(TableRows(), 1);
    EXPECT_FALSE(Editing());
    EXPECT_FALSE(host.busy);
    EXPECT_EQ(GridRows(), 1);
    EXPECT_FALSE(Listed("Ann"));
    EXPECT_EQ(Text(V::kFirstName), "Max");
    // No transaction was left open: the next change goes through and another reader sees it.
    Click(V::kEdit);
    Type(V::kLastName, "Power");
    Click(V::kSave);
    EXPECT_EQ(failures.size(), 1u);
    CADODatabase other;
    ASSERT_TRUE(other.Open(CContactsTable::ConnectionString(path) + ";Mode=Read"))
        << other.GetLastErrorString();
    CADORecordset rs(&other);
    ASSERT_TRUE(rs.Open("select strLName from t_Contacts where iCID=32767"));
    rs.MoveFirst();
    std::string last;
    rs.ReadText(0, last);
    EXPECT_EQ(last, "Power");
}

// A table whose highest number cannot be read (another tool stored a real there) gives no
// number to a new contact: it is refused, never saved under a made-up number.
TEST_F(ContactEditingFailureTest, ANewContactNeedsANumberThatCanBeRead) {
    Add(1, "Ann");
    ASSERT_TRUE(
        host.database.Execute("insert into t_Contacts (iCID, iEIdx, iGroup, strFName) "
                              "values (1e300, 2, 1, 'Odd group')"))
        << host.database.GetLastErrorString();
    MakeView();
    Click(V::kNew);
    Type(V::kFirstName, "Bo");
    Click(V::kSave);
    ExpectOneFailure("The contact could not be saved.", "cannot be read");
    CADORecordset count(&host.database);
    ASSERT_TRUE(count.Open("select count(*) from t_Contacts", CADORecordset::openQuery));
    int rows = 0;
    ASSERT_TRUE(count.ReadInt(0, rows));
    EXPECT_EQ(rows, 2) << "nothing was saved";
    EXPECT_FALSE(Listed("Bo"));
}

TEST_F(ContactEditingFailureTest, RefusedRenumberingRollsTheEditBack) {
    Add(1, "Ann");
    Add(2, "Bob");
    MakeView();
    RefuseRenumbering();
    Click(V::kEdit);
    Type(V::kFirstName, "Zoe");
    Click(V::kSave);
    ExpectOneFailure("The contact could not be saved.", "renumbering refused");
    EXPECT_EQ(Stored(1).first, "Ann");
    EXPECT_EQ(Text(V::kFirstName), "Ann");
    EXPECT_FALSE(Listed("Zoe"));
    EXPECT_EQ(GridRow(), 0);
    EXPECT_FALSE(Editing());
    EXPECT_FALSE(Button(V::kEdit)->isChecked());
}

TEST_F(ContactEditingFailureTest, RefusedRenumberingTakesTheNewRowAwayAgain) {
    Add(1, "Ann");
    Add(2, "Bob");
    MakeView();
    view->Grid()->SetRow(1);
    view->ShowCurrentContact();
    RefuseRenumbering();
    Click(V::kNew);
    Type(V::kFirstName, "Abe");
    Click(V::kSave);
    ExpectOneFailure("The contact could not be saved.", "renumbering refused");
    EXPECT_EQ(TableRows(), 2);
    EXPECT_FALSE(Stored(3).found);
    EXPECT_FALSE(Listed("Abe"));
    // The grid stays where it was before New.
    EXPECT_EQ(GridRow(), 1);
    EXPECT_EQ(Text(V::kFirstName), "Bob");
    EXPECT_FALSE(Editing());
}

TEST_F(ContactEditingFailureTest, TableDroppedBehindTheViewsBack) {
    Add(1, "Ann");
    MakeView();
    Click(V::kEdit);
    Type(V::kFirstName, "Zoe");
    ASSERT_TRUE(host.database.Execute("drop table t_Contacts"));
    Click(V::kSave);
    ExpectOneFailure("The contact could not be saved.", "t_Contacts");
    // There is nothing to show any more, and certainly not the edit.
    EXPECT_EQ(GridRows(), 0);
    EXPECT_EQ(Text(V::kFirstName), "");
    EXPECT_FALSE(Editing());
    EXPECT_FALSE(host.busy);
}

TEST_F(ContactEditingFailureTest, RefusedDeleteKeepsAndShowsTheContact) {
    Add(1, "Ann");
    Add(2, "Bob");
    Add(3, "Cy");
    MakeView();
    view->Grid()->SetRow(1);
    view->ShowCurrentContact();
    ASSERT_TRUE(
        host.database.Execute("create trigger refuse_delete before delete on t_Contacts "
                              "begin select raise(abort, 'deleting refused'); end"));
    Click(V::kDel);
    ExpectOneFailure("The contact could not be deleted.", "deleting refused");
    EXPECT_TRUE(Stored(2).found);
    EXPECT_EQ(GridRows(), 3);
    EXPECT_EQ(GridRow(), 1);
    EXPECT_EQ(Text(V::kFirstName), "Bob");
}

TEST_F(ContactEditingFailureTest, DeleteWhoseRenumberingFailsIsUndone) {
    Add(1, "Ann");
    Add(2, "Bob");
    MakeView();
    RefuseRenumbering();
    Click(V::kDel);
    ExpectOneFailure("The contact could not be deleted.", "renumbering refused");
    EXPECT_TRUE(Stored(1).found);
    EXPECT_EQ(GridRows(), 2);
    EXPECT_EQ(GridRow(), 0);
    EXPECT_EQ(Text(V::kFirstName), "Ann");
}

}  // namespace
}  // namespace orvex::test
