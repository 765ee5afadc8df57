#pragma once

#include "link/AdapterInfo.h"
#include "screens/CDeviceListPage.h"

#include <QTimer>

class CTPicture;

// The status page (133): the network-card chooser, Search/Stop, and the list
// of the devices found, newest first.
class CStatusDlg : public CDeviceListPage {
    Q_OBJECT
public:
    static constexpr int kSearchTimer = 1000;
    static constexpr int kSearchTicks = 40;
    static constexpr int kSearchPeriodMs = 1000;

    CStatusDlg(QWidget* parent, CSqlManagement* store = nullptr);
    ~CStatusDlg() override;

    // The chooser's entry of an adapter: its description, its interface name
    // when the description is not that name, then its MAC in upper case:
    // "e1000e - enp3s0 (00:1A:2B:3C:4D:5E)".
    static QString NetCardText(const AdapterRecord& adapter);

    // Refills the network-card chooser and selects the first adapter.
    void FillNetCards();
    void OnNetCardChanged(int index);
    // Search while idle, Stop while a search runs.
    void OnSearchButton();
    void OnTimer(int timerId);

    bool Idle() const { return m_idle; }
    int Ticks() const { return m_ticks; }
    CTButtonPicture* SearchButton() const { return m_search; }
    QComboBox* NetCardChooser() const { return m_netCard; }
    CTStatic* NetCardLabel() const { return m_netCardLabel; }
    CTPicture* BusyIndicator() const { return m_busy; }
    const QTimer& SearchTimer() const { return m_timer; }

protected:
    void FillRecordCells(int row, const ap_info_stu& record) override;

private:
    void StartSearch();
    // Shows, in one message box, why the adapter cannot carry frames (if it cannot).
    void ReportLinkError();
    void EndSearch();
    void SelectAdapter(int index, const std::vector<AdapterRecord>& adapters);
    void SetSearchLocked(bool locked);

    CTButtonPicture* m_search = nullptr;
    CTStatic* m_netCardLabel = nullptr;
    QComboBox* m_netCard = nullptr;
    CTPicture* m_busy = nullptr;
    QTimer m_timer;
    bool m_idle = true;
    int m_ticks = 0;
};
