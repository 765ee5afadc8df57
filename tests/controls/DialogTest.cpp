#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"
#include "controls/CTEdit.h"
#include "controls/CTStatic.h"
#include "controls/DialogUnits.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/support/TestSupport.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { qvtest::WidgetApp(); }
    qvtest::TempProgramDir dir;
};

TEST_F(DialogTest, EnterAndEscapeNeitherCloseNorPressTheDefaultButton) {
    CTDialog dialog;
    auto* button = new QPushButton(QStringLiteral("OK"), &dialog);
    button->setDefault(true);
    auto* edit = new CTEdit(&dialog);
    edit->move(0, 40);
    QSignalSpy clicks(button, &QPushButton::clicked);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    for (QWidget* target : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(edit)}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        QTest::keyClick(target, Qt::Key_Escape);
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(finished.count(), 0);
    // Other keys still reach the text box.
    QTest::keyClicks(edit, QStringLiteral("ab"));
    EXPECT_EQ(edit->text(), QStringLiteral("ab"));
    EXPECT_FALSE(edit->hasFrame());

    // Nor does Enter press a focused picture button.
    auto* picture = new CTButtonPicture(&dialog);
    QSignalSpy pictureClicks(picture, &QPushButton::clicked);
    picture->setFocus();
    QTest::keyClick(picture, Qt::Key_Return);
    EXPECT_EQ(pictureClicks.count(), 0);
}

TEST_F(DialogTest, BackgroundIsTheStretchedImageElseTheFillElseThePlatformColour) {
    CTDialog dialog;
    dialog.resize(60, 40);
    dialog.SetFillBackground(true, MakeColorRef(10, 20, 30));
    EXPECT_EQ(QColor(qvtest::Grab(dialog).pixel(30, 20)), QColor(10, 20, 30));

    const QString image = qvtest::WriteImage(QString::fromStdString(dir.file("bk.jpg")), {2, 2},
                                             QColor(0, 200, 0), "png");
    dialog.SetBackgroundImage(image);
    ASSERT_TRUE(dialog.HasBackgroundImage());
    const QImage shot = qvtest::Grab(dialog);
    EXPECT_EQ(QColor(shot.pixel(59, 39)), QColor(0, 200, 0)) << "stretched to the client area";

    // An undecodable file leaves no image; an empty path changes nothing.
    dialog.SetBackgroundImage(QString::fromStdString(dir.file("missing.jpg")));
    EXPECT_FALSE(dialog.HasBackgroundImage());
    EXPECT_EQ(QColor(qvtest::Grab(dialog).pixel(30, 20)), QColor(10, 20, 30));
    dialog.SetBackgroundImage(image);
    dialog.SetBackgroundImage(QString());
    EXPECT_TRUE(dialog.HasBackgroundImage());
}

TEST_F(DialogTest, ChildPanelsAreChildrenAndSwallowPresses) {
    CTDialog window;
    window.SetDragByBackground(true);
    CTDialog panel(&window, CTDialog::Kind::Child);
    EXPECT_FALSE(panel.isWindow());
    EXPECT_TRUE(window.isWindow());
    window.resize(200, 200);
    panel.setGeometry(100, 100, 50, 50);
    window.show();
    const QPoint before = window.pos();
    QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(&panel, QPoint(30, 30));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(window.pos(), before) << "a press on a panel does not drag the window";
}

TEST(DialogUnits, ConvertWithQuarterWidthAndEighthHeight) {
    const DialogUnits du(6, 14);
    EXPECT_EQ(du.X(494), 741);
    EXPECT_EQ(du.Y(415), 726);
    EXPECT_EQ(du.X(17), 26); // 25.5 rounds up
    EXPECT_EQ(du.Rect(454, 7, 17, 10), QRect(681, 12, 26, 18));
    EXPECT_GT(DialogUnits::Default().baseX(), 0);
}

TEST_F(DialogTest, StaticTakesItsStyleAndDrawsTransparently) {
    CTStatic label;
    label.SetupStatic(QStringLiteral("Arial"), MakeColorRef(142, 142, 142), MakeColorRef(1, 1, 1),
                      700, 15);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(142, 142, 142));
    EXPECT_EQ(label.font().weight(), QFont::Bold);
    EXPECT_EQ(label.BkColor(), MakeColorRef(1, 1, 1));
    EXPECT_FALSE(label.autoFillBackground());
}

} // namespace
