#pragma once

#include "base/Settings.h"

#include <QDialog>
#include <QImage>
#include <QPoint>

// Base of every window of the program: paints a stretched background image or
// a fill colour, lets a frameless window be dragged by its background, and
// keeps Enter and Escape from closing it or pressing a default button.
class CTDialog : public QDialog {
    Q_OBJECT
public:
    // A window of its own (main window, modal dialogs) or a child panel that
    // lives inside its parent (menu panel, page host, pages).
    enum class Kind { Window, Child };

    explicit CTDialog(QWidget* parent = nullptr, Kind kind = Kind::Window);

    // Decodes the file by content; on success it becomes the background
    // image, otherwise the window has none. An empty path does nothing.
    void SetBackgroundImage(const QString& path);
    bool HasBackgroundImage() const { return !m_backgroundImage.isNull(); }

    void SetFillBackground(bool on, ColorRef color);
    bool FillsBackground() const { return m_fillBackground; }
    ColorRef FillColor() const { return m_fillColor; }

    void SetDragByBackground(bool on) { m_dragByBackground = on; }
    bool DragsByBackground() const { return m_dragByBackground; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_backgroundImage;
    bool m_fillBackground = false;
    ColorRef m_fillColor = MakeColorRef(255, 255, 255);
    bool m_dragByBackground = false;
    // Used where the platform cannot move the window itself.
    bool m_manualDrag = false;
    QPoint m_dragOffset;
};
