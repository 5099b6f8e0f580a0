// Help > Contents: the desktop's opener gets the page; where it cannot start or fails, the
// page is shown in the program's own window, with working links and Back.
#include <gtest/gtest.h>

#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "app/HelpCommand.h"
#include "tests/QtTestApp.h"
#include "tests/app/settings/TempFolder.h"
#include "ui/HelpWindow.h"

namespace orvex::test {
namespace {

class HelpCommandTest : public TempFolder {
  protected:
    void SetUp() override {
        TempFolder::SetUp();
        page = QString::fromStdString(dir + "OrvexMgr.html");
        std::ofstream(dir + "OrvexMgr.html")
            << "<html><body><p>Top</p><a href=\"#ports\">Ports</a><h2 id=\"ports\">Ports</h2>"
               "</body></html>";
    }
    QApplication& app = TestApp();
    QWidget owner;
    CHelpCommand help{&owner};
    QString page;
};

TEST_F(HelpCommandTest, AnOpenerThatWorksIsAllThereIs) {
    help.SetOpener({"sh", "-c", "test -f \"$0\""});
    help.Open(page);
    QTest::qWait(500);
    EXPECT_EQ(help.Window(), nullptr);
}

TEST_F(HelpCommandTest, AFailingOrMissingOpenerShowsTheProgramsOwnWindow) {
    for (const QStringList& opener :
         {QStringList{"false"}, QStringList{dir.c_str() + QString("no-such-opener")}}) {
        CHelpCommand command(&owner);
        command.SetOpener(opener);
        command.Open(page);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return command.Window() && command.Window()->isVisible(); }, 5000))
            << opener.join(' ').toStdString();
        CHelpWindow& window = *command.Window();
        EXPECT_EQ(window.CurrentPage(), page);
        EXPECT_TRUE(window.Browser()->toPlainText().contains("Top"));

        // A link within the page, then Back.
        auto* back = window.findChild<QToolButton*>();
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->accessibleName(), "Back");
        EXPECT_FALSE(back->isEnabled());
        QUrl ports = QUrl::fromLocalFile(page);
        ports.setFragment("ports");
        window.Browser()->setSource(ports);
        EXPECT_TRUE(back->isEnabled());
        back->click();
        EXPECT_FALSE(back->isEnabled());
        window.close();
    }
}

TEST_F(HelpCommandTest, AMissingPageIsSaidSo) {
    help.SetOpener({"true"});
    help.Open(page + ".gone");
    ASSERT_NE(help.Window(), nullptr);
    EXPECT_TRUE(help.Window()->Browser()->toPlainText().contains("is missing"));
}

}  // namespace
}  // namespace orvex::test
