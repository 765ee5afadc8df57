#include "controls/SkinStyle.h"

#include <QImageReader>

QImage LoadSkinImage(const QString& path) {
    if (path.isEmpty())
        return {};
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

QColor ToQColor(ColorRef color) {
    return QColor(ColorRed(color), ColorGreen(color), ColorBlue(color));
}

QFont MakeSkinFont(const QString& face, int height, int weight) {
    QFont font;
    if (!face.isEmpty())
        font.setFamilies({face, QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    // The settings give the character-cell height (ascent + descent); the
    // em size of the sans-serif faces is about 87 % of it.
    font.setPixelSize(height > 0 ? qMax(1, (height * 87 + 50) / 100) : 12);
    const int w = weight <= 0 ? 400 : qBound(1, weight, 1000);
    font.setWeight(static_cast<QFont::Weight>(w));
    return font;
}
