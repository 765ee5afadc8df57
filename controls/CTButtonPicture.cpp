#include "controls/CTButtonPicture.h"

#include "controls/SkinStyle.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainter>

CTButtonPicture::CTButtonPicture(QWidget* parent) : QPushButton(parent) {
    // Enter belongs to no button of a skinned window.
    setAutoDefault(false);
    setDefault(false);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover, true);
}

void CTButtonPicture::SetButtonImages(const QString& normal, const QString& hover,
                                      const QString& pressed, const QString& disabled) {
    const QString paths[4] = {normal, hover, pressed, disabled};
    for (size_t i = 0; i < 4; ++i) {
        QImage image = LoadSkinImage(paths[i]);
        if (image.isNull())
            break;
        m_images[i] = std::move(image);
    }
    update();
}

void CTButtonPicture::SetButtonText(const QString& caption) {
    m_caption = caption;
    setText(caption);
    update();
}

void CTButtonPicture::SetupMenuButton(CTButtonPicture& button, const QString& caption,
                                      const AppSettings& settings) {
    button.SetButtonText(caption);
    button.m_face = QString::fromStdString(settings.fontName);
    button.m_weight = settings.buttonMenuFontWeight;
    button.m_height = settings.buttonMenuFontHeight;
    button.m_normalColor = settings.buttonMenuFontColor;
    button.m_activeColor = settings.textDownColor;
    button.m_alignment = AlignLeft;
    button.m_margin = 50;
    button.update();
}

void CTButtonPicture::SetupButton(CTButtonPicture& button, const QString& caption,
                                  const AppSettings& settings) {
    button.SetButtonText(caption);
    button.m_face = QString::fromStdString(settings.fontName);
    button.m_weight = settings.buttonFontWeight;
    button.m_height = settings.buttonFontHeight;
    button.m_normalColor = settings.buttonFontColor;
    button.m_activeColor = settings.textDownColor;
    button.update();
}

QPoint CTButtonPicture::CaptionPosition(int alignment, int margin, QSize buttonSize,
                                        QSize textSize) {
    const int W = buttonSize.width();
    const int H = buttonSize.height();
    const int tw = textSize.width();
    const int th = textSize.height();
    int x = 0;
    int y = 0;
    switch (alignment) {
    case AlignLeft:
        x = margin + 2;
        y = (H - th) / 2;
        break;
    case AlignRight:
        x = W - margin - tw - 2;
        y = (H - th) / 2;
        break;
    case AlignCentre:
        x = (W - tw) / 2;
        y = (H - th) / 2;
        break;
    case AlignTop:
        break;
    case AlignCentreTop:
        x = (W - tw) / 2;
        break;
    case AlignBottom:
        y = H - th;
        break;
    case AlignCentreBottom:
        x = (W - tw) / 2;
        y = H - th;
        break;
    default:
        break;
    }
    return {qMax(0, x), qMax(0, y)};
}

void CTButtonPicture::SetSelected(bool selected) {
    m_selected = selected;
    update();
}

CTButtonPicture::State CTButtonPicture::DrawState() const {
    if (!isEnabled())
        return Disabled;
    if (isDown())
        return Pressed;
    return m_hovering ? Hover : Normal;
}

const QImage& CTButtonPicture::ChosenImage() const {
    if (m_selected)
        return m_images[Pressed];
    return m_images[static_cast<size_t>(DrawState())];
}

ColorRef CTButtonPicture::ChosenTextColor() const {
    if (m_selected)
        return m_activeColor;
    switch (DrawState()) {
    case Normal:
        return m_normalColor;
    case Hover:
    case Pressed:
        return m_activeColor;
    case Disabled:
        break;
    }
    return m_disabledColor;
}

QFont CTButtonPicture::CaptionFont() const {
    return MakeSkinFont(m_face, m_height, m_selected ? 700 : m_weight);
}

void CTButtonPicture::paintEvent(QPaintEvent*) {
    // Nothing is filled: the parent's drawing shows through wherever the
    // image does not cover the button.
    QPainter painter(this);
    const QImage& image = ChosenImage();
    if (!image.isNull()) {
        if (image.width() <= width() && image.height() <= height())
            painter.drawImage(QPoint(0, 0), image);
        else
            painter.drawImage(rect(), image);
    }
    if (ShowsFocusMark()) {
        // A dotted frame just inside the edge, in the caption's colour.
        painter.save();
        QPen pen(ToQColor(ChosenTextColor()), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
        painter.restore();
    }
    const QString caption = text();
    if (caption.isEmpty())
        return;
    const QFont font = CaptionFont();
    const QFontMetrics metrics(font);
    const QSize textSize(metrics.horizontalAdvance(caption), metrics.height());
    const QPoint at = CaptionPosition(m_alignment, m_margin, size(), textSize);
    painter.setFont(font);
    painter.setPen(ToQColor(ChosenTextColor()));
    painter.drawText(QPoint(at.x(), at.y() + metrics.ascent()), caption);
}

bool CTButtonPicture::ShowsFocusMark() const {
    return hasFocus() && m_keyboardFocus;
}

void CTButtonPicture::focusInEvent(QFocusEvent* event) {
    // A click gives the focus too; only the keyboard's focus is marked.
    m_keyboardFocus = event->reason() == Qt::TabFocusReason ||
                      event->reason() == Qt::BacktabFocusReason ||
                      event->reason() == Qt::ShortcutFocusReason;
    QPushButton::focusInEvent(event);
    update();
}

void CTButtonPicture::focusOutEvent(QFocusEvent* event) {
    m_keyboardFocus = false;
    QPushButton::focusOutEvent(event);
    update();
}

void CTButtonPicture::enterEvent(QEnterEvent* event) {
    if (isEnabled()) {
        m_hovering = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CTButtonPicture::leaveEvent(QEvent* event) {
    m_hovering = false;
    update();
    QPushButton::leaveEvent(event);
}
