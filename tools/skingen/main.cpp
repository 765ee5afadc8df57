// qv-skingen: draws every image of the program's skin folder (backgrounds,
// button sets, decorations, the animated busy indicator and the program icon)
// in one consistent look, sized from the dialog layout of the windows.
//
//   qv-skingen OUTPUT_DIR

#include "controls/DialogUnits.h"
#include "tools/skingen/GifWriter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>

namespace {

// The palette of the skin.
const QColor kHeaderTop(0x12, 0x35, 0x5b);
const QColor kHeaderBottom(0x1d, 0x5c, 0x96);
const QColor kAccent(0xf2, 0x8c, 0x28);
const QColor kSidebar(0xe9, 0xee, 0xf5);
const QColor kSidebarEdge(0xd3, 0xdb, 0xe6);
const QColor kDivider(0xdc, 0xe3, 0xec);
const QColor kPage(0xff, 0xff, 0xff);
const QColor kBorder(0xb7, 0xc3, 0xd4);
const QColor kPrimary(0x1d, 0x5c, 0x96);
const QColor kMuted(0x7d, 0x8c, 0xa3);
constexpr int kHeaderHeight = 86; // the page host's top, in pixels
constexpr int kMenuTop = 158;     // the menu panel's top, in pixels

QString g_outDir;
bool g_failed = false;

QFont Face(int pixels, int weight = 400) {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

QImage Canvas(int w, int h, const QColor& fill) {
    QImage image(qMax(1, w), qMax(1, h), QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

void Save(const QImage& image, const char* name, const char* format) {
    const QString path = g_outDir + QLatin1Char('/') + QLatin1String(name);
    QImageWriter writer(path, format);
    if (QByteArray(format) == "jpg")
        writer.setQuality(95);
    if (!writer.write(image)) {
        std::fprintf(stderr, "qv-skingen: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        g_failed = true;
    }
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// The header band's colour at row y, so the title buttons sit on it seamlessly.
QColor HeaderAt(int y) {
    return Mix(kHeaderTop, kHeaderBottom, qBound(0.0, y / 83.0, 1.0));
}

void PaintHeader(QPainter& p, int width) {
    for (int y = 0; y < kHeaderHeight - 3; ++y)
        p.fillRect(0, y, width, 1, HeaderAt(y));
    // Soft diagonal bands for depth.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 14));
    QPainterPath band;
    // Kept clear of the title buttons in the top right corner.
    band.moveTo(width * 0.46, 0);
    band.lineTo(width * 0.62, 0);
    band.lineTo(width * 0.50, kHeaderHeight - 3);
    band.lineTo(width * 0.34, kHeaderHeight - 3);
    band.closeSubpath();
    p.drawPath(band);
    p.setBrush(QColor(255, 255, 255, 9));
    p.drawPath(band.translated(width * 0.15, 0));
    p.restore();
    p.fillRect(0, kHeaderHeight - 3, width, 3, kAccent);
}

// The product mark: a rounded square with a ring and a dot, at any size.
void PaintMark(QPainter& p, const QRectF& r, bool onDark) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double radius = r.width() * 0.22;
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, onDark ? QColor(0x2f, 0x7c, 0xc4) : kHeaderBottom);
    g.setColorAt(1, onDark ? QColor(0x17, 0x4a, 0x7c) : kHeaderTop);
    p.setPen(onDark ? QPen(QColor(255, 255, 255, 60), qMax(1.0, r.width() / 40)) : Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
    const QPointF c = r.center();
    const double ring = r.width() * 0.27;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, r.width() * 0.11, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(c.x() - ring, c.y() - ring, 2 * ring, 2 * ring), 60 * 16, 300 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    const double dot = r.width() * 0.09;
    p.drawEllipse(QPointF(c.x() + ring * 0.95, c.y() + ring * 0.95), dot * 1.25, dot * 1.25);
    p.restore();
}

void MakeMainBackground(const DialogUnits& du) {
    const int w = du.X(494);
    const int h = du.Y(415);
    const int menuWidth = du.X(91);
    QImage image = Canvas(w, h, kPage);
    QPainter p(&image);
    PaintHeader(p, w);
    PaintMark(p, QRectF(22, 20, 44, 44), true);
    p.setPen(Qt::white);
    p.setFont(Face(27, 700));
    p.drawText(QPoint(80, 45), QStringLiteral("Quorvantix"));
    p.setPen(QColor(0xbf, 0xd3, 0xea));
    p.setFont(Face(13));
    p.drawText(QPoint(81, 64), QStringLiteral("Gateway provisioning over Ethernet"));
    // The column of the menu panel.
    p.fillRect(0, kHeaderHeight, menuWidth, h - kHeaderHeight, kSidebar);
    p.fillRect(menuWidth - 1, kHeaderHeight, 1, h - kHeaderHeight, kSidebarEdge);
    // Three dots above the menu: a quiet mark that needs no translation.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kSidebarEdge);
    for (int i = -1; i <= 1; ++i)
        p.drawEllipse(QPointF(menuWidth / 2.0 + i * 9, kMenuTop - 30), 2.2, 2.2);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(18, kMenuTop - 8, menuWidth - 36, 1, kSidebarEdge);
    // The window's one-pixel border.
    p.setPen(QColor(0x0e, 0x2a, 0x48));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
    p.end();
    Save(image, "main_bk.jpg", "jpg");
}

void MakeMenuBackground(const DialogUnits& du) {
    const int w = du.X(91);
    const int h = du.Y(324);
    QImage image = Canvas(w, h, kSidebar);
    QPainter p(&image);
    p.fillRect(w - 1, 0, 1, h, kSidebarEdge);
    p.fillRect(18, du.Y(300), w - 36, 1, kSidebarEdge);
    p.end();
    Save(image, "main_left_bk.jpg", "jpg");
}

// Menu buttons overlap their neighbour below by a few pixels; their look is
// kept in the part that stays visible.
void MakeMenuButtons(const DialogUnits& du) {
    const int w = du.X(90);
    const int h = du.Y(28);
    const int visible = du.Y(25);
    for (const char* kind : {"search", "wireless"}) {
        QImage normal = Canvas(w, h, kSidebar);
        {
            QPainter p(&normal);
            p.fillRect(14, visible - 1, w - 28, 1, kDivider);
        }
        QImage down = Canvas(w, h, kSidebar);
        {
            QPainter p(&down);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(6, 3, w - 12, visible - 6), 6, 6);
            p.setBrush(kAccent);
            p.drawRoundedRect(QRectF(6, 9, 4, visible - 18), 2, 2);
        }
        Save(normal, qPrintable(QStringLiteral("bt_menu_%1_normal.bmp").arg(QLatin1String(kind))),
             "bmp");
        Save(down, qPrintable(QStringLiteral("bt_menu_%1_down.bmp").arg(QLatin1String(kind))),
             "bmp");
    }
}

void MakeTitleButtons(const DialogUnits& du) {
    const QRect minRect = du.Rect(454, 7, 17, 10);
    const QRect closeRect = du.Rect(472, 7, 17, 10);
    auto base = [](const QRect& r) {
        QImage image(r.size(), QImage::Format_RGB32);
        for (int y = 0; y < r.height(); ++y)
            for (int x = 0; x < r.width(); ++x)
                image.setPixelColor(x, y, HeaderAt(r.top() + y));
        return image;
    };
    QImage minimise = base(minRect);
    {
        QPainter p(&minimise);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        const double cy = minRect.height() / 2.0 + 3;
        p.drawLine(QPointF(minRect.width() / 2.0 - 5, cy), QPointF(minRect.width() / 2.0 + 5, cy));
    }
    QImage close = base(closeRect);
    {
        QPainter p(&close);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        const QPointF c(closeRect.width() / 2.0, closeRect.height() / 2.0);
        p.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
        p.drawLine(c + QPointF(-4.5, 4.5), c + QPointF(4.5, -4.5));
    }
    Save(minimise, "min_normal.bmp", "bmp");
    Save(close, "close_normal.bmp", "bmp");
}

// A rounded push button on the white page.
QImage PushButton(QSize size, const QColor& border, const QColor& top, const QColor& bottom) {
    QImage image = Canvas(size.width(), size.height(), kPage);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.setPen(QPen(border, 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 5, 5);
    return image;
}

void MakePageImages(const DialogUnits& du) {
    Save(PushButton(du.Size(40, 18), kBorder, Qt::white, QColor(0xea, 0xef, 0xf6)),
         "btn_search.bmp", "bmp");
    Save(PushButton(QSize(64, 26), kBorder, Qt::white, QColor(0xea, 0xef, 0xf6)), "btn_config.bmp",
         "bmp");
    // The large buttons' caption is white, turning black while the mouse is
    // on them: a mid-blue face carries both (contrast above 4:1 either way).
    Save(PushButton(QSize(150, 30), kPrimary, QColor(0x3c, 0x8d, 0xd2), QColor(0x2f, 0x7f, 0xc8)),
         "config_btn.bmp", "bmp");

    const QSize update = du.Size(10, 10);
    for (int pressed = 0; pressed < 2; ++pressed) {
        QImage image = Canvas(update.width(), update.height(), kPage);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink = pressed ? kAccent : kPrimary;
        const QPointF c(update.width() / 2.0, update.height() / 2.0);
        const double r = qMin(update.width(), update.height()) / 2.0 - 2.5;
        p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 90 * 16, 270 * 16);
        QPainterPath head;
        head.moveTo(c.x(), c.y() - r - 3);
        head.lineTo(c.x() + 3.5, c.y() - r);
        head.lineTo(c.x(), c.y() - r + 3);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPath(head);
        p.end();
        Save(image, pressed ? "btn_update_down.bmp" : "btn_update_normal.bmp", "bmp");
    }

    QImage line = Canvas(du.X(378), 1, kDivider);
    Save(line, "line.bmp", "bmp");
    QImage orange = Canvas(420, 2, kAccent);
    Save(orange, "orange_line.bmp", "bmp");

    // The two ends of the rounded filter box around the frameless text box.
    const int boxHeight = du.Y(14);
    QImage left = Canvas(24, boxHeight, kPage);
    {
        QPainter p(&left);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kBorder, 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(0.5, 0.5, 40, boxHeight - 1), boxHeight / 2.0 - 1,
                          boxHeight / 2.0 - 1);
        p.setPen(QPen(kMuted, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const QPointF c(12, boxHeight / 2.0 - 1);
        p.drawEllipse(c, 4.2, 4.2);
        p.drawLine(c + QPointF(3.2, 3.2), c + QPointF(6.5, 6.5));
    }
    Save(left, "btn_pie.bmp", "bmp");
    QImage right = Canvas(12, boxHeight, kPage);
    {
        QPainter p(&right);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kBorder, 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(-30, 0.5, 41.5, boxHeight - 1), boxHeight / 2.0 - 1,
                          boxHeight / 2.0 - 1);
    }
    Save(right, "btn_pie2.bmp", "bmp");

    QImage closeConfig = Canvas(22, 22, kPage);
    {
        QPainter p(&closeConfig);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xee, 0xf1, 0xf6));
        p.drawEllipse(QRectF(1, 1, 20, 20));
        p.setPen(QPen(kMuted, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7.5, 7.5), QPointF(14.5, 14.5));
        p.drawLine(QPointF(7.5, 14.5), QPointF(14.5, 7.5));
    }
    Save(closeConfig, "close_config.bmp", "bmp");
}

// Twelve frames of a ring of dots, the bright one moving clockwise.
void MakeBusyIndicator() {
    constexpr int kSize = 24;
    constexpr int kFrames = 12;
    QVector<QColor> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(Mix(kPrimary, kPage, i / 255.0));
    GifWriter gif(kSize, kSize, palette);
    for (int f = 0; f < kFrames; ++f) {
        QImage frame(kSize, kSize, QImage::Format_RGB32);
        frame.fill(Qt::white);
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int d = 0; d < kFrames; ++d) {
            const int age = (f - d + kFrames) % kFrames;
            const double shade = qMin(1.0, 0.12 + age * 0.085);
            const int level = int(shade * 255);
            p.setBrush(QColor(level, level, level));
            const double a = d * 2 * M_PI / kFrames - M_PI / 2;
            const QPointF c(kSize / 2.0 + 8.5 * std::cos(a), kSize / 2.0 + 8.5 * std::sin(a));
            p.drawEllipse(c, 2.3, 2.3);
        }
        p.end();
        std::vector<unsigned char> indices;
        indices.reserve(kSize * kSize);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                indices.push_back(static_cast<unsigned char>(qGray(frame.pixel(x, y))));
        gif.AddFrame(indices, 8, 1);
    }
    QFile file(g_outDir + QStringLiteral("/wait_search.gif"));
    if (!file.open(QIODevice::WriteOnly) || file.write(gif.Finish()) < 0) {
        std::fprintf(stderr, "qv-skingen: cannot write wait_search.gif\n");
        g_failed = true;
    }
}

void MakeIcon() {
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    PaintMark(p, QRectF(2, 2, 60, 60), false);
    p.end();
    Save(icon, "Application.ico", "ico");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv-skingen OUTPUT_DIR\n");
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_outDir)) {
        std::fprintf(stderr, "qv-skingen: cannot make %s\n", argv[1]);
        return 1;
    }
    const DialogUnits& du = DialogUnits::Default();
    MakeMainBackground(du);
    MakeMenuBackground(du);
    MakeMenuButtons(du);
    MakeTitleButtons(du);
    MakePageImages(du);
    MakeBusyIndicator();
    MakeIcon();
    return g_failed ? 1 : 0;
}
