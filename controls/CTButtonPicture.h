#pragma once

#include "base/Settings.h"

#include <QImage>
#include <QPushButton>
#include <array>

// The picture button used everywhere: one of four images by state (normal,
// hover, pressed, disabled) over whatever lies beneath it, a caption in a
// configurable font, colour and alignment, and a latched "selected" look.
class CTButtonPicture : public QPushButton {
    Q_OBJECT
public:
    // Caption alignment values (the push-button alignment style bits).
    enum Alignment {
        AlignLeft = 256,
        AlignRight = 512,
        AlignCentre = 768,
        AlignTop = 1024,
        AlignCentreTop = 1792,
        AlignBottom = 2048,
        AlignCentreBottom = 2816,
    };
    enum State { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

    explicit CTButtonPicture(QWidget* parent = nullptr);

    // Decodes the four files in order and assigns them, stopping at the first
    // that fails to decode: the images from that one on stay as they were.
    void SetButtonImages(const QString& normal, const QString& hover, const QString& pressed,
                         const QString& disabled);
    const QImage& Image(State state) const { return m_images[static_cast<size_t>(state)]; }

    void SetButtonText(const QString& caption);
    QString Caption() const { return m_caption; }

    // Menu-panel look from the settings: left aligned with margin 50.
    static void SetupMenuButton(CTButtonPicture& button, const QString& caption,
                                const AppSettings& settings = Settings());
    // Page and dialog button look from the settings; alignment unchanged.
    static void SetupButton(CTButtonPicture& button, const QString& caption,
                            const AppSettings& settings = Settings());

    // Where a caption of textSize goes in a button of buttonSize.
    static QPoint CaptionPosition(int alignment, int margin, QSize buttonSize, QSize textSize);

    void SetFace(const QString& face) { m_face = face; }
    void SetFontWeight(int weight) { m_weight = weight; }
    void SetFontHeight(int height) { m_height = height; }
    void SetNormalTextColor(ColorRef c) { m_normalColor = c; }
    void SetActiveTextColor(ColorRef c) { m_activeColor = c; }
    void SetDisabledTextColor(ColorRef c) { m_disabledColor = c; }
    void SetAlignment(int alignment) { m_alignment = alignment; }
    void SetMargin(int margin) { m_margin = margin; }
    void SetSelected(bool selected);

    QString Face() const { return m_face; }
    int FontWeight() const { return m_weight; }
    int FontHeight() const { return m_height; }
    ColorRef NormalTextColor() const { return m_normalColor; }
    ColorRef ActiveTextColor() const { return m_activeColor; }
    int Alignment() const { return m_alignment; }
    int Margin() const { return m_margin; }
    bool IsSelected() const { return m_selected; }
    bool IsHovering() const { return m_hovering; }

    // The state the next drawing uses, from the pressed, hover and enabled
    // states of the button.
    State DrawState() const;
    // The image and caption colour that the current state draws.
    const QImage& ChosenImage() const;
    ColorRef ChosenTextColor() const;
    QFont CaptionFont() const;
    // Whether the drawing frames the button: it has the focus that the
    // keyboard (Tab, Backtab, a shortcut) gave it.
    bool ShowsFocusMark() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::array<QImage, 4> m_images;
    QString m_caption;
    QString m_face = QStringLiteral("Arial");
    int m_weight = 0;
    int m_height = 16;
    ColorRef m_normalColor = MakeColorRef(0, 0, 0);
    ColorRef m_activeColor = MakeColorRef(255, 255, 255);
    ColorRef m_disabledColor = MakeColorRef(153, 153, 153);
    int m_alignment = AlignCentre;
    int m_margin = 0;
    bool m_selected = false;
    bool m_hovering = false;
    bool m_keyboardFocus = false;
};
