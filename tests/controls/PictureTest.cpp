#include "controls/CTPicture.h"
#include "controls/GifLayout.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/support/TestSupport.h"
#include "tools/skingen/GifWriter.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

struct FrameSpec {
    int paletteIndex;
    int delay;
    int disposal;
};

const QVector<QColor> kPalette = {Qt::red, Qt::green, Qt::blue, Qt::white};

QByteArray MakeGif(const std::vector<FrameSpec>& frames, int w = 8, int h = 6) {
    GifWriter gif(w, h, kPalette);
    for (const FrameSpec& f : frames)
        gif.AddFrame(std::vector<unsigned char>(static_cast<size_t>(w * h),
                                                static_cast<unsigned char>(f.paletteIndex)),
                     f.delay, f.disposal);
    return gif.Finish();
}

QColor Centre(const CTPicture& picture) {
    const QImage shot = picture.Snapshot();
    return QColor(shot.pixel(shot.width() / 2, shot.height() / 2));
}

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override { qvtest::WidgetApp(); }
    QString Write(const char* name, const QByteArray& bytes) {
        dir.write(name, bytes.toStdString());
        return QString::fromStdString(dir.file(name));
    }
    qvtest::TempProgramDir dir;
};

TEST_F(PictureTest, WalksEveryGraphicBlockWithItsDelayAndDisposal) {
    const QByteArray data = MakeGif({{0, 0, 1}, {1, 4, 2}, {2, 5, 3}});
    GifLayout layout;
    ASSERT_TRUE(WalkGif(data, layout));
    EXPECT_EQ(layout.width, 8);
    EXPECT_EQ(layout.height, 6);
    EXPECT_EQ(layout.headerEnd, 13u + 768u);
    ASSERT_EQ(layout.blocks.size(), 3u);
    EXPECT_EQ(layout.blocks[1].delay, 4);
    EXPECT_EQ(layout.blocks[1].disposal, 2);
    EXPECT_EQ(layout.blocks[2].delay, 5);
    EXPECT_EQ(layout.blocks[2].disposal, 3);
    EXPECT_EQ(layout.blocks[2].end + 1, static_cast<size_t>(data.size()));

    // Delays of 0 to 4 hundredths play at 100 ms a frame, from 5 on as given.
    for (int d : {-1, 0, 1, 4})
        EXPECT_EQ(CTPicture::FrameWaitMs(d), 100) << d;
    EXPECT_EQ(CTPicture::FrameWaitMs(5), 50);
    EXPECT_EQ(CTPicture::FrameWaitMs(12), 120);

    CTPicture picture;
    ASSERT_TRUE(picture.LoadPictureData(data));
    ASSERT_EQ(picture.Frames().size(), 3u);
    EXPECT_EQ(picture.Frames()[0].delay, 0);
    EXPECT_EQ(picture.Frames()[2].delay, 5);
    EXPECT_EQ(picture.size(), QSize(8, 6));
}

TEST(GifWalk, StepsOverExtensionsAndStopsAtDamage) {
    const QByteArray base = MakeGif({{0, 10, 0}, {1, 10, 0}});
    GifLayout layout;
    ASSERT_TRUE(WalkGif(base, layout));
    ASSERT_EQ(layout.blocks.size(), 2u);
    const auto second = static_cast<qsizetype>(layout.blocks[1].begin);
    const QByteArray comment("\x21\xFE\x03"
                             "abc"
                             "\x00",
                             7);
    const QByteArray plainText = QByteArray("\x21\x01\x0C", 3) + QByteArray(12, '\0') +
                                 QByteArray("\x02"
                                            "hi"
                                            "\x00",
                                            4);
    struct Case {
        const char* name;
        QByteArray data;
        size_t blocks;
    } cases[] = {
        // A comment before the second frame's control extension is skipped.
        {"comment before", QByteArray(base).insert(second, comment), 2},
        // A comment between a control extension and its image belongs to the frame.
        {"comment inside", QByteArray(base).insert(second + 8, comment), 2},
        // A plain-text extension is a graphic block of its own.
        {"plain text", QByteArray(base).insert(second, plainText), 3},
        // A plain-text extension between a control extension and its image ends the walk.
        {"plain text inside", QByteArray(base).insert(second + 8, plainText), 1},
        {"unknown block", QByteArray(base).insert(second, "\x99", 1), 1},
        {"sub-block past the end", base.left(second + 8 + 12), 1},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WalkGif(c.data, layout)) << c.name;
        EXPECT_EQ(layout.blocks.size(), c.blocks) << c.name;
    }
    ASSERT_TRUE(WalkGif(cases[1].data, layout));
    EXPECT_EQ(layout.blocks[1].end - layout.blocks[1].begin,
              (base.size() - 1 - second) + static_cast<size_t>(comment.size()));
    CTPicture picture;
    qvtest::WidgetApp();
    ASSERT_TRUE(picture.LoadPictureData(cases[1].data));
    EXPECT_EQ(picture.Frames().size(), 2u) << "the frame with a comment inside still decodes";
}

TEST_F(PictureTest, ASingleImageGifIsAStillPictureSizedByItsScreen) {
    CTPicture picture;
    ASSERT_TRUE(picture.LoadPicture(Write("one.gif", MakeGif({{2, 10, 0}}, 12, 7))));
    EXPECT_TRUE(picture.IsGif());
    EXPECT_TRUE(picture.Frames().empty());
    EXPECT_EQ(picture.ImageSize(), QSize(12, 7));
    EXPECT_TRUE(picture.DrawPicture());
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(Centre(picture), QColor(Qt::blue));
}

TEST_F(PictureTest, AJpegNamedGifIsShownAsAStillJpeg) {
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpg").write(image);

    CTPicture picture;
    ASSERT_TRUE(picture.LoadPicture(Write("photo.gif", jpeg)));
    EXPECT_FALSE(picture.IsGif());
    EXPECT_EQ(picture.ImageSize(), QSize(20, 10));
    EXPECT_TRUE(picture.DrawPicture());
    EXPECT_LT(Centre(picture).red(), 40);
    EXPECT_GT(Centre(picture).blue(), 200);
}

TEST_F(PictureTest, ATruncatedGifKeepsTheFramesBeforeTheDamage) {
    const QByteArray whole = MakeGif({{0, 10, 0}, {1, 10, 0}, {2, 10, 0}});
    GifLayout layout;
    ASSERT_TRUE(WalkGif(whole, layout));
    const QByteArray cut = whole.left(static_cast<qsizetype>(layout.blocks[2].begin + 15));
    CTPicture picture;
    ASSERT_TRUE(picture.LoadPicture(Write("cut.gif", cut)));
    EXPECT_EQ(picture.Frames().size(), 2u);
}

TEST_F(PictureTest, FilesWithoutAPictureLeaveNothingLoaded) {
    CTPicture picture;
    const QByteArray header = MakeGif({}); // header and trailer, no image
    EXPECT_FALSE(picture.LoadPictureData(header));
    EXPECT_FALSE(picture.LoadPictureData(QByteArray("GIF89a")));
    EXPECT_FALSE(picture.LoadPictureData(QByteArray("not a picture at all")));
    EXPECT_FALSE(picture.LoadPicture(QString::fromStdString(dir.file("missing.gif"))));
    EXPECT_FALSE(picture.IsLoaded());
    EXPECT_FALSE(picture.DrawPicture());
    // A damaged second block before any image: an image-less GIF.
    QByteArray junk = header.left(header.size() - 1);
    junk.append("\x21\xF9\x04", 3);
    EXPECT_FALSE(picture.LoadPictureData(junk));
}

TEST_F(PictureTest, AStopEndsTheFrameWaitAndTheCurrentFrameSurvivesIt) {
    // Frame 0 passes quickly; frame 1 would stay for 30 s.
    CTPicture picture;
    ASSERT_TRUE(picture.LoadPictureData(MakeGif({{0, 5, 1}, {1, 3000, 1}})));
    EXPECT_FALSE(picture.DrawPicture());
    EXPECT_TRUE(picture.IsAnimating());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Centre(picture) == QColor(Qt::green); }, 5000));

    QElapsedTimer clock;
    clock.start();
    picture.StopAnimation();
    EXPECT_LT(clock.elapsed(), 4000) << "the stop interrupts the 30 s wait";
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(picture.CurrentFrame(), 1);

    // Restarting continues with frame 1, not from the start.
    picture.DrawPicture();
    QTest::qWait(20);
    EXPECT_EQ(Centre(picture), QColor(Qt::green));
    picture.UnloadPicture();
    EXPECT_FALSE(picture.IsLoaded());
}

// The threads of this process, from /proc.
int ThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    return -1;
}

TEST_F(PictureTest, DestroyingTheControlEndsItsAnimation) {
    QTest::qWait(20);
    const int before = ThreadCount();
    auto* picture = new CTPicture;
    ASSERT_TRUE(picture->LoadPictureData(MakeGif({{0, 5, 2}, {1, 5, 3}, {2, 5, 0}})));
    picture->DrawPicture();
    QTest::qWait(200); // several rounds, through the wrap-around
    EXPECT_TRUE(picture->IsAnimating());
    EXPECT_EQ(ThreadCount(), before + 1) << "the animation runs on a thread of its own";
    delete picture; // must stop the thread before the control goes
    // The thread has ended by the time the control is gone, not at some later frame.
    EXPECT_EQ(ThreadCount(), before);
    QTest::qWait(200);
    EXPECT_EQ(ThreadCount(), before);
}

} // namespace
