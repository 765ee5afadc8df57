#pragma once

#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"

#include <QIcon>
#include <QPointer>
#include <functional>

class CChildDlg;
class CTPage;
class CMenuDlg;
class QMenu;
class QSystemTrayIcon;

// The program's one window: frameless and skinned, with its own minimise and
// close buttons, a notification-area icon with a small menu, the menu panel
// on the left and the page host on the right.
class CApplicationDlg : public CTDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 102;
    static constexpr int kMinimiseButton = 1002;
    static constexpr int kCloseButton = 1000;
    static constexpr int kShowUtility = 32781;
    static constexpr int kExit = 32782;
    static constexpr int kAbout = 16;
    static constexpr int kMenuPanelTop = 158; // pixels
    static constexpr int kPageHostTop = 86;   // pixels
    static constexpr int kMaxTipLength = 63;
    static constexpr int kTipDelayMs = 500;

    // pageFactory makes the three pages of the host (null: empty pages).
    explicit CApplicationDlg(QWidget* parent = nullptr,
                             std::function<CTPage*(int, QWidget*)> pageFactory = {});
    ~CApplicationDlg() override;

    // The window's commands (button, tray-menu and About numbers above).
    void OnCommand(int commandId);

    CMenuDlg* MenuPanel() const { return m_menu; }
    CChildDlg* PageHost() const { return m_host; }
    CTButtonPicture* MinimiseButton() const { return m_minimise; }
    CTButtonPicture* CloseButton() const { return m_close; }
    QSystemTrayIcon* TrayIcon() const { return m_tray; }
    QMenu* TrayMenu() const { return m_trayMenu; }
    const QIcon& ProgramIcon() const { return m_icon; }
    QString TrayTip() const { return m_trayTip; }
    // Refills the tray menu with its items in English and translates it,
    // as for a freshly loaded menu.
    void PrepareTrayMenu();
    // Shows the window again (from the tray, minimised or behind others) and
    // brings it to the front.
    void BringToFront();

    // Where a window of this size opens: centred in the screen's available
    // area, moved inside it where it would stick out, its top left corner
    // inside when it is larger than the area.
    static QPoint PlaceInside(const QRect& available, const QSize& size);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QIcon m_icon;
    CTButtonPicture* m_minimise = nullptr;
    CTButtonPicture* m_close = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    QString m_trayTip;
    CMenuDlg* m_menu = nullptr;
    CChildDlg* m_host = nullptr;
};
