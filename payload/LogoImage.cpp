#include "payload/LogoImage.h"

#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"

#include <QImageReader>
#include <cstdio>
#include <filesystem>
#include <fstream>

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

LogoPicture LoadLogoPicture(const std::string& path) {
    LogoPicture p;
    p.fileSize = GetFileSize(path);
    QImageReader reader(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    reader.setDecideFormatFromContent(true);
    p.image = reader.read();
    if (!p.image.isNull()) {
        p.width = p.image.width();
        p.height = p.image.height();
    }
    p.caption = LogoCaption(p.width, p.height, p.fileSize);
    return p;
}

bool CheckLogoFileSize(const std::string& path) {
    if (GetFileSize(path) > kMaxLogoBytes) {
        ShowMessage(TranslateText(std::string("Picture file cannot be larger than 6000 bytes!")),
                    MessageIcon::Exclamation);
        return false;
    }
    return true;
}

bool CheckLogoPicture(const std::string& path, LogoPicture& picture) {
    LogoPicture p = LoadLogoPicture(path);
    if (p.width > kMaxLogoWidth || p.height > kMaxLogoHeight) {
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
