#pragma once

#include <QApplication>
#include <QImage>
#include <QString>

class QWidget;

namespace qvtest {

// The one QApplication of a widget-test process (offscreen platform).
QApplication& WidgetApp();

// Grabs what the widget shows, children included.
QImage Grab(QWidget& widget);

// Writes a small image file of the given format; returns its path.
QString WriteImage(const QString& path, const QSize& size, const QColor& color, const char* format);

} // namespace qvtest
