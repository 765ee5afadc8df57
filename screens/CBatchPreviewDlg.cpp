#include "screens/CBatchPreviewDlg.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "controls/DialogTitleBar.h"
#include "screens/CLogoPreview.h"

#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>

using namespace SubmissionDialogParts;

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 400;
} // namespace

CBatchPreviewDlg::CBatchPreviewDlg(std::vector<DevicePreview> devices, QWidget* parent)
    : CTDialog(parent, Kind::Window), m_devices(std::move(devices)) {
    setObjectName(QStringLiteral("batchPreviewDialog"));
    setFixedSize(kWidth, kHeight);
    SetFillBackground(true, Settings().childBkColor);
    AddTitleBar(this, TranslateText(QStringLiteral("Preview")));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("previewDevices"));
    m_list->setGeometry(14, 48, 170, kHeight - 62);
    for (const DevicePreview& device : m_devices)
        m_list->addItem(QString::fromStdString(device.mac));

    m_changes = new QTableWidget(this);
    m_changes->setObjectName(QStringLiteral("previewChanges"));
    m_changes->setGeometry(194, 48, kWidth - 208, kHeight - 62);
    m_changes->setColumnCount(3);
    m_changes->setHorizontalHeaderLabels({TranslateText(QStringLiteral("Entry")),
                                          TranslateText(QStringLiteral("Template value")),
                                          TranslateText(QStringLiteral("Device value"))});
    m_changes->horizontalHeader()->setStretchLastSection(true);
    m_changes->verticalHeader()->hide();
    m_changes->setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { ShowDevice(row); });
    if (!m_devices.empty())
        m_list->setCurrentRow(0);
    AddWindowBorder(this);
}

void CBatchPreviewDlg::ShowDevice(int row) {
    m_changes->setRowCount(0);
    if (row < 0 || row >= static_cast<int>(m_devices.size()))
        return;
    const DevicePreview& device = m_devices[static_cast<std::size_t>(row)];
    const auto add = [this](const QString& a, const QString& b, const QString& c) {
        const int at = m_changes->rowCount();
        m_changes->insertRow(at);
        m_changes->setItem(at, 0, new QTableWidgetItem(a));
        m_changes->setItem(at, 1, new QTableWidgetItem(b));
        m_changes->setItem(at, 2, new QTableWidgetItem(c));
    };
    if (!device.logoPath.empty())
        add(TranslateText(QStringLiteral("Logo")), QString(),
            QString::fromStdString(device.logoPath));
    if (!device.problem.empty())
        add(QString::fromStdString(device.configPath), QString(),
            QString::fromStdString(device.problem));
    for (const EntryChange& change : device.changes)
        add(QString::fromStdString(change.name),
            QString::fromStdString(ShownValue(change.templateValue, change.secret, false)),
            QString::fromStdString(ShownValue(change.deviceValue, change.secret, false)));
}
