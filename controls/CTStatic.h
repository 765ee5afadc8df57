#pragma once

#include "base/Settings.h"

#include <QLabel>

// A static text drawn transparently in a font and colour from the settings.
class CTStatic : public QLabel {
    Q_OBJECT
public:
    explicit CTStatic(QWidget* parent = nullptr);

    // Stores the style and makes the font from face, height and weight. The
    // background colour is kept but never shows: the text is transparent.
    void SetupStatic(const QString& face, ColorRef textColor, ColorRef bkColor, int weight,
                     int height);
    // The static style of the settings (FontName, StaticFont*).
    void SetupStaticFromSettings(const AppSettings& settings = Settings());
    void SetTextColor(ColorRef color);

    ColorRef TextColor() const { return m_textColor; }
    ColorRef BkColor() const { return m_bkColor; }
    int FontHeight() const { return m_height; }
    int FontWeight() const { return m_weight; }
    QString Face() const { return m_face; }

private:
    ColorRef m_textColor = MakeColorRef(0, 0, 0);
    ColorRef m_bkColor = MakeColorRef(255, 255, 255);
    int m_height = 16;
    int m_weight = 0;
    QString m_face = QStringLiteral("Arial");
};
