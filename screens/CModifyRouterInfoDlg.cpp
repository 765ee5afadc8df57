#include "screens/CModifyRouterInfoDlg.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "controls/DialogUnits.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyRouterInfoConfigDlg.h"
#include "screens/ScreenSeams.h"

namespace {

std::vector<ListColumn> ParameterColumns() {
    return {{"", 60, -1},
            {"Serial", 60, -1},
            {"MAC", 260, SortByMac},
            {"LogoStatus", 120, SortByLogStatus},
            {"ParaStatus", 120, SortByParaStatus}};
}

} // namespace

CModifyRouterInfoDlg::CModifyRouterInfoDlg(QWidget* parent, CSqlManagement* store)
    : CDeviceListPage(kParameterPage, parent, ParameterColumns(), SortByMac, false, store) {
    setObjectName(QStringLiteral("parameterPage"));
    SetHandColumns({0, 1, 2, 3, 4});
    const DialogUnits& du = DialogUnits::Default();
    m_modify = MakePageButton("Modify", du.Rect(7, 5, 40, 18));
    m_modify->setObjectName(QStringLiteral("modifyButton"));
    connect(m_modify, &QPushButton::clicked, this, [this] { OnModify(); });
    m_hiddenSearch = MakePageButton("Search", du.Rect(49, 5, 40, 18));
    m_hiddenSearch->hide();
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(kRefreshTimer); });
}

void CModifyRouterInfoDlg::FillRecordCells(int row, const ap_info_stu& record) {
    SetCell(row, 3, QString::fromStdString(StatusText(record.ap_log_status)),
            StatusColor(record.ap_log_status));
    SetCell(row, 4, QString::fromStdString(StatusText(record.ap_para_status)),
            StatusColor(record.ap_para_status));
}

void CModifyRouterInfoDlg::OnModify() {
    CollectCheckedDevices();
    if (m_selected.empty()) {
        ShowMessage(TranslateText(std::string("Please select the devices!")),
                    MessageIcon::Exclamation, std::string());
        return;
    }
    {
        CModifyRouterInfoConfigDlg dialog(m_selected, this, &Store());
        RunModalDialog(dialog);
    }
    m_timer.start(kRefreshMs);
}

void CModifyRouterInfoDlg::OnTimer(int timerId) {
    if (timerId != kRefreshTimer)
        return;
    for (const std::string& mac : m_selected) {
        const int logo = Store().GetLogStatus(mac);
        const int para = Store().GetParaStatus(mac);
        UpdateStatusCell(mac, 3, logo);
        UpdateStatusCell(mac, 4, para);
    }
}
