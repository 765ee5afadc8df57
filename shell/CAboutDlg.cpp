#include "shell/CAboutDlg.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "controls/CTButtonPicture.h"
#include "controls/CTStatic.h"
#include "controls/DialogUnits.h"
#include "shell/SkinPaths.h"
#include "shell/TranslateWindow.h"

#include <QLabel>

CAboutDlg::CAboutDlg(QWidget* parent, const QIcon& icon) : CTDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    const DialogUnits& du = DialogUnits::Default();
    setFixedSize(du.Size(170, 62));
    setWindowTitle(QStringLiteral("About Quorvantix"));

    auto* picture = new QLabel(this);
    picture->setGeometry(du.Rect(11, 10, 21, 20));
    if (!icon.isNull())
        picture->setPixmap(icon.pixmap(picture->size()));

    const AppSettings& settings = Settings();
    auto* product = new CTStatic(this);
    product->setGeometry(du.Rect(40, 10, 119, 10));
    product->SetupStaticFromSettings(settings);
    product->setText(QStringLiteral("Quorvantix ") + QString::fromStdString(settings.versionText));
    auto* line = new CTStatic(this);
    line->setGeometry(du.Rect(40, 24, 119, 10));
    line->SetupStaticFromSettings(settings);
    line->setText(QStringLiteral("Bulk provisioning of home gateways"));

    auto* ok = new CTButtonPicture(this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setGeometry(du.Rect(113, 41, 50, 14));
    ok->setText(QStringLiteral("OK"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    TranslateWindow(this);
    SetFillBackground(true, settings.childBkColor);
    CTButtonPicture::SetupButton(*ok, ok->text(), settings);
    const SkinPaths& skin = Skin();
    ok->SetButtonImages(skin.buttonConfig, skin.buttonConfig, skin.buttonConfig, skin.buttonConfig);
}
