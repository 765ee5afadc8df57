#include "screens/CStatusDlg.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "controls/CTPicture.h"
#include "controls/DialogUnits.h"
#include "controls/PageHostLink.h"
#include "records/CSqlManagement.h"
#include "screens/ScreenSeams.h"
#include "shell/SkinPaths.h"

namespace {

QString Tr(const char* text) {
    return TranslateText(QString::fromUtf8(text));
}

std::vector<ListColumn> StatusColumns() {
    return {{"", 60, -1}, {"Serial", 120, -1}, {"MAC", 264, SortByDate}, {"Time", 160, SortByDate}};
}

} // namespace

QString CStatusDlg::NetCardText(const AdapterRecord& adapter) {
    // The description names the model or driver, which two cards of one model
    // share; the interface name tells them apart.
    const std::string description(adapter.description,
                                  qstrnlen(adapter.description, sizeof adapter.description));
    const std::string name(adapter.adapterName,
                           qstrnlen(adapter.adapterName, sizeof adapter.adapterName));
    std::string text = AdapterChooserText(adapter);
    if (!name.empty() && name != description)
        text.insert(description.size(), " - " + name);
    return QString::fromStdString(text);
}

CStatusDlg::CStatusDlg(QWidget* parent, CSqlManagement* store)
    : CDeviceListPage(kStatusPage, parent, StatusColumns(), SortByParaStatus, true, store) {
    setObjectName(QStringLiteral("statusPage"));
    SetHandColumns({0});
    const DialogUnits& du = DialogUnits::Default();

    m_search = MakePageButton("Search", du.Rect(7, 1, 40, 18));
    m_search->setObjectName(QStringLiteral("searchButton"));
    connect(m_search, &QPushButton::clicked, this, [this] { OnSearchButton(); });

    m_netCardLabel = new CTStatic(this);
    m_netCardLabel->SetupStaticFromSettings();
    m_netCardLabel->setText(Tr("NetCard"));
    m_netCardLabel->setGeometry(du.Rect(85, 5, 35, 12));

    m_netCard = new QComboBox(this);
    m_netCard->setObjectName(QStringLiteral("netCardChooser"));
    m_netCard->setGeometry(du.Rect(120, 4, 264, 14));
    connect(m_netCard, &QComboBox::activated, this, [this](int index) { OnNetCardChanged(index); });

    m_busy = new CTPicture(this);
    m_busy->setObjectName(QStringLiteral("busyIndicator"));
    m_busy->LoadPicture(Skin().waitSearch);
    const QRect busy = du.Rect(150, 162, 16, 15);
    // The indicator stands in the middle of the grid, at its own size.
    m_busy->move(busy.topLeft());
    if (!m_busy->IsLoaded())
        m_busy->resize(busy.size());
    m_busy->hide();

    m_timer.setInterval(kSearchPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(kSearchTimer); });

    FillNetCards();
}

CStatusDlg::~CStatusDlg() {
    m_timer.stop();
    m_busy->StopAnimation();
}

void CStatusDlg::FillRecordCells(int row, const ap_info_stu& record) {
    // The store gives the date blank-padded to its column width.
    const QString date =
        QString::fromUtf8(record.ap_date, qstrnlen(record.ap_date, sizeof record.ap_date));
    SetCell(row, 3, date.trimmed(), Settings().gridTextColor);
}

void CStatusDlg::FillNetCards() {
    const std::vector<AdapterRecord> adapters = CurrentScreenLink().Adapters();
    m_netCard->clear();
    for (size_t i = 0; i < adapters.size(); ++i)
        m_netCard->addItem(NetCardText(adapters[i]), static_cast<int>(i));
    if (adapters.empty())
        return;
    int first = 0;
    for (size_t i = 0; i < adapters.size(); ++i)
        if (!PreferredAdapter().empty() && PreferredAdapter() == adapters[i].adapterName)
            first = static_cast<int>(i);
    SelectAdapter(first, adapters);
}

void CStatusDlg::SelectAdapter(int index, const std::vector<AdapterRecord>& adapters) {
    m_netCard->setCurrentIndex(index);
    CurrentScreenLink().SelectAdapter(adapters[static_cast<size_t>(index)]);
    ReportLinkError();
}

void CStatusDlg::ReportLinkError() {
    // Without the socket a search would only show an empty segment.
    const std::string error = CurrentScreenLink().LinkError();
    if (!error.empty())
        ShowMessage(error, MessageIcon::Exclamation);
}

void CStatusDlg::OnNetCardChanged(int index) {
    const std::vector<AdapterRecord> adapters = CurrentScreenLink().Adapters();
    if (index >= 0 && index < static_cast<int>(adapters.size()))
        SelectAdapter(index, adapters);
}

void CStatusDlg::OnSearchButton() {
    if (m_idle)
        StartSearch();
    else
        EndSearch();
}

void CStatusDlg::StartSearch() {
    m_idle = false;
    CurrentScreenLink().ClearDeviceTable();
    Store().ClearDevices();
    CurrentScreenLink().SendDiscovery();
    ReportLinkError();

    m_storedFilter.clear();
    m_ticks = 0;
    {
        const QSignalBlocker block(FilterEdit());
        FilterEdit()->clear();
    }
    LoadList(SortColumn(), 1, !NextDirection(), m_storedFilter);

    m_busy->show();
    m_busy->raise();
    m_busy->DrawPicture();
    m_search->SetButtonText(Tr("Stop"));
    SetSearchLocked(true);
    m_timer.start(kSearchPeriodMs);
}

void CStatusDlg::OnTimer(int timerId) {
    if (timerId != kSearchTimer || m_idle)
        return;
    ++m_ticks;
    if (m_ticks < kSearchTicks) {
        CurrentScreenLink().SendDiscovery();
        LoadList(SortColumn(), 1, !NextDirection(), m_storedFilter);
    } else {
        EndSearch();
    }
}

void CStatusDlg::EndSearch() {
    m_timer.stop();
    m_busy->StopAnimation();
    m_busy->hide();
    m_search->SetButtonText(Tr("Search"));
    SetSearchLocked(false);
    m_idle = true;
    RefreshPage();
}

void CStatusDlg::SetSearchLocked(bool locked) {
    SetListControlsEnabled(!locked);
    m_netCard->setEnabled(!locked);
    if (CPageHostLink* host = PageHostLink()) {
        host->SetMenuButtonsEnabled(!locked);
        host->SetAutoRefresh(!locked);
    }
}
