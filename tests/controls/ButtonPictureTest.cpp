#include "controls/CTButtonPicture.h"
#include "controls/SkinStyle.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/support/TestSupport.h"

#include <QEnterEvent>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class ButtonPictureTest : public ::testing::Test {
protected:
    void SetUp() override { qvtest::WidgetApp(); }
    QString Image(const char* name, QColor color, QSize size = {10, 10},
                  const char* format = "bmp") {
        return qvtest::WriteImage(QString::fromStdString(dir.file(name)), size, color, format);
    }
    QString Missing() const { return QString::fromStdString(dir.file("missing.bmp")); }
    qvtest::TempProgramDir dir;
};

QColor Pixel(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

TEST_F(ButtonPictureTest, ImagesAreTakenInOrderUpToTheFirstThatFails) {
    CTButtonPicture button;
    const QString red = Image("red.bmp", Qt::red);
    const QString green = Image("green.bmp", Qt::green);
    const QString blue = Image("blue.bmp", Qt::blue);

    button.SetButtonImages(red, green, Missing(), blue);
    EXPECT_FALSE(button.Image(CTButtonPicture::Normal).isNull());
    EXPECT_FALSE(button.Image(CTButtonPicture::Hover).isNull());
    EXPECT_TRUE(button.Image(CTButtonPicture::Pressed).isNull());
    EXPECT_TRUE(button.Image(CTButtonPicture::Disabled).isNull()) << "stops at the failed image";

    // A failed normal image changes nothing.
    button.SetButtonImages(blue, blue, blue, blue);
    button.SetButtonImages(Missing(), red, red, red);
    for (auto state : {CTButtonPicture::Normal, CTButtonPicture::Hover, CTButtonPicture::Pressed,
                       CTButtonPicture::Disabled})
        EXPECT_EQ(Pixel(button.Image(state), 0, 0), QColor(Qt::blue)) << state;

    // The decoder looks at the content: a PNG named .bmp loads.
    const QString png = Image("png_named.bmp", Qt::yellow, {10, 10}, "png");
    button.SetButtonImages(png, png, png, png);
    EXPECT_EQ(Pixel(button.Image(CTButtonPicture::Normal), 0, 0), QColor(Qt::yellow));
}

TEST(CaptionPosition, FollowsTheAlignmentTable) {
    const QSize button(100, 30);
    const QSize text(40, 10);
    struct Case {
        int alignment;
        int margin;
        QPoint expected;
    } cases[] = {
        {256, 5, {7, 10}},   {512, 5, {53, 10}}, {768, 0, {30, 10}},
        {1024, 9, {0, 0}},   {1792, 0, {30, 0}}, {2048, 0, {0, 20}},
        {2816, 0, {30, 20}}, {4096, 0, {0, 0}},  {0, 0, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTButtonPicture::CaptionPosition(c.alignment, c.margin, button, text), c.expected)
            << c.alignment;
    // A caption wider than the button: left with margin 50 still starts at 52,
    // right (and centre) are raised to 0, as is a caption taller than the button.
    EXPECT_EQ(CTButtonPicture::CaptionPosition(256, 50, {90, 28}, {200, 16}), QPoint(52, 6));
    EXPECT_EQ(CTButtonPicture::CaptionPosition(512, 50, {90, 28}, {200, 16}), QPoint(0, 6));
    EXPECT_EQ(CTButtonPicture::CaptionPosition(768, 0, {90, 10}, {200, 16}), QPoint(0, 0));
}

TEST_F(ButtonPictureTest, SelectedAndDisabledDrawsThePressedLookInBold) {
    QWidget parent;
    CTButtonPicture button(&parent);
    button.resize(20, 20);
    button.SetButtonImages(Image("n.bmp", Qt::red), Image("h.bmp", Qt::green),
                           Image("p.bmp", Qt::blue), Image("d.bmp", Qt::gray));
    button.SetNormalTextColor(MakeColorRef(1, 2, 3));
    button.SetActiveTextColor(MakeColorRef(200, 0, 0));
    button.setEnabled(false);
    EXPECT_EQ(button.DrawState(), CTButtonPicture::Disabled);
    EXPECT_EQ(Pixel(button.ChosenImage(), 0, 0), QColor(Qt::gray));
    EXPECT_EQ(button.ChosenTextColor(), MakeColorRef(153, 153, 153));

    button.SetSelected(true);
    EXPECT_EQ(Pixel(button.ChosenImage(), 0, 0), QColor(Qt::blue));
    EXPECT_EQ(button.ChosenTextColor(), MakeColorRef(200, 0, 0));
    EXPECT_EQ(button.CaptionFont().weight(), QFont::Bold);
    EXPECT_EQ(Pixel(qvtest::Grab(button), 5, 5), QColor(Qt::blue));

    button.SetSelected(false);
    button.setEnabled(true);
    EXPECT_NE(button.CaptionFont().weight(), QFont::Bold);
    EXPECT_EQ(button.ChosenTextColor(), MakeColorRef(1, 2, 3));
}

TEST_F(ButtonPictureTest, HoverFollowsTheMouse) {
    QWidget parent;
    CTButtonPicture button(&parent);
    button.SetButtonImages(Image("n.bmp", Qt::red), Image("h.bmp", Qt::green),
                           Image("p.bmp", Qt::blue), Image("d.bmp", Qt::gray));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.DrawState(), CTButtonPicture::Hover);
    EXPECT_EQ(Pixel(button.ChosenImage(), 0, 0), QColor(Qt::green));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.DrawState(), CTButtonPicture::Normal);
    button.setDown(true);
    EXPECT_EQ(button.DrawState(), CTButtonPicture::Pressed);
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
}

// A widget that paints itself magenta, standing for the window under a button.
class MagentaParent : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::magenta); }
};

TEST_F(ButtonPictureTest, SmallImagesStayUnscaledOverTheParentLargeOnesShrink) {
    MagentaParent parent;
    parent.resize(100, 100);
    CTButtonPicture small(&parent);
    small.setGeometry(0, 0, 40, 40);
    const QString tiny = Image("tiny.bmp", Qt::red, {10, 10});
    small.SetButtonImages(tiny, tiny, tiny, tiny);
    CTButtonPicture large(&parent);
    large.setGeometry(50, 50, 40, 40);
    const QString big = Image("big.bmp", Qt::blue, {80, 80});
    large.SetButtonImages(big, big, big, big);

    const QImage shot = qvtest::Grab(parent);
    EXPECT_EQ(Pixel(shot, 5, 5), QColor(Qt::red));
    EXPECT_EQ(Pixel(shot, 30, 30), QColor(Qt::magenta)) << "the parent shows around the image";
    EXPECT_EQ(Pixel(shot, 89, 89), QColor(Qt::blue)) << "shrunk to the button";
    EXPECT_EQ(Pixel(shot, 95, 95), QColor(Qt::magenta));
}

TEST_F(ButtonPictureTest, WithoutImagesTheCaptionShowsOnTheParent) {
    MagentaParent parent;
    parent.resize(120, 40);
    CTButtonPicture button(&parent);
    button.setGeometry(0, 0, 120, 40);
    AppSettings settings;
    settings.fontName = "Arial";
    settings.buttonFontHeight = 15;
    settings.buttonFontColor = MakeColorRef(0, 0, 0);
    settings.textDownColor = MakeColorRef(216, 34, 40);
    CTButtonPicture::SetupButton(button, QStringLiteral("Search"), settings);
    button.SetButtonImages(Missing(), Missing(), Missing(), Missing());
    EXPECT_EQ(button.text(), QStringLiteral("Search"));
    EXPECT_EQ(button.Alignment(), CTButtonPicture::AlignCentre);
    const QImage shot = qvtest::Grab(parent);
    int dark = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (qGray(shot.pixel(x, y)) < 60)
                ++dark;
    EXPECT_GT(dark, 20) << "caption drawn";
    EXPECT_EQ(Pixel(shot, 2, 2), QColor(Qt::magenta));

    CTButtonPicture::SetupMenuButton(button, QStringLiteral("Device status"), settings);
    EXPECT_EQ(button.Alignment(), CTButtonPicture::AlignLeft);
    EXPECT_EQ(button.Margin(), 50);
}

} // namespace
