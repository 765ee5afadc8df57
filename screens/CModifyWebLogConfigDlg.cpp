#include "screens/CModifyWebLogConfigDlg.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/Settings.h"
#include "controls/DialogTitleBar.h"
#include "link/TransferJob.h"
#include "link/TransmitFrame.h"
#include "payload/LogoImage.h"
#include "payload/Submission.h"
#include "records/CSqlManagement.h"
#include "screens/CLogoPreview.h"
#include "screens/FileChooser.h"
#include "screens/ScreenSeams.h"

#include <QCheckBox>
#include <QGroupBox>

#include <array>

using namespace SubmissionDialogParts;

namespace {
constexpr int kWidth = 560;
constexpr int kHeight = 330;
} // namespace

CModifyWebLogConfigDlg::CModifyWebLogConfigDlg(std::vector<std::string> devices, QWidget* parent,
                                               CSqlManagement* store)
    : CTDialog(parent, Kind::Window), m_devices(std::move(devices)), m_store(store) {
    setObjectName(QStringLiteral("logoSubmissionDialog"));
    setFixedSize(kWidth, kHeight);
    SetFillBackground(true, Settings().childBkColor);

    AddTitleBar(this, TranslateText(QStringLiteral("Device Modify Logo")));
    auto* group = new QGroupBox(this);
    group->setGeometry(14, 48, kWidth - 28, 170);
    group->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #c8ccd2; border-radius: 4px; background: transparent; }"));
    m_logo = AddLogoPicker(this, 162);
    m_logo.scan->setObjectName(QStringLiteral("scanButton"));
    m_clear = AddButton(this, "Clear", QRect(450, 100, 84, 28), false);
    m_clear->hide();
    m_keepProvisioning =
        AddKeepProvisioningSwitch(this, QRect(28, 228, kWidth - 56, 24), {m_logo.field});
    m_modifyLogo = AddButton(this, "ModifyLogo", QRect(kWidth / 2 - 110, 262, 220, 40), true);
    m_modifyLogo->setObjectName(QStringLiteral("modifyLogoButton"));

    connect(m_logo.scan, &QPushButton::clicked, this, [this] { OnChoosePicture(); });
    connect(m_clear, &QPushButton::clicked, this, [this] { OnClear(); });
    connect(m_modifyLogo, &QPushButton::clicked, this, [this] { OnModifyLogo(); });
    AddWindowBorder(this);
}

bool CModifyWebLogConfigDlg::KeepProvisioning() const {
    return m_keepProvisioning->isChecked();
}

void CModifyWebLogConfigDlg::OnClear() {
    ClearLogoPicker(m_logo);
    repaint();
}

void CModifyWebLogConfigDlg::OnChoosePicture() {
    const QString path =
        FileChooser::GetOpenFileName(this, QStringLiteral("Files (*);;All files (*)"));
    if (path.isEmpty())
        return;
    OnClear();
    if (!CheckTransferPath(path.toStdString()))
        return;
    m_logo.field->setText(path);
    m_picturePath = path.toStdString();
    const LogoPicture picture = LoadLogoPicture(m_picturePath);
    m_logo.caption->setText(picture.caption);
    m_logo.preview->SetImage(picture.image);
}

void CModifyWebLogConfigDlg::OnModifyLogo() {
    const std::string path = m_logo.field->text().toStdString();
    if (path.empty()) {
        ShowMessage(TranslateText(std::string("Please select the jpg file!")));
        return;
    }
    if (!CheckLogoName(path) || !CheckTransferPath(path))
        return;
    if (ShowMessage(TranslateText(std::string("Are you sure you want to moodify web logo?")),
                    MessageIcon::Question, std::string()) != MessageAnswer::Ok)
        return;

    // Every MAC is checked before anything is marked, so a bad one sends nothing.
    std::vector<std::array<std::uint8_t, 6>> macs(m_devices.size());
    for (size_t k = 0; k < m_devices.size(); ++k) {
        if (!ParseMacText(m_devices[k], macs[k].data())) {
            ShowMessage(TranslateText(std::string("Invalid MAC address:")) + " " + m_devices[k]);
            return;
        }
    }
    m_logo.scan->setEnabled(false);
    m_modifyLogo->hide();
    ScreenLink& link = CurrentScreenLink();
    CSqlManagement& store = m_store ? *m_store : *CSqlManagement::GetInstance();
    const std::array<std::uint8_t, 6> adapter = link.AdapterMac();
    m_batch = BatchReport();
    const BatchFile logo = BatchReport::DescribeFile(path);
    for (size_t k = 0; k < m_devices.size(); ++k) {
        BatchRow row;
        row.mac = m_devices[k];
        row.kind = 1;
        row.logo = logo;
        m_batch.AddRow(std::move(row));
        store.SetLogStatus(m_devices[k], 1);
        const TransferJob job =
            MakeTransferJob(macs[k].data(), adapter.data(), 1, std::string(), path);
        if (link.StartJob(job))
            ++m_jobsStarted;
    }
    m_submitted = SubmissionInput{};
    m_submitted.picturePath = path;
    accept();
}
