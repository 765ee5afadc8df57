#include "controls/CTStatic.h"

#include "controls/SkinStyle.h"

CTStatic::CTStatic(QWidget* parent) : QLabel(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setFont(MakeSkinFont(m_face, m_height, m_weight));
    SetTextColor(m_textColor);
}

void CTStatic::SetupStatic(const QString& face, ColorRef textColor, ColorRef bkColor, int weight,
                           int height) {
    m_face = face;
    m_bkColor = bkColor;
    m_weight = weight;
    m_height = height;
    setFont(MakeSkinFont(face, height, weight));
    SetTextColor(textColor);
}

void CTStatic::SetupStaticFromSettings(const AppSettings& settings) {
    SetupStatic(QString::fromStdString(settings.fontName), settings.staticFontTextColor,
                settings.staticFontBkColor, settings.staticFontWeight, settings.staticFontHeight);
}

void CTStatic::SetTextColor(ColorRef color) {
    m_textColor = color;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, ToQColor(color));
    p.setColor(QPalette::Text, ToQColor(color));
    setPalette(p);
}
