#pragma once

#include "controls/CTDialog.h"
#include "controls/CTPage.h"
#include "controls/PageHostLink.h"
#include "shell/MenuPanel.h"

#include <QTimer>
#include <array>
#include <functional>

// Makes the page with the given identifier (133, 136, 137) as a child of host.
using PageFactory = std::function<CTPage*(int pageId, QWidget* host)>;

// The page host: owns the three operator pages, shows one at a time,
// refreshes the page on show 100 ms after every switch and the status page
// every ten seconds while automatic refresh is on, and routes the page
// selectors' notices to their pages.
class CChildDlg : public CTDialog, public CPageHostLink {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 129;
    static constexpr int kRefreshOnShowTimer = 2000;
    static constexpr int kStatusTimer = 1000;
    static constexpr int kRefreshOnShowMs = 100;
    static constexpr int kStatusMs = 10000;

    // A null factory makes empty pages.
    explicit CChildDlg(QWidget* parent, PageFactory factory = {});
    ~CChildDlg() override;

    // Shows the page, hides the other two and starts the refresh-on-show timer.
    void ShowPage(int pageId);
    int PageOnShow() const { return m_pageOnShow; }
    CTPage* Page(int pageId) const;

    // The host's timers, run as if they had ticked (tests drive them so).
    void OnTimer(int timerId);
    const QTimer& RefreshOnShowTimer() const { return m_refreshOnShow; }
    const QTimer& StatusTimer() const { return m_statusRefresh; }

    // The menu panel whose buttons a running search disables.
    void SetMenuPanel(CMenuPanel* menu) { m_menu = menu; }

    int OnPageChangeNotice(int ownerId, int page) override;
    void SetAutoRefresh(bool on) override { m_autoRefresh = on; }
    bool AutoRefresh() const override { return m_autoRefresh; }
    void SetMenuButtonsEnabled(bool enabled) override;

private:
    std::array<CTPage*, 3> m_pages{}; // status, logo, parameter
    int m_pageOnShow = CTPage::kStatusPage;
    bool m_autoRefresh = true;
    QTimer m_refreshOnShow;
    QTimer m_statusRefresh;
    CMenuPanel* m_menu = nullptr;
};
