#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "link/DeviceLink.h"
#include "link/LinkCodes.h"
#include "tests/QtTestApp.h"
#include "tests/link/RecordingWindow.h"
#include "tests/link/TransferPhase.h"
#include "tests/link/VirtualTime.h"
#include "ui/CommProgressDlg.h"
#include "ui/TextProgressCtrl.h"

namespace orvex::test {
namespace {

using Ctrl = CTextProgressCtrl;

constexpr Ctrl::ColorRef kRed = Ctrl::Rgb(255, 0, 0);
constexpr Ctrl::ColorRef kBlue = Ctrl::Rgb(0, 0, 255);
constexpr Ctrl::ColorRef kWhite = Ctrl::Rgb(255, 255, 255);

bool Is(QRgb pixel, const QColor& color) {
    return pixel == color.rgb();
}

// A bar of a given size on a plain parent, shown offscreen.
class ProgressBarTest : public ::testing::Test {
  protected:
    void Make(int width, int height) {
        parent.setAutoFillBackground(true);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Qt::green);
        parent.setPalette(palette);
        parent.resize(width + 20, height + 20);
        bar = new Ctrl(&parent);
        bar->setGeometry(10, 10, width, height);
        bar->SetBarColor(kRed);
        bar->SetBkColor(kWhite);
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
        QApplication::processEvents();
    }
    QImage Grab() { return bar->grab().toImage(); }
    QImage GrabParent() { return parent.grab().toImage(); }

    QApplication& app = TestApp();
    QWidget parent;
    Ctrl* bar = nullptr;
};

TEST_F(ProgressBarTest, FillsTheTruncatedLengthAndShowsThePercentage) {
    Make(100, 20);
    bar->SetRange(0, 3);
    EXPECT_EQ(bar->SetPos(1), 0);
    EXPECT_EQ(bar->CachedBarLength(), 33);
    EXPECT_EQ(bar->DisplayedText(), "33%");
    EXPECT_EQ(bar->WindowText(), "");

    const QImage image = Grab();
    ASSERT_EQ(image.width(), 100);
    for (int x = 0; x < 100; ++x) {
        // The top row is clear of the centred text.
        EXPECT_TRUE(Is(image.pixel(x, 0), x < 33 ? Qt::red : Qt::white)) << "column " << x;
    }

    // Two thirds: 66.67 pixels and percent, both truncated.
    EXPECT_EQ(bar->SetPos(2), 1);
    EXPECT_EQ(bar->CachedBarLength(), 66);
    EXPECT_EQ(bar->DisplayedText(), "66%");
    const QImage twoThirds = Grab();
    EXPECT_TRUE(Is(twoThirds.pixel(65, 0), Qt::red));
    EXPECT_TRUE(Is(twoThirds.pixel(66, 0), Qt::white));
}

TEST_F(ProgressBarTest, TextAcrossBothPartsIsDrawnInTheOtherPartsColour) {
    Make(200, 24);
    bar->SetRange(0, 2);
    bar->SetPos(1);
    bar->SetWindowText("WWWWWWWWWWWWWWWW");
    QApplication::processEvents();
    EXPECT_EQ(bar->DisplayedText(), "WWWWWWWWWWWWWWWW") << "a window text replaces the percentage";

    const QImage image = Grab();
    bool whiteOnRed = false;
    bool redOnWhite = false;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = 0; x < 200; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (x < 100 && c.red() > 200 && c.green() > 200) {
                whiteOnRed = true;
            }
            if (x >= 100 && c.red() > 200 && c.green() < 60) {
                redOnWhite = true;
            }
            // Only the two colours and their blends appear: nothing blue, green or dark.
            EXPECT_EQ(c.green(), c.blue()) << x << "," << y;
            EXPECT_GT(c.red(), 200) << x << "," << y;
        }
    }
    EXPECT_TRUE(whiteOnRed) << "text over the filled part in the background colour";
    EXPECT_TRUE(redOnWhite) << "text over the empty part in the bar colour";

    // A text colour of its own is used over both parts.
    bar->SetTextColor(Ctrl::Rgb(0, 0, 0));
    QApplication::processEvents();
    const QImage black = Grab();
    bool darkLeft = false;
    bool darkRight = false;
    for (int y = 1; y < black.height() - 1; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (black.pixelColor(x, y).red() < 60) {
                (x < 100 ? darkLeft : darkRight) = true;
            }
        }
    }
    EXPECT_TRUE(darkLeft && darkRight);
}

TEST_F(ProgressBarTest, AnEmptyRangePaintsNothingAtAll) {
    Make(100, 20);
    for (auto [lower, upper] : {std::pair{5, 5}, std::pair{7, 3}}) {
        bar->SetRange32(lower, upper);
        bar->SetPos(lower);
        const int paints = bar->PaintCount();
        bar->repaint();
        EXPECT_GT(bar->PaintCount(), paints);
        const QImage image = GrabParent();
        for (int y = 10; y < 30; ++y) {
            for (int x = 10; x < 110; ++x) {
                ASSERT_TRUE(Is(image.pixel(x, y), Qt::green))
                    << lower << ".." << upper << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(ProgressBarTest, RedrawsOnlyWhenTheFilledPixelsOrTheTextChange) {
    Make(100, 20);
    bar->SetRange32(0, 1000);
    QApplication::processEvents();

    int requests = bar->RedrawRequests();
    int paints = bar->PaintCount();
    EXPECT_EQ(bar->SetPos(10), 0);  // 1 pixel: drawn at once
    EXPECT_EQ(bar->RedrawRequests(), requests + 1);
    EXPECT_EQ(bar->PaintCount(), paints + 1);

    EXPECT_EQ(bar->SetPos(19), 10);  // still 1 pixel
    EXPECT_EQ(bar->DeltaPos(-4), 19);
    QApplication::processEvents();
    EXPECT_EQ(bar->GetPos(), 15);
    EXPECT_EQ(bar->RedrawRequests(), requests + 1);
    EXPECT_EQ(bar->PaintCount(), paints + 1);

    EXPECT_EQ(bar->SetPos(20), 15);  // 2 pixels
    EXPECT_EQ(bar->PaintCount(), paints + 2);

    // The same text again: nothing; another text: one redraw.
    bar->SetWindowText("abc");
    QApplication::processEvents();
    requests = bar->RedrawRequests();
    paints = bar->PaintCount();
    bar->SetWindowText("abc");
    QApplication::processEvents();
    EXPECT_EQ(bar->RedrawRequests(), requests);
    EXPECT_EQ(bar->PaintCount(), paints);
    bar->SetWindowText("abd");
    QApplication::processEvents();
    EXPECT_EQ(bar->RedrawRequests(), requests + 1);
    EXPECT_GT(bar->PaintCount(), paints);

    // Showing the text as it is already shown changes nothing either.
    requests = bar->RedrawRequests();
    bar->SetShowText(true);
    EXPECT_EQ(bar->RedrawRequests(), requests);
    bar->SetShowText(false);
    EXPECT_EQ(bar->RedrawRequests(), requests + 1);

    // A new size forgets the length, so the same position is drawn again.
    bar->resize(120, 20);
    QApplication::processEvents();
    EXPECT_EQ(bar->CachedBarLength(), -1);
    paints = bar->PaintCount();
    bar->SetPos(20);
    EXPECT_EQ(bar->CachedBarLength(), 2);
    EXPECT_EQ(bar->PaintCount(), paints + 1);
}

TEST_F(ProgressBarTest, AVerticalBarFillsFromTheBottomAndShowsNoText) {
    Make(20, 100);
    bar->SetOrientation(Qt::Vertical);
    bar->SetRange(0, 4);
    bar->SetWindowText("WWWW");
    bar->SetPos(1);
    EXPECT_EQ(bar->CachedBarLength(), 25) << "the length runs along the bar";
    QApplication::processEvents();
    const QImage image = Grab();
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 20; ++x) {
            ASSERT_TRUE(Is(image.pixel(x, y), y >= 75 ? Qt::red : Qt::white)) << x << "," << y;
        }
    }
    // A change within one pixel of the height is not drawn; the next pixel row is.
    bar->SetRange(0, 400);
    bar->SetPos(100);
    const int paints = bar->PaintCount();
    bar->SetPos(101);
    EXPECT_EQ(bar->PaintCount(), paints);
    bar->SetPos(104);
    EXPECT_EQ(bar->PaintCount(), paints + 1);
}

TEST_F(ProgressBarTest, RangeStepColoursAndDefaults) {
    Make(100, 20);
    // The 16-bit form keeps the bounds as unsigned 16-bit values.
    bar->SetRange(-1, 70000);
    Ctrl::Range range;
    EXPECT_EQ(bar->GetRange(true, &range), 65535);
    EXPECT_EQ(range.low, 65535);
    EXPECT_EQ(range.high, 70000 & 0xFFFF);
    EXPECT_EQ(bar->GetRange(false), 70000 & 0xFFFF);
    bar->SetRange32(-10, 100000);
    EXPECT_EQ(bar->GetRange(true), -10);
    EXPECT_EQ(bar->GetRange(false), 100000);

    bar->SetRange32(0, 10);
    bar->SetPos(0);
    EXPECT_EQ(bar->SetStep(3), 1);
    EXPECT_EQ(bar->StepIt(), 0);
    EXPECT_EQ(bar->StepIt(), 3);
    EXPECT_EQ(bar->GetPos(), 6);
    // Not clamped to the range; the bar is simply full.
    bar->SetPos(25);
    EXPECT_EQ(bar->GetPos(), 25);
    EXPECT_EQ(bar->DisplayedText(), "250%");
    bar->SetPos(-5);
    EXPECT_EQ(bar->GetPos(), -5);
    QApplication::processEvents();
    EXPECT_TRUE(Is(Grab().pixel(0, 0), Qt::white)) << "nothing filled below the range";

    EXPECT_EQ(bar->SetBarColor(kBlue), kRed);
    EXPECT_EQ(bar->SetBkColor(Ctrl::kDefaultColor), kWhite);
    EXPECT_EQ(bar->SetTextColor(kWhite), Ctrl::kDefaultColor);
    EXPECT_EQ(bar->SetTextColor(Ctrl::kDefaultColor), kWhite);

    // Default colours are the palette's highlight and base.
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
    palette.setColor(QPalette::Base, QColor(200, 210, 220));
    bar->setPalette(palette);
    bar->SetBarColor(Ctrl::kDefaultColor);
    bar->SetRange32(0, 2);
    bar->SetPos(1);
    QApplication::processEvents();
    const QImage image = Grab();
    EXPECT_TRUE(Is(image.pixel(0, 0), QColor(10, 20, 30)));
    EXPECT_TRUE(Is(image.pixel(99, 0), QColor(200, 210, 220)));
}

TEST_F(ProgressBarTest, ReadsAsAProgressBarWithItsText) {
    Make(100, 20);
    bar->setAccessibleName("Progress");
    bar->SetRange(0, 4);
    bar->SetPos(2);
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->role(), QAccessible::ProgressBar);
    EXPECT_EQ(node->text(QAccessible::Name), "Progress");
    EXPECT_EQ(node->text(QAccessible::Value), "50%");
    bar->SetWindowText("Downloading contacts... 2 / 4");
    EXPECT_EQ(node->text(QAccessible::Value), "Downloading contacts... 2 / 4");
    QAccessibleValueInterface* value = node->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 2);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 4);
}

// The dialog over a link that runs in virtual time and a main window that records messages.
class ProgressDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        owner.setGeometry(100, 100, 640, 480);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }

    // Runs the dialog modally and does `act` inside its loop; the loop must end by itself.
    void RunShown(std::function<void()> act) {
        bool acted = false;
        QTimer::singleShot(0, &dialog, [&] {
            acted = true;
            act();
        });
        // Only a safety net against a test that hangs; no test relies on it.
        QTimer guard;
        guard.setSingleShot(true);
        bool rescued = false;
        QObject::connect(&guard, &QTimer::timeout, &dialog, [&] {
            rescued = true;
            dialog.done(QDialog::Rejected);
        });
        guard.start(30000);
        dialog.Show();
        EXPECT_TRUE(acted);
        EXPECT_FALSE(rescued) << "the dialog was never closed";
        EXPECT_FALSE(dialog.IsShown());
    }
    // The failure handler's share: the transfer stops and the window closes.
    void CloseOnFailure() {
        window.onSend = [this](uint32_t message, intptr_t, intptr_t) {
            if (message == kMsgFailure) {
                link.Transfer().End();
                dialog.Close();
            }
        };
    }
    static Message Stopped() { return {kMsgFailure, 0, kFailureStopped, true}; }

    QApplication& app = TestApp();
    CVirtualTime time;
    CByteRecorder line;
    CDeviceLink link{time, time, &line};
    CRecordingWindow window;
    QWidget owner;
    CCommProgressDlg dialog{link, window, &owner};
};

TEST_F(ProgressDialogTest, DownloadCountsRecordsAndCompletes) {
    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kDownload);
    link.Transfer().Expect(5);
    RunShown([&] {
        EXPECT_TRUE(dialog.IsShown());
        CTextProgressCtrl& bar = dialog.Bar();
        EXPECT_EQ(bar.WindowText(), "Downloading contacts... 0 / 5");
        EXPECT_EQ(bar.GetPos(), 0);
        EXPECT_EQ(bar.GetRange(true), 0);
        EXPECT_EQ(bar.GetRange(false), 5);
        EXPECT_EQ(dialog.Counter(), 1);
        EXPECT_EQ(dialog.Total(), 5);
        EXPECT_EQ(bar.BarColor(), kRed);
        EXPECT_EQ(bar.BkColor(), kWhite);
        EXPECT_EQ(bar.TextColor(), Ctrl::kDefaultColor);
        EXPECT_TRUE(bar.ShowsText());

        dialog.Step();
        EXPECT_EQ(bar.WindowText(), "Downloading contacts... 1 / 5");
        EXPECT_EQ(bar.GetPos(), 1);
        dialog.Step();
        EXPECT_EQ(bar.WindowText(), "Downloading contacts... 2 / 5");
        EXPECT_EQ(bar.GetPos(), 2);
        EXPECT_EQ(dialog.Counter(), 3);

        dialog.Final();
        EXPECT_EQ(bar.WindowText(), "Download completed.");
        EXPECT_EQ(bar.GetPos(), 5);
        EXPECT_EQ(dialog.Counter(), 0);
        EXPECT_EQ(dialog.Total(), 0);
        dialog.Close();
    });
    EXPECT_TRUE(window.messages.empty()) << "a completed transfer sends nothing";
}

TEST_F(ProgressDialogTest, UploadCountsOnThroughTheGroupPhase) {
    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kUploadRows);
    link.Transfer().Expect(3);
    RunShown([&] {
        CTextProgressCtrl& bar = dialog.Bar();
        EXPECT_EQ(bar.WindowText(), "Uploading contacts... 0 / 3");
        EXPECT_EQ(bar.BarColor(), kBlue);
        EXPECT_EQ(bar.BkColor(), kWhite);
        dialog.Step();
        EXPECT_EQ(bar.WindowText(), "Uploading contacts... 1 / 3");
        // The group phase sets a new expected count, but the window keeps its range.
        test::PutInPhase(link.Transfer(), CTransfer::EPhase::kUploadGroups);
        link.Transfer().Expect(2);
        dialog.Step();
        EXPECT_EQ(bar.WindowText(), "Uploading contacts... 2 / 3");
        EXPECT_EQ(bar.GetPos(), 2);
        EXPECT_EQ(bar.GetRange(false), 3);
        dialog.Final();
        EXPECT_EQ(bar.WindowText(), "Upload completed.");
        EXPECT_EQ(bar.GetPos(), 3);
        dialog.Close();
    });
}

TEST_F(ProgressDialogTest, StopFromMouseOrKeyboardSendsTheUserStop) {
    CloseOnFailure();
    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kDownload);
    link.Transfer().Expect(4);
    RunShown([&] {
        EXPECT_EQ(dialog.focusWidget(), &dialog.StopButton()) << "Stop has the focus";
        QTest::mouseClick(&dialog.StopButton(), Qt::LeftButton);
    });
    EXPECT_EQ(window.Take(), std::vector<Message>{Stopped()});

    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kUploadRows);
    RunShown([&] { QTest::keyClick(&dialog.StopButton(), Qt::Key_Space); });
    EXPECT_EQ(window.Take(), std::vector<Message>{Stopped()});
}

TEST_F(ProgressDialogTest, EscAndClosingTheWindowStopLikeTheButton) {
    // A handler that only records: the window stays until the handler closes it.
    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kDownload);
    link.Transfer().Expect(4);
    RunShown([&] {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog.IsShown()) << "only the failure handler closes the window";
        EXPECT_FALSE(dialog.close());
        EXPECT_TRUE(dialog.IsShown());
        dialog.Close();
    });
    EXPECT_EQ(window.Take(), (std::vector<Message>{Stopped(), Stopped()}));

    CloseOnFailure();
    RunShown([&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(window.Take(), std::vector<Message>{Stopped()});
}

TEST_F(ProgressDialogTest, StopWithNoTransferLeftClosesTheWindowItself) {
    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kDownload);
    link.Transfer().Expect(2);
    RunShown([&] {
        link.Transfer().End();  // the transfer has ended under the window
        dialog.StopButton().click();
    });
    EXPECT_EQ(window.Take(), std::vector<Message>{Stopped()});
}

TEST_F(ProgressDialogTest, ServesOneTransferAfterAnother) {
    dialog.Close();  // not shown: nothing happens
    EXPECT_FALSE(dialog.IsShown());

    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kDownload);
    link.Transfer().Expect(10);
    RunShown([&] {
        for (int i = 0; i < 7; ++i) {
            dialog.Step();
        }
        dialog.Close();  // a failure ends it without the final text
    });
    EXPECT_EQ(dialog.Counter(), 8);

    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kUploadRows);
    link.Transfer().Expect(2);
    RunShown([&] {
        EXPECT_EQ(dialog.Bar().WindowText(), "Uploading contacts... 0 / 2");
        EXPECT_EQ(dialog.Bar().GetPos(), 0);
        EXPECT_EQ(dialog.Bar().BarColor(), kBlue);
        EXPECT_EQ(dialog.Total(), 2);
        dialog.Step();
        EXPECT_EQ(dialog.Bar().WindowText(), "Uploading contacts... 1 / 2");
        dialog.Close();
    });
    dialog.Close();
    EXPECT_FALSE(dialog.IsShown());
}

TEST_F(ProgressDialogTest, OpensCentredWithoutCaptionAndNamedControls) {
    test::PutInPhase(link.Transfer(), CTransfer::EPhase::kDownload);
    link.Transfer().Expect(5);
    RunShown([&] {
        EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
        const QPoint centre = dialog.frameGeometry().center();
        const QPoint ownerCentre = owner.frameGeometry().center();
        EXPECT_LE(std::abs(centre.x() - ownerCentre.x()), 1);
        EXPECT_LE(std::abs(centre.y() - ownerCentre.y()), 1);

        QAccessibleInterface* stop = QAccessible::queryAccessibleInterface(&dialog.StopButton());
        ASSERT_NE(stop, nullptr);
        EXPECT_EQ(stop->role(), QAccessible::Button);
        EXPECT_EQ(stop->text(QAccessible::Name), "Stop");
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(&dialog.Bar());
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->text(QAccessible::Name), "Progress");
        EXPECT_EQ(bar->text(QAccessible::Value), "Downloading contacts... 0 / 5");

        // The label and the bar as a user sees them, the bar at 2 of 5.
        bool labelFound = false;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            labelFound |= label->text() == "Now communicating..." && label->isVisible();
        }
        EXPECT_TRUE(labelFound);
        dialog.Step();
        dialog.Step();
        QApplication::processEvents();
        const QImage image = dialog.Bar().grab().toImage();
        const int width = image.width();
        EXPECT_TRUE(Is(image.pixel(0, 0), Qt::red));
        EXPECT_TRUE(Is(image.pixel(width * 2 / 5 - 1, 0), Qt::red));
        EXPECT_TRUE(Is(image.pixel(width * 2 / 5 + 1, 0), Qt::white));
        EXPECT_TRUE(Is(image.pixel(width - 1, 0), Qt::white));
        dialog.Close();
    });
}

}  // namespace
}  // namespace orvex::test
