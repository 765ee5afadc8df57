#include "shell/CChildDlg.h"

#include "base/Settings.h"
#include "controls/DialogUnits.h"
#include "shell/CEmptyPage.h"
#include "shell/TranslateWindow.h"

namespace {

constexpr int kPageIds[3] = {CTPage::kStatusPage, CTPage::kLogoPage, CTPage::kParameterPage};

} // namespace

CChildDlg::CChildDlg(QWidget* parent, PageFactory factory) : CTDialog(parent, Kind::Child) {
    setObjectName(QStringLiteral("pageHost"));
    resize(DialogUnits::Default().Size(610, 372));
    SetPageHostLink(this);
    TranslateWindow(this);
    SetFillBackground(true, Settings().childBkColor);

    for (size_t i = 0; i < 3; ++i) {
        CTPage* page = factory ? factory(kPageIds[i], this) : nullptr;
        if (!page)
            page = new CEmptyPage(kPageIds[i], this);
        page->setParent(this);
        page->move(0, 0);
        if (!page->testAttribute(Qt::WA_Resized))
            page->resize(size()); // a page that did not size itself fills the host
        m_pages[i] = page;
    }
    for (CTPage* page : m_pages)
        page->setVisible(page->PageId() == CTPage::kStatusPage);
    m_pageOnShow = CTPage::kStatusPage;

    m_refreshOnShow.setInterval(kRefreshOnShowMs);
    m_refreshOnShow.setSingleShot(true); // a page is refreshed once, after it is shown
    connect(&m_refreshOnShow, &QTimer::timeout, this, [this] { OnTimer(kRefreshOnShowTimer); });
    m_statusRefresh.setInterval(kStatusMs);
    connect(&m_statusRefresh, &QTimer::timeout, this, [this] { OnTimer(kStatusTimer); });
    m_refreshOnShow.start();
    m_statusRefresh.start();
}

CChildDlg::~CChildDlg() {
    if (PageHostLink() == this)
        SetPageHostLink(nullptr);
}

CTPage* CChildDlg::Page(int pageId) const {
    for (CTPage* page : m_pages)
        if (page->PageId() == pageId)
            return page;
    return nullptr;
}

void CChildDlg::ShowPage(int pageId) {
    if (!Page(pageId))
        return;
    m_pageOnShow = pageId;
    for (CTPage* page : m_pages)
        page->setVisible(page->PageId() == pageId);
    m_refreshOnShow.start();
}

void CChildDlg::OnTimer(int timerId) {
    if (timerId == kRefreshOnShowTimer) {
        m_refreshOnShow.stop();
        if (CTPage* page = Page(m_pageOnShow))
            page->RefreshPage();
    } else if (timerId == kStatusTimer) {
        if (m_autoRefresh && m_pageOnShow == CTPage::kStatusPage)
            Page(CTPage::kStatusPage)->AutoRefreshPage();
    }
}

int CChildDlg::OnPageChangeNotice(int ownerId, int page) {
    if (CTPage* target = Page(ownerId))
        target->ShowListPage(page);
    return 0;
}

void CChildDlg::SetMenuButtonsEnabled(bool enabled) {
    if (m_menu)
        m_menu->SetButtonsEnabled(enabled);
}
