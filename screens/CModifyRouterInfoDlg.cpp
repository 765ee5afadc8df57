#include "screens/CModifyRouterInfoDlg.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "controls/DialogUnits.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyRouterInfoConfigDlg.h"
#include "screens/ScreenSeams.h"

#include <cstring>

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
    m_retry = MakePageButton("Retry failed", du.Rect(102, 5, 60, 18));
    m_retry->setObjectName(QStringLiteral("retryFailedButton"));
    connect(m_retry, &QPushButton::clicked, this, [this] { OnRetryFailed(); });
    m_stopProvisioning = MakePageButton("Stop provisioning", du.Rect(164, 5, 70, 18));
    m_stopProvisioning->setObjectName(QStringLiteral("stopProvisioningButton"));
    m_stopProvisioning->hide();
    connect(m_stopProvisioning, &QPushButton::clicked, this, [this] { OnStopProvisioning(); });
    m_batch.SetStore(&Store());
    m_station.SetStore(&Store());
}

void CModifyRouterInfoDlg::OnStopProvisioning() {
    m_station.Stop();
    m_stopProvisioning->hide();
    CountText()->setText(m_station.StatusLine());
}

void CModifyRouterInfoDlg::OnRetryFailed() {
    std::vector<std::string> devices;
    if (!m_batch.RetryFailed(devices))
        return;
    m_selected = devices;
    m_timer.start(kRefreshMs);
}

void CModifyRouterInfoDlg::FillRecordCells(int row, const ap_info_stu& record) {
    const std::string mac(record.mac, strnlen(record.mac, sizeof record.mac));
    SetStatusCell(row, 3, record.ap_log_status, Store().GetProgress(mac, TransferFile::Logo));
    SetStatusCell(row, 4, record.ap_para_status, Store().GetProgress(mac, TransferFile::Config));
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
        if (!dialog.LastResult().batch.Empty())
            m_batch.Begin(dialog.LastResult().batch);
        if (!dialog.LastResult().batch.Empty() && dialog.KeepProvisioning()) {
            StartBenchStation(m_station, dialog.SubmittedInput(), dialog.LastResult().batch,
                              m_stopProvisioning);
        }
    }
    m_timer.start(kRefreshMs);
}

void CModifyRouterInfoDlg::OnTimer(int timerId) {
    if (timerId != kRefreshTimer)
        return;
    for (const std::string& mac : m_selected) {
        const int logo = Store().GetLogStatus(mac);
        const int para = Store().GetParaStatus(mac);
        const TransferProgress logoProgress = Store().GetProgress(mac, TransferFile::Logo);
        const TransferProgress paraProgress = Store().GetProgress(mac, TransferFile::Config);
        UpdateStatusCell(mac, 3, logo, &logoProgress);
        UpdateStatusCell(mac, 4, para, &paraProgress);
    }
    if (const std::optional<QString> notice = m_batch.Poll())
        BatchFollower::ShowNotice(*notice, CountText());
    FollowBenchStation(m_station);
}
