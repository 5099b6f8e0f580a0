#include <QSignalSpy>

#include "tests/ui/UiTestSupport.h"
#include "ui/RowSourceModel.h"

namespace orvex::test {
namespace {

class RowSourceModelTest : public CContactsDbTest {
  protected:
    void SetUp() override {
        CContactsDbTest::SetUp();
        Add(1, "Ann", "One");
        Add(2, "Ben", "Two");
        Add(3, "Cid", "Three");
        OpenPersonal();
        model.SetSource(host.personal.GetRecordset());
    }
    QString At(int row, int column) const { return model.index(row, column).data().toString(); }

    CRowSourceModel model;
};

TEST_F(RowSourceModelTest, ShowsTheRowsAndColumnsOfTheRecordset) {
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 22);
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), "strFName");
    EXPECT_EQ(model.headerData(21, Qt::Horizontal).toString(), "strNote");
    EXPECT_EQ(At(1, 3), "Ben");
    EXPECT_EQ(At(2, 4), "Three");
    EXPECT_EQ(At(0, 0), "1");
    EXPECT_EQ(At(0, 21), "");
    EXPECT_FALSE(model.index(0, 3).flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(model.index(0, 3).flags() & Qt::ItemIsSelectable);
    EXPECT_FALSE(model.index(5, 3).data().isValid());
    // A table has no children.
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 0);
}

TEST_F(RowSourceModelTest, FollowsChangesOfTheRecordset) {
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    host.personal.MoveTo(2);
    ASSERT_TRUE(host.personal.WriteText("strLName", "Zwei"));
    ASSERT_TRUE(host.personal.Update());
    EXPECT_EQ(At(1, 4), "Zwei");
    EXPECT_EQ(resets.count(), 1);

    ASSERT_TRUE(host.personal.AddNew());
    ASSERT_TRUE(host.personal.WriteInt("iCID", 4));
    ASSERT_TRUE(host.personal.WriteText("strFName", "Dot"));
    ASSERT_TRUE(host.personal.Update());
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(At(3, 3), "Dot");

    host.personal.MoveFirst();
    ASSERT_TRUE(host.personal.Delete());
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(At(0, 3), "Ben");

    ASSERT_TRUE(host.personal.SortBy("strFName DESC"));
    EXPECT_EQ(At(0, 3), "Dot");

    host.personal.Close();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.CurrentRow(), -1);
}

TEST_F(RowSourceModelTest, CurrentRowMovesBothWays) {
    QSignalSpy moves(&model, &CRowSourceModel::CurrentRowChanged);
    EXPECT_EQ(model.CurrentRow(), 0);
    host.personal.MoveTo(3);
    ASSERT_EQ(moves.count(), 1);
    EXPECT_EQ(moves.at(0).at(0).toInt(), 2);
    EXPECT_EQ(model.CurrentRow(), 2);

    model.SetCurrentRow(1);
    EXPECT_EQ(host.personal.Position(), 2);
    ASSERT_EQ(moves.count(), 2);
    EXPECT_EQ(moves.at(1).at(0).toInt(), 1);

    // Past the last row there is no current row.
    host.personal.MoveLast();
    host.personal.MoveNext();
    EXPECT_EQ(moves.last().at(0).toInt(), -1);
    EXPECT_EQ(model.CurrentRow(), -1);

    model.SetCurrentRow(7);
    EXPECT_TRUE(host.personal.IsEOF());
}

TEST_F(RowSourceModelTest, UnboundAndDestroyedModelsLeaveTheRecordsetAlone) {
    {
        CRowSourceModel other;
        other.SetSource(host.personal.GetRecordset());
        EXPECT_EQ(other.rowCount(), 3);
    }
    // The destroyed model no longer listens.
    host.personal.MoveTo(2);
    ASSERT_TRUE(host.personal.WriteText("strFName", "Bo"));
    ASSERT_TRUE(host.personal.Update());
    EXPECT_EQ(At(1, 3), "Bo");

    model.SetSource(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_EQ(model.CurrentRow(), -1);
    host.personal.MoveFirst();
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace orvex::test
