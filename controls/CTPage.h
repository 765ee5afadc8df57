#pragma once

#include "controls/CTDialog.h"

// One operator page of the page host, identified by its template number
// (133 status, 137 parameter, 136 logo).
class CTPage : public CTDialog {
    Q_OBJECT
public:
    static constexpr int kStatusPage = 133;
    static constexpr int kLogoPage = 136;
    static constexpr int kParameterPage = 137;

    CTPage(int pageId, QWidget* parent);

    int PageId() const { return m_pageId; }
    // Reloads the page's device list from the record store.
    virtual void RefreshPage() = 0;
    // The periodic reload of the page host; a page that can keep what the
    // operator is looking at does so. By default RefreshPage.
    virtual void AutoRefreshPage() { RefreshPage(); }
    // Loads page n (from 1) of the page's device list.
    virtual void ShowListPage(int page) = 0;

private:
    int m_pageId;
};
