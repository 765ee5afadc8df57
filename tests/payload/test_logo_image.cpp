#include "base/FileUtil.h"
#include "payload/LogoImage.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

using qvtest::RecordingMessageSink;
using qvtest::TempProgramDir;

std::string Jpeg(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(img.save(&buffer, "JPEG", 10));
    return bytes.toStdString();
}

// A JPEG padded after its end marker to exactly n bytes (decoders stop at the marker).
std::string JpegOfSize(int w, int h, std::size_t n) {
    std::string j = Jpeg(w, h);
    EXPECT_LE(j.size(), n);
    j.resize(n, '\0');
    return j;
}

TEST(FileSize, MissingIsZero) {
    TempProgramDir dir;
    dir.write("a", std::string(1234, 'x'));
    EXPECT_EQ(GetFileSize(dir.file("a")), 1234);
    EXPECT_EQ(GetFileSize(dir.file("missing")), 0);
    EXPECT_EQ(GetFileSize(dir.path()), 0);
}

TEST(Caption, FormatAndRounding) {
    EXPECT_EQ(LogoCaption(229, 51, 5120), QStringLiteral("229  x  51 Pixel     5.0 KB"));
    EXPECT_EQ(LogoCaption(1, 2, 6000), QStringLiteral("1  x  2 Pixel     5.9 KB"));
    EXPECT_EQ(LogoCaption(0, 0, 0), QStringLiteral("0  x  0 Pixel     0.0 KB"));
}

struct LogoCase {
    const char* name;
    int width;
    int height;
    std::size_t bytes; // 0: as encoded
    bool sizeOk;
    bool accepted;
};

class Logo : public testing::TestWithParam<LogoCase> {};

TEST_P(Logo, Limits) {
    const LogoCase& c = GetParam();
    TempProgramDir dir;
    RecordingMessageSink sink;
    dir.write("l.jpg", c.bytes ? JpegOfSize(c.width, c.height, c.bytes) : Jpeg(c.width, c.height));
    const std::string path = dir.file("l.jpg");
    ASSERT_EQ(CheckLogoFileSize(path), c.sizeOk);
    if (!c.sizeOk) {
        EXPECT_EQ(sink.texts(),
                  std::vector<std::string>{"Picture file cannot be larger than 6000 bytes!"});
        return;
    }
    LogoPicture p;
    EXPECT_EQ(CheckLogoPicture(path, p), c.accepted);
    if (c.accepted) {
        EXPECT_TRUE(sink.messages().empty());
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        EXPECT_FALSE(p.image.isNull());
        EXPECT_EQ(p.caption, LogoCaption(c.width, c.height, GetFileSize(path)));
    } else {
        ASSERT_EQ(sink.messages().size(), 1u);
        EXPECT_EQ(sink.messages()[0].text, "The width and height of the image cannot exceed 229 "
                                           "pixels and 51 pixels, respectively!");
        EXPECT_EQ(sink.messages()[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(sink.messages()[0].caption, kAppCaption);
        EXPECT_TRUE(p.image.isNull());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Logo,
                         testing::Values(LogoCase{"AtBothLimits", 229, 51, 6000, true, true},
                                         LogoCase{"OneByteOver", 229, 51, 6001, false, false},
                                         LogoCase{"TooWide", 230, 10, 0, true, false},
                                         LogoCase{"TooHigh", 100, 52, 0, true, false},
                                         LogoCase{"Small", 10, 10, 0, true, true}),
                         [](const testing::TestParamInfo<LogoCase>& i) {
                             return std::string(i.param.name);
                         });

// A small real JPEG whose frame header (SOF0) is made to declare w x h: the
// data no longer fits the frame, so it fails to decode.
std::string JpegDeclaring(int w, int h) {
    std::string j = Jpeg(8, 8);
    const std::size_t sof = j.find("\xFF\xC0");
    EXPECT_NE(sof, std::string::npos);
    // FF C0, length (2), precision (1), height (2), width (2)
    j[sof + 5] = char(h >> 8);
    j[sof + 6] = char(h & 0xFF);
    j[sof + 7] = char(w >> 8);
    j[sof + 8] = char(w & 0xFF);
    return j;
}

TEST(Logo, SizeComesFromTheHeaderBeforeDecoding) {
    const std::string tooLarge =
        "The width and height of the image cannot exceed 229 pixels and 51 "
        "pixels, respectively!";
    struct Case {
        const char* what;
        std::string bytes;
        bool accepted;
    } cases[] = {
        {"declares 65500 x 65500 and cannot be decoded", JpegDeclaring(65500, 65500), false},
        {"declares 230 x 10", JpegDeclaring(230, 10), false},
        {"no picture header at all", "not a picture at all", false},
        {"a JPEG cut after its header", Jpeg(20, 5).substr(0, 40), false},
        {"a small JPEG", Jpeg(20, 5), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        RecordingMessageSink sink;
        dir.write("x.jpg", c.bytes);
        ASSERT_LE(c.bytes.size(), 6000u);
        LogoPicture p;
        EXPECT_EQ(CheckLogoPicture(dir.file("x.jpg"), p), c.accepted);
        EXPECT_EQ(sink.texts(),
                  c.accepted ? std::vector<std::string>{} : std::vector<std::string>{tooLarge});
    }
    // The logo dialog previews any size: its caption tells what the header declares.
    TempProgramDir dir;
    dir.write("big.jpg", JpegDeclaring(65500, 65500));
    const LogoPicture preview = LoadLogoPicture(dir.file("big.jpg"));
    EXPECT_EQ(preview.width, 65500);
    EXPECT_EQ(preview.height, 65500);
}

TEST(Logo, FifoIsRefusedWithoutWaiting) {
    TempProgramDir dir;
    RecordingMessageSink sink;
    ASSERT_EQ(::mkfifo(dir.file("l.jpg").c_str(), 0600), 0);
    EXPECT_FALSE(CheckLogoFileSize(dir.file("l.jpg")));
    EXPECT_FALSE(CheckLogoFileSize("/dev/zero"));
    EXPECT_EQ(sink.texts(), (std::vector<std::string>{"Picture file is not a regular file!",
                                                      "Picture file is not a regular file!"}));
    EXPECT_EQ(LoadLogoPicture(dir.file("l.jpg")).width, 0);
}

TEST(Logo, DecodedByContentNotName) {
    TempProgramDir dir;
    dir.write("pic.png", Jpeg(20, 5));
    LogoPicture p = LoadLogoPicture(dir.file("pic.png"));
    EXPECT_EQ(p.width, 20);
    EXPECT_EQ(p.height, 5);
}

TEST(Logo, NameRuleAtSubmission) {
    RecordingMessageSink sink;
    EXPECT_TRUE(CheckLogoName(""));
    EXPECT_TRUE(CheckLogoName("/a/logo.jpg"));
    EXPECT_TRUE(sink.messages().empty());
    EXPECT_FALSE(CheckLogoName("/a/LOGO.JPG"));
    EXPECT_FALSE(CheckLogoName("/a/logo.jpeg"));
    EXPECT_EQ(sink.texts(), (std::vector<std::string>{"Modify file is not .jpg file!",
                                                      "Modify file is not .jpg file!"}));
}

} // namespace
