#include <gtest/gtest.h>

#include <QLabel>

#include "app/SwitchSplitterWnd.h"
#include "tests/QtTestApp.h"

namespace orvex::test {
namespace {

QWidget* Label(QWidget* pane) {
    return new QLabel("view", pane);
}
QWidget* Fails(QWidget*) {
    return nullptr;
}

int PaneIdOf(QWidget* w) {
    return w->property(CSwitchSplitterWnd::kPaneIdProperty).toInt();
}

TEST(SwitchSplitterTest, NumbersViewsAndAFailureUsesNoNumber) {
    TestApp();
    CSwitchSplitterWnd splitter(2);
    EXPECT_EQ(splitter.AddView(0, 0, Label), 1);
    EXPECT_EQ(splitter.AddView(0, 1, Fails), -1);
    EXPECT_EQ(splitter.AddView(0, 1, Label), 2);
    EXPECT_EQ(splitter.GetView(0), nullptr);
    int row = -9;
    int column = -9;
    splitter.GetViewPane(2, &row, &column);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 1);
    EXPECT_EQ(CSwitchSplitterWnd::PanePosition(0, 1), 0x10000);
    splitter.GetViewPane(7, &row, &column);
    EXPECT_EQ(row, 0) << "an unknown number leaves the out-arguments alone";
    int number = -9;
    EXPECT_EQ(splitter.GetViewInPane(0, 1, &number), splitter.GetView(2));
    EXPECT_EQ(number, 2);
    splitter.ShowView(0);  // never registered: nothing happens
    EXPECT_EQ(splitter.GetViewInPane(0, 0, &number), splitter.GetView(1));
}

TEST(SwitchSplitterTest, SecondViewInAPaneSwapsWithTheFirst) {
    TestApp();
    CSwitchSplitterWnd splitter(2);
    splitter.show();
    const int first = splitter.AddView(0, 1, Label);
    const int second = splitter.AddView(0, 1, Label);
    QWidget* a = splitter.GetView(first);
    QWidget* b = splitter.GetView(second);
    EXPECT_FALSE(a->isVisible());
    EXPECT_EQ(PaneIdOf(a), 0);
    EXPECT_EQ(PaneIdOf(b), CSwitchSplitterWnd::PaneId(0, 1));
    splitter.ShowView(first);
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(b->isVisible());
    EXPECT_EQ(PaneIdOf(a), CSwitchSplitterWnd::kPaneFirst + 1);
    EXPECT_EQ(PaneIdOf(b), 0);
    // Showing the view already shown keeps it shown.
    splitter.ShowView(first);
    EXPECT_TRUE(a->isVisible());
    // A failed creation brings the hidden view back.
    EXPECT_EQ(splitter.AddView(0, 1, Fails), -1);
    EXPECT_TRUE(a->isVisible());
    EXPECT_EQ(splitter.HideCurrentView(0, 1), first);
    EXPECT_EQ(splitter.HideCurrentView(0, 0), -1);
}

}  // namespace
}  // namespace orvex::test
