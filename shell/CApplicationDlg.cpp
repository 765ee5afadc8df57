#include "shell/CApplicationDlg.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "controls/DialogUnits.h"
#include "controls/SkinStyle.h"
#include "shell/CAboutDlg.h"
#include "shell/CChildDlg.h"
#include "shell/CMenuDlg.h"
#include "shell/SkinPaths.h"
#include "shell/TranslateWindow.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QSystemTrayIcon>

namespace {

// The window's one-pixel border, drawn above the panels that reach the edges.
class WindowBorder : public QWidget {
public:
    explicit WindowBorder(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QColor(0x0e, 0x2a, 0x48));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// The tooltips of the title buttons wake after the window's own delay.
class TipDelayStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay)
            return CApplicationDlg::kTipDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

QPoint CApplicationDlg::PlaceInside(const QRect& available, const QSize& size) {
    QPoint at = available.center() - QPoint(size.width() / 2, size.height() / 2);
    at.setX(qMax(available.left(), qMin(at.x(), available.right() + 1 - size.width())));
    at.setY(qMax(available.top(), qMin(at.y(), available.bottom() + 1 - size.height())));
    return at;
}

CApplicationDlg::CApplicationDlg(QWidget* parent, std::function<CTPage*(int, QWidget*)> pageFactory)
    : CTDialog(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Quorvantix"));
    const DialogUnits& du = DialogUnits::Default();
    setFixedSize(du.Size(494, 415));

    m_minimise = new CTButtonPicture(this);
    m_minimise->setObjectName(QStringLiteral("minimiseButton"));
    m_minimise->setGeometry(du.Rect(454, 7, 17, 10));
    connect(m_minimise, &QPushButton::clicked, this, [this] { OnCommand(kMinimiseButton); });
    m_close = new CTButtonPicture(this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    m_close->setGeometry(du.Rect(472, 7, 17, 10));
    connect(m_close, &QPushButton::clicked, this, [this] { OnCommand(kCloseButton); });

    const SkinPaths& skin = Skin();
    // The first image of the icon file decides whether there is an icon at all.
    if (!LoadSkinImage(skin.applicationIcon).isNull())
        m_icon = QIcon(skin.applicationIcon);
    if (!m_icon.isNull())
        setWindowIcon(m_icon);

    TranslateWindow(this);

    const AppSettings& settings = Settings();
    SetFillBackground(true, settings.childBkColor);
    SetBackgroundImage(skin.mainBk);
    SetDragByBackground(true);

    m_minimise->setToolTip(TranslateText(QStringLiteral("Min")));
    m_close->setToolTip(TranslateText(QStringLiteral("Close")));
    auto* tipStyle = new TipDelayStyle;
    tipStyle->setParent(this);
    m_minimise->setStyle(tipStyle);
    m_close->setStyle(tipStyle);
    m_minimise->SetButtonImages(skin.minNormal, skin.minNormal, skin.minNormal, skin.minNormal);
    m_close->SetButtonImages(skin.closeNormal, skin.closeNormal, skin.closeNormal,
                             skin.closeNormal);
    // Without images the two buttons still need something to click.
    if (m_minimise->Image(CTButtonPicture::Normal).isNull())
        m_minimise->SetButtonText(QStringLiteral("_"));
    if (m_close->Image(CTButtonPicture::Normal).isNull())
        m_close->SetButtonText(QStringLiteral("X"));

    m_trayTip = TranslateText(QStringLiteral("Quorvantix")).left(kMaxTipLength);
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    PrepareTrayMenu();
    connect(m_trayMenu, &QMenu::aboutToShow, this, [this] {
        PrepareTrayMenu();
        raise();
    });
    // A notification area needs an icon to show anything; without either the
    // minimise button falls back to an ordinary minimise.
    if (QSystemTrayIcon::isSystemTrayAvailable() && !m_icon.isNull()) {
        m_tray = new QSystemTrayIcon(m_icon, this);
        m_tray->setToolTip(m_trayTip);
        m_tray->setContextMenu(m_trayMenu);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick ||
                        reason == QSystemTrayIcon::Trigger)
                        BringToFront();
                });
        m_tray->show();
    }

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(PlaceInside(screen->availableGeometry(), frameGeometry().size()));

    m_menu = new CMenuDlg(this, [this] { return m_host; });
    m_menu->move(0, kMenuPanelTop);
    m_menu->show();
    m_host = new CChildDlg(this, std::move(pageFactory));
    m_host->SetMenuPanel(m_menu);
    m_host->move(m_menu->width(), kPageHostTop);
    m_host->show();
    m_minimise->raise();
    m_close->raise();
    auto* border = new WindowBorder(this);
    border->setGeometry(rect());
    border->raise();
}

CApplicationDlg::~CApplicationDlg() {
    if (m_tray)
        m_tray->hide();
}

void CApplicationDlg::PrepareTrayMenu() {
    m_trayMenu->clear();
    QAction* show = m_trayMenu->addAction(QStringLiteral("Show Utility"));
    show->setData(kShowUtility);
    connect(show, &QAction::triggered, this, [this] { OnCommand(kShowUtility); });
    QAction* about = m_trayMenu->addAction(QStringLiteral("About Quorvantix..."));
    about->setData(kAbout);
    connect(about, &QAction::triggered, this, [this] { OnCommand(kAbout); });
    m_trayMenu->addSeparator();
    QAction* exit = m_trayMenu->addAction(QStringLiteral("Exit"));
    exit->setData(kExit);
    connect(exit, &QAction::triggered, this, [this] { OnCommand(kExit); });
    TranslateMenu(m_trayMenu);
}

void CApplicationDlg::BringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void CApplicationDlg::OnCommand(int commandId) {
    switch (commandId) {
    case kMinimiseButton:
        if (m_tray && m_tray->isVisible())
            hide();
        else
            showMinimized();
        break;
    case kCloseButton:
    case kExit:
        accept();
        break;
    case kShowUtility:
        BringToFront();
        break;
    default:
        if ((commandId & 0xFFF0) == kAbout) {
            CAboutDlg about(isVisible() ? this : nullptr, m_icon);
            about.exec();
        }
        break;
    }
}

void CApplicationDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The title area's menu stands in for the system menu's About item.
    if (childAt(event->pos()) || event->pos().y() >= kPageHostTop) {
        CTDialog::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    QAction* about = menu.addAction(QStringLiteral("About Quorvantix..."));
    TranslateMenu(&menu);
    if (menu.exec(event->globalPos()) == about)
        OnCommand(kAbout);
}
