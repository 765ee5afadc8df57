#include "controls/DialogTitleBar.h"

#include "base/Settings.h"
#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"
#include "controls/SkinStyle.h"

#include <QLabel>
#include <QPainter>

namespace {

const QColor kBorderColor(0x0e, 0x2a, 0x48);

class WindowBorder : public QWidget {
public:
    explicit WindowBorder(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("windowBorder"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(kBorderColor);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

} // namespace

DialogTitleBar AddDialogTitleBar(CTDialog* dialog, const QString& title, const QString& closeImage,
                                 const QString& lineImage) {
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog->setWindowTitle(title);
    dialog->SetDragByBackground(true);
    const AppSettings& s = Settings();
    const int width = dialog->width();
    DialogTitleBar bar;

    bar.title = new QLabel(dialog);
    bar.title->setObjectName(QStringLiteral("titleText"));
    bar.title->setGeometry(0, 0, width, DialogTitleBar::kHeight);
    bar.title->setText(QStringLiteral("  ") + title);
    bar.title->setAutoFillBackground(true);
    QPalette palette = bar.title->palette();
    palette.setColor(QPalette::Window, ToQColor(s.gridTitleBkColor));
    palette.setColor(QPalette::WindowText, ToQColor(s.gridTitleTextColor));
    bar.title->setPalette(palette);
    bar.title->setFont(
        MakeSkinFont(QString::fromStdString(s.fontName.empty() ? "Arial" : s.fontName),
                     s.staticFontHeight > 0 ? s.staticFontHeight + 2 : 15, 700));
    bar.title->setAttribute(Qt::WA_TransparentForMouseEvents);

    bar.line = new QLabel(dialog);
    bar.line->setObjectName(QStringLiteral("titleLine"));
    const QImage lineImage_ = LoadSkinImage(lineImage);
    if (!lineImage_.isNull())
        bar.line->setPixmap(QPixmap::fromImage(lineImage_));
    bar.line->setScaledContents(true);
    bar.line->setGeometry(0, DialogTitleBar::kHeight, width, 2);
    bar.line->setAttribute(Qt::WA_TransparentForMouseEvents);

    bar.close = new CTButtonPicture(dialog);
    bar.close->setObjectName(QStringLiteral("closeButton"));
    bar.close->SetButtonImages(closeImage, closeImage, closeImage, closeImage);
    if (bar.close->Image(CTButtonPicture::Normal).isNull()) {
        bar.close->SetButtonText(QStringLiteral("X"));
        bar.close->SetNormalTextColor(s.gridTitleTextColor);
    }
    bar.close->setGeometry(width - 30, 5, 22, 22);
    QObject::connect(bar.close, &QPushButton::clicked, dialog, &QDialog::reject);
    return bar;
}

QWidget* AddWindowBorder(QWidget* window) {
    auto* border = new WindowBorder(window);
    border->setGeometry(window->rect());
    border->raise();
    return border;
}
