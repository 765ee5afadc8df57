#include "controls/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>

namespace {

int MulDivRound(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // Average width the way dialog managers measure it: the two alphabets,
    // halved and rounded.
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = qMax(1, (alphabet / 26 + 1) / 2);
    baseY_ = qMax(1, metrics.height());
}

DialogUnits::DialogUnits(int baseX, int baseY) : baseX_(qMax(1, baseX)), baseY_(qMax(1, baseY)) {}

QFont DialogUnits::DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    return font;
}

const DialogUnits& DialogUnits::Default() {
    static const DialogUnits units(DialogFont());
    return units;
}

int DialogUnits::X(int units) const {
    return MulDivRound(units, baseX_, 4);
}

int DialogUnits::Y(int units) const {
    return MulDivRound(units, baseY_, 8);
}
