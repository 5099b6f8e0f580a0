#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/DataGrid.h"
#include "ui/RowSourceModel.h"

namespace orvex::test {
namespace {

class DataGridTest : public CContactsDbTest {
  protected:
    void SetUp() override {
        CContactsDbTest::SetUp();
        for (int i = 1; i <= 5; ++i) {
            Add(i, std::string(1, static_cast<char>('A' + i - 1)) + "name");
        }
        OpenPersonal();
        grid.resize(600, 400);
        grid.SetDataSource(host.personal.GetRecordset());
    }

    CDataGrid grid;
};

TEST_F(DataGridTest, ABindingShowsEveryColumnByItsFieldName) {
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.ColumnCount(), 22);
    for (int c = 0; c < 22; ++c) {
        EXPECT_TRUE(grid.IsColumnVisible(c)) << c;
        EXPECT_EQ(grid.ColumnAlignment(c), CDataGrid::kAlignLeft);
    }
    EXPECT_EQ(grid.ColumnCaption(3), "strFName");
    EXPECT_EQ(grid.Row(), 0);

    grid.SetColumnVisible(0, false);
    grid.SetColumnCaption(3, "First Name");
    grid.SetColumnAlignment(8, CDataGrid::kAlignCenter);
    grid.SetColumnWidth(3, 99.6F);
    EXPECT_FALSE(grid.IsColumnVisible(0));
    EXPECT_EQ(grid.ColumnWidth(3), 100);
    EXPECT_EQ(grid.ColumnAlignment(8), CDataGrid::kAlignCenter);
    grid.SetColumnAlignment(7, CDataGrid::kAlignRight);
    EXPECT_EQ(grid.ColumnAlignment(7), CDataGrid::kAlignRight);

    // Refresh keeps the columns as they are set; a new binding starts again.
    grid.Refresh();
    EXPECT_FALSE(grid.IsColumnVisible(0));
    EXPECT_EQ(grid.ColumnCaption(3), "First Name");
    grid.SetDataSource(nullptr);
    EXPECT_EQ(grid.ColumnCount(), 0);
    EXPECT_EQ(grid.Row(), -1);
    grid.SetDataSource(host.personal.GetRecordset());
    EXPECT_TRUE(grid.IsColumnVisible(0));
    EXPECT_EQ(grid.ColumnCaption(3), "strFName");
}

TEST_F(DataGridTest, SettingTheRowMovesTheRecordsetWithoutAnEvent) {
    QSignalSpy changes(&grid, &CDataGrid::RowColChange);
    grid.SetRow(3);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(host.personal.Position(), 4);
    grid.SetRow(9);
    grid.SetRow(-1);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(host.personal.Position(), 4);
    host.personal.MoveTo(2);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(DataGridTest, TheUsersMovesAreAnnounced) {
    QSignalSpy changes(&grid, &CDataGrid::RowColChange);
    QSignalSpy clicks(&grid, &CDataGrid::Click);
    QTest::keyClick(grid.Table(), Qt::Key_Down);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toInt(), 0);
    EXPECT_EQ(host.personal.Position(), 2);
    QTest::keyClick(grid.Table(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(host.personal.Position(), 5);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(clicks.count(), 0);

    grid.show();
    QApplication::processEvents();
    const QRect cell = grid.Table()->visualRect(grid.Table()->model()->index(0, 3));
    QTest::mouseClick(grid.Table()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(changes.count(), 3);
    EXPECT_EQ(host.personal.Position(), 1);
}

TEST_F(DataGridTest, FollowsTheRecordsetWhenARowGoes) {
    grid.SetRow(2);
    ASSERT_TRUE(host.personal.Delete());
    EXPECT_EQ(grid.RowCount(), 4);
    // The row after the deleted one.
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Table()->model()->index(grid.Row(), 3).data().toString(), "Dname");
    host.personal.Close();
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.Row(), -1);
}

}  // namespace
}  // namespace orvex::test
