#include "controls/CTDialog.h"

#include "controls/SkinStyle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

CTDialog::CTDialog(QWidget* parent, Kind kind) : QDialog(parent) {
    // QDialog always makes a window; a panel is switched back to a child.
    if (kind == Kind::Child)
        setWindowFlags(Qt::Widget);
}

void CTDialog::SetBackgroundImage(const QString& path) {
    if (path.isEmpty())
        return;
    m_backgroundImage = LoadSkinImage(path);
    update();
}

void CTDialog::SetFillBackground(bool on, ColorRef color) {
    m_fillBackground = on;
    m_fillColor = color;
    update();
}

void CTDialog::paintEvent(QPaintEvent* event) {
    if (!m_backgroundImage.isNull()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(rect(), m_backgroundImage);
        return;
    }
    if (m_fillBackground) {
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(m_fillColor));
        return;
    }
    QDialog::paintEvent(event);
}

void CTDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Never close the window or press its default button.
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CTDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragByBackground) {
        QWidget* top = window();
        QWindow* handle = top->windowHandle();
        if (!handle || !handle->startSystemMove()) {
            m_manualDrag = true;
            m_dragOffset = event->globalPosition().toPoint() - top->frameGeometry().topLeft();
        }
        event->accept();
        return;
    }
    // A press on a panel is the panel's: it never drags the window beneath.
    event->accept();
}

void CTDialog::mouseMoveEvent(QMouseEvent* event) {
    if (m_manualDrag && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CTDialog::mouseReleaseEvent(QMouseEvent* event) {
    m_manualDrag = false;
    QDialog::mouseReleaseEvent(event);
}
