#include "tests/controls/WidgetTestApp.h"

#include <QImageWriter>
#include <QWidget>

namespace qvtest {

QApplication& WidgetApp() {
    static int argc = 1;
    static char name[] = "widget_tests";
    static char* argv[] = {name, nullptr};
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString WriteImage(const QString& path, const QSize& size, const QColor& color,
                   const char* format) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QImageWriter writer(path, format);
    writer.write(image);
    return path;
}

} // namespace qvtest
