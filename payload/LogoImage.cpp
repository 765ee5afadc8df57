#include "payload/LogoImage.h"

#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <cstdio>
#include <optional>

namespace {

constexpr const char* kCaptionFormat = "%d  x  %d Pixel     %0.1f KB";

// Fills a caption format that must hold exactly %d, %d and %0.1f in this
// order. A translated format is text from a file: it is never handed to printf.
bool FillCaption(const QString& format, int width, int height, double kb, QString& out) {
    const QString specs[] = {QStringLiteral("%d"), QStringLiteral("%d"), QStringLiteral("%0.1f")};
    const QString values[] = {QString::number(width), QString::number(height),
                              QString::number(kb, 'f', 1)};
    out.clear();
    qsizetype pos = 0;
    int next = 0;
    while (pos < format.size()) {
        const qsizetype at = format.indexOf(QLatin1Char('%'), pos);
        if (at < 0) {
            out += format.mid(pos);
            break;
        }
        out += format.mid(pos, at - pos);
        if (format.mid(at, 2) == QLatin1String("%%")) {
            out += QLatin1Char('%');
            pos = at + 2;
            continue;
        }
        if (next >= 3 || format.mid(at, specs[next].size()) != specs[next])
            return false;
        out += values[next];
        pos = at + specs[next].size();
        ++next;
    }
    return next == 3;
}

} // namespace

QString LogoCaption(int width, int height, std::int64_t fileSize) {
    const double kb = static_cast<double>(fileSize) / 1024.0;
    QString out;
    if (FillCaption(TranslateText(QString::fromLatin1(kCaptionFormat)), width, height, kb, out))
        return out;
    FillCaption(QString::fromLatin1(kCaptionFormat), width, height, kb, out);
    return out;
}

namespace {

// Pictures are read once, within this bound, from a regular file; the logo
// dialog previews files of any size up to it.
constexpr std::size_t kMaxPictureRead = 8u << 20;

// The picture's dimensions from its header, then, when decode allows them,
// the decoded image. headerRead tells whether the header could be read.
LogoPicture ReadPicture(const std::string& path, bool (*decode)(QSize), bool& headerRead) {
    LogoPicture p;
    p.fileSize = GetFileSize(path);
    headerRead = false;
    if (std::optional<std::string> bytes = ReadWholeFile(path, kMaxPictureRead)) {
        QByteArray data = QByteArray::fromStdString(*bytes);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setDecideFormatFromContent(true);
        const QSize size = reader.size();
        headerRead = size.isValid();
        if (headerRead) {
            p.width = size.width();
            p.height = size.height();
        }
        if (decode(size))
            p.image = reader.read();
        if (!headerRead && !p.image.isNull()) {
            p.width = p.image.width();
            p.height = p.image.height();
        }
    }
    p.caption = LogoCaption(p.width, p.height, p.fileSize);
    return p;
}

bool WithinLogoLimits(QSize size) {
    return size.isValid() && size.width() <= kMaxLogoWidth && size.height() <= kMaxLogoHeight;
}

bool AnySize(QSize) {
    return true;
}

} // namespace

LogoPicture LoadLogoPicture(const std::string& path) {
    bool headerRead = false;
    return ReadPicture(path, AnySize, headerRead);
}

bool CheckLogoFileSize(const std::string& path) {
    if (OpenedFileKind(path) == FileKind::Other) {
        ShowMessage(TranslateText(std::string("Picture file is not a regular file!")),
                    MessageIcon::Exclamation);
        return false;
    }
    if (GetFileSize(path) > kMaxLogoBytes) {
        ShowMessage(TranslateText(std::string("Picture file cannot be larger than 6000 bytes!")),
                    MessageIcon::Exclamation);
        return false;
    }
    return true;
}

bool CheckLogoPicture(const std::string& path, LogoPicture& picture) {
    // The header's dimensions decide, before anything is decoded: a picture
    // that declares a huge size and then fails to decode is not 0 x 0.
    bool headerRead = false;
    LogoPicture p = ReadPicture(path, WithinLogoLimits, headerRead);
    if (!headerRead || p.width > kMaxLogoWidth || p.height > kMaxLogoHeight) {
        ShowMessage(TranslateText(std::string("The width and height of the image cannot exceed "
                                              "229 pixels and 51 pixels, respectively!")),
                    MessageIcon::Exclamation);
        return false;
    }
    picture = std::move(p);
    return true;
}

bool CheckLogoName(const std::string& path) {
    if (!path.empty() && !HasSuffix(path, ".jpg")) {
        ShowMessage(TranslateText(std::string("Modify file is not .jpg file!")),
                    MessageIcon::Exclamation);
        return false;
    }
    return true;
}
