#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

// Converts dialog-template units into pixels from the metrics of the dialog
// font: one horizontal unit is a quarter of the font's average character
// width, one vertical unit an eighth of its height (rounded like MulDiv).
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY);

    // The font every template of the program is laid out in (the counterpart
    // of "MS Shell Dlg", 9 points): a metric-compatible sans serif at 12 px.
    static QFont DialogFont();
    // Units of DialogFont(), computed once.
    static const DialogUnits& Default();

    int X(int units) const;
    int Y(int units) const;
    QPoint Point(int x, int y) const { return {X(x), Y(y)}; }
    QSize Size(int w, int h) const { return {X(w), Y(h)}; }
    QRect Rect(int x, int y, int w, int h) const { return {Point(x, y), Size(w, h)}; }

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};
