#include "screens/OperatorPages.h"

#include "screens/CModifyRouterInfoDlg.h"
#include "screens/CModifyWebLogDlg.h"
#include "screens/CStatusDlg.h"

CTPage* MakeOperatorPage(int pageId, QWidget* host) {
    switch (pageId) {
    case CTPage::kStatusPage:
        return new CStatusDlg(host);
    case CTPage::kParameterPage:
        return new CModifyRouterInfoDlg(host);
    case CTPage::kLogoPage:
        return new CModifyWebLogDlg(host);
    default:
        return nullptr;
    }
}
