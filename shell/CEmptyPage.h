#pragma once

#include "controls/CTPage.h"

// A page without contents yet: it keeps its identifier and counts the calls
// the host makes of it.
class CEmptyPage : public CTPage {
    Q_OBJECT
public:
    CEmptyPage(int pageId, QWidget* parent);

    void RefreshPage() override { ++m_refreshCount; }
    void ShowListPage(int page) override { m_lastListPage = page; }

    int RefreshCount() const { return m_refreshCount; }
    int LastListPage() const { return m_lastListPage; }

private:
    int m_refreshCount = 0;
    int m_lastListPage = 0;
};
