#include "shell/CAboutDlg.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "controls/CTButtonPicture.h"
#include "controls/CTStatic.h"
#include "controls/DialogTitleBar.h"
#include "controls/DialogUnits.h"
#include "shell/SkinPaths.h"
#include "shell/TranslateWindow.h"

#include <QLabel>

CAboutDlg::CAboutDlg(QWidget* parent, const QIcon& icon) : CTDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    const DialogUnits& du = DialogUnits::Default();
    // The box's own layout stands under its title bar.
    const int top = DialogTitleBar::kHeight + 2;
    const auto place = [&du, top](int x, int y, int w, int h) {
        return du.Rect(x, y, w, h).translated(0, top);
    };
    setFixedSize(du.Size(170, 62) + QSize(0, top));
    const SkinPaths& skin = Skin();
    m_titleBar = AddDialogTitleBar(this, TranslateText(QStringLiteral("About Quorvantix")),
                                   skin.closeConfig, skin.orangeLine);

    auto* picture = new QLabel(this);
    picture->setGeometry(place(11, 10, 21, 20));
    if (!icon.isNull())
        picture->setPixmap(icon.pixmap(picture->size()));

    const AppSettings& settings = Settings();
    auto* product = new CTStatic(this);
    product->setGeometry(place(40, 10, 119, 10));
    product->SetupStaticFromSettings(settings);
    product->setText(QStringLiteral("Quorvantix ") + QString::fromStdString(settings.versionText));
    auto* line = new CTStatic(this);
    line->setGeometry(place(40, 24, 119, 10));
    line->SetupStaticFromSettings(settings);
    line->setText(QStringLiteral("Bulk provisioning of home gateways"));

    auto* ok = new CTButtonPicture(this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setGeometry(place(113, 41, 50, 14));
    ok->setText(QStringLiteral("OK"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    TranslateWindow(this);
    SetFillBackground(true, settings.childBkColor);
    CTButtonPicture::SetupButton(*ok, ok->text(), settings);
    ok->SetButtonImages(skin.buttonConfig, skin.buttonConfig, skin.buttonConfig, skin.buttonConfig);
    AddWindowBorder(this);
}
