#pragma once

#include "screens/BatchFollower.h"
#include "screens/BenchStation.h"
#include "screens/CDeviceListPage.h"

#include <QTimer>

// The parameter page (137): both job states per device, Modify opens the
// parameter submission dialog for the checked rows, and a 2-second timer then
// follows the submitted devices' status cells.
class CModifyRouterInfoDlg : public CDeviceListPage {
    Q_OBJECT
public:
    static constexpr int kRefreshTimer = 1000;
    static constexpr int kRefreshMs = 2000;

    explicit CModifyRouterInfoDlg(QWidget* parent, CSqlManagement* store = nullptr);

    void OnModify();
    void OnTimer(int timerId);
    // Sends the last batch's failed devices again, after one question.
    void OnRetryFailed();

    CTButtonPicture* ModifyButton() const { return m_modify; }
    CTButtonPicture* HiddenSearchButton() const { return m_hiddenSearch; }
    CTButtonPicture* RetryButton() const { return m_retry; }
    CTButtonPicture* StopProvisioningButton() const { return m_stopProvisioning; }
    const CBenchStation& Station() const { return m_station; }
    // Ends "Keep provisioning new devices" and writes the run's report.
    void OnStopProvisioning();
    const BatchFollower& Batch() const { return m_batch; }
    const QTimer& RefreshTimer() const { return m_timer; }

protected:
    void FillRecordCells(int row, const ap_info_stu& record) override;

private:
    CTButtonPicture* m_modify = nullptr;
    CTButtonPicture* m_hiddenSearch = nullptr;
    CTButtonPicture* m_retry = nullptr;
    CTButtonPicture* m_stopProvisioning = nullptr;
    BatchFollower m_batch;
    CBenchStation m_station;
    QTimer m_timer;
};
