#include "screens/CModifyWebLogDlg.h"

#include "base/Language.h"
#include "controls/DialogUnits.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyWebLogConfigDlg.h"
#include "screens/ScreenSeams.h"

#include <cstring>

namespace {

std::vector<ListColumn> LogoColumns() {
    return {{"", 60, -1},
            {"Serial", 120, -1},
            {"MAC", 264, SortByMac},
            {"Status", 160, SortByLogStatus}};
}

} // namespace

CModifyWebLogDlg::CModifyWebLogDlg(QWidget* parent, CSqlManagement* store)
    : CDeviceListPage(kLogoPage, parent, LogoColumns(), SortByMac, false, store) {
    setObjectName(QStringLiteral("logoPage"));
    SetHandColumns({0, 1, 2, 3});
    const DialogUnits& du = DialogUnits::Default();
    m_modify = MakePageButton("Modify", du.Rect(7, 5, 40, 18));
    m_modify->setObjectName(QStringLiteral("modifyButton"));
    connect(m_modify, &QPushButton::clicked, this, [this] { OnModify(); });
    m_hiddenSearch = MakePageButton("Search", du.Rect(60, 6, 40, 18));
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

void CModifyWebLogDlg::OnStopProvisioning() {
    m_station.Stop();
    m_stopProvisioning->hide();
    CountText()->setText(m_station.StatusLine());
}

void CModifyWebLogDlg::OnRetryFailed() {
    std::vector<std::string> devices;
    if (!m_batch.RetryFailed(devices))
        return;
    m_selected = devices;
    m_timer.start(kRefreshMs);
}

void CModifyWebLogDlg::FillRecordCells(int row, const ap_info_stu& record) {
    const std::string mac(record.mac, strnlen(record.mac, sizeof record.mac));
    SetStatusCell(row, 3, record.ap_log_status, Store().GetProgress(mac, TransferFile::Logo));
}

void CModifyWebLogDlg::OnModify() {
    CollectCheckedDevices();
    // This page opens its dialog also for an empty selection.
    {
        CModifyWebLogConfigDlg dialog(m_selected, this, &Store());
        RunModalDialog(dialog);
        if (!dialog.Batch().Empty())
            m_batch.Begin(dialog.Batch());
        if (!dialog.Batch().Empty() && dialog.KeepProvisioning()) {
            StartBenchStation(m_station, dialog.SubmittedInput(), dialog.Batch(),
                              m_stopProvisioning);
        }
    }
    m_timer.start(kRefreshMs);
}

void CModifyWebLogDlg::OnTimer(int timerId) {
    if (timerId != kRefreshTimer)
        return;
    for (const std::string& mac : m_selected) {
        const TransferProgress progress = Store().GetProgress(mac, TransferFile::Logo);
        UpdateStatusCell(mac, 3, Store().GetLogStatus(mac), &progress);
    }
    if (const std::optional<QString> notice = m_batch.Poll())
        BatchFollower::ShowNotice(*notice, CountText());
    FollowBenchStation(m_station);
}
