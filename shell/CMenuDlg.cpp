#include "shell/CMenuDlg.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "controls/CTPage.h"
#include "controls/DialogUnits.h"
#include "shell/CChildDlg.h"
#include "shell/SkinPaths.h"
#include "shell/TranslateWindow.h"

CMenuDlg::CMenuDlg(QWidget* parent, std::function<CChildDlg*()> hostFinder)
    : CTDialog(parent, Kind::Child), m_hostFinder(std::move(hostFinder)) {
    setObjectName(QStringLiteral("menuPanel"));
    const DialogUnits& du = DialogUnits::Default();
    resize(du.Size(91, 324));

    auto makeButton = [&](int id, int y) {
        auto* button = new CTButtonPicture(this);
        button->setObjectName(QStringLiteral("menuButton%1").arg(id));
        button->setGeometry(du.Rect(0, y, 90, 28));
        connect(button, &QPushButton::clicked, this, [this, id] { OnMenuCommand(id); });
        return button;
    };
    m_status = makeButton(kStatusButton, 0);
    m_parameter = makeButton(kParameterButton, 25);
    m_logo = makeButton(kLogoButton, 51);
    m_logo->hide(); // nothing in the program shows the logo page's button
    m_version = new CTStatic(this);
    m_version->setObjectName(QStringLiteral("versionLabel"));
    m_version->setGeometry(du.Rect(7, 306, 77, 9));
    m_version->setAlignment(Qt::AlignCenter);

    TranslateWindow(this);
    const SkinPaths& skin = Skin();
    SetBackgroundImage(skin.mainLeftBk);

    const AppSettings& settings = Settings();
    const struct {
        CTButtonPicture* button;
        const char* caption;
        QString normal;
        QString down;
    } buttons[] = {
        {m_status, "Device status", skin.menuSearchNormal, skin.menuSearchDown},
        {m_parameter, "Device Modify Para ", skin.menuWirelessNormal, skin.menuWirelessDown},
        {m_logo, "Device Modify Logo", skin.menuWirelessNormal, skin.menuWirelessDown},
    };
    for (const auto& b : buttons) {
        CTButtonPicture::SetupMenuButton(*b.button, TranslateText(QString::fromUtf8(b.caption)),
                                         settings);
        b.button->SetAlignment(CTButtonPicture::AlignCentre);
        b.button->SetButtonImages(b.normal, b.down, b.down, b.normal);
    }
    OnMenuCommand(kStatusButton);

    m_version->SetupStaticFromSettings(settings);
    m_version->SetTextColor(settings.staticTextNumberColor);
    m_version->setText(QString::fromStdString(settings.versionText));
}

int CMenuDlg::PageForCommand(int commandId) {
    switch (commandId) {
    case kStatusButton:
        return CTPage::kStatusPage;
    case kParameterButton:
        return CTPage::kParameterPage;
    case kLogoButton:
        return CTPage::kLogoPage;
    default:
        return 0;
    }
}

CTButtonPicture* CMenuDlg::Button(int commandId) const {
    switch (commandId) {
    case kStatusButton:
        return m_status;
    case kParameterButton:
        return m_parameter;
    case kLogoButton:
        return m_logo;
    default:
        return nullptr;
    }
}

void CMenuDlg::OnMenuCommand(int commandId) {
    CTButtonPicture* pressed = Button(commandId);
    if (!pressed)
        return;
    for (CTButtonPicture* b : {m_status, m_parameter, m_logo})
        b->SetSelected(false);
    pressed->SetSelected(true);
    CChildDlg* host = m_hostFinder ? m_hostFinder() : nullptr;
    if (!host)
        return;
    host->ShowPage(PageForCommand(commandId));
}

void CMenuDlg::SetButtonsEnabled(bool enabled) {
    for (CTButtonPicture* b : {m_status, m_parameter, m_logo})
        b->setEnabled(enabled);
}
