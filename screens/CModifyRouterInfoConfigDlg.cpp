#include "screens/CModifyRouterInfoConfigDlg.h"

#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/Settings.h"
#include "controls/DialogTitleBar.h"
#include "payload/ConfigXml.h"
#include "payload/LogoImage.h"
#include "records/CSqlManagement.h"
#include "screens/CBatchPreviewDlg.h"
#include "screens/CLogoPreview.h"
#include "screens/FileChooser.h"
#include "screens/ScreenSeams.h"

#include <QCheckBox>
#include <QGroupBox>

using namespace SubmissionDialogParts;

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 450;

void Warn(const char* text, const std::string& caption = kAppCaption) {
    ShowMessage(TranslateText(std::string(text)), MessageIcon::Exclamation, caption);
}

bool Ask(const char* text) {
    return ShowMessage(TranslateText(std::string(text)), MessageIcon::Question, std::string()) ==
           MessageAnswer::Ok;
}

QGroupBox* AddGroup(QWidget* parent, const QRect& rect) {
    auto* group = new QGroupBox(parent);
    group->setGeometry(rect);
    group->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #c8ccd2; border-radius: 4px; background: transparent; }"));
    return group;
}

} // namespace

CModifyRouterInfoConfigDlg::CModifyRouterInfoConfigDlg(std::vector<std::string> devices,
                                                       QWidget* parent, CSqlManagement* store)
    : CTDialog(parent, Kind::Window), m_devices(std::move(devices)), m_store(store) {
    setObjectName(QStringLiteral("parameterSubmissionDialog"));
    setFixedSize(kWidth, kHeight);
    SetFillBackground(true, Settings().childBkColor);

    AddTitleBar(this, TranslateText(QStringLiteral("Device Modify Configration")));

    // Logo part.
    AddGroup(this, QRect(14, 48, kWidth - 28, 150));
    m_logo = AddLogoPicker(this, 160);
    m_logo.scan->setObjectName(QStringLiteral("pictureButton"));

    // Configuration part.
    AddGroup(this, QRect(14, 210, kWidth - 28, 140));
    AddLabel(this, "ChooseXmlFile", QRect(28, 226, 130, 22));
    m_templateField = AddPathField(this, QRect(160, 226, 280, 24));
    m_templateField->setObjectName(QStringLiteral("templateField"));
    m_templateButton = AddButton(this, "Scan", QRect(450, 224, 84, 28), false);
    m_templateButton->setObjectName(QStringLiteral("templateButton"));
    m_sheetLabel = AddLabel(this, "ChooseExcelFile", QRect(28, 262, 130, 22));
    m_sheetLabel->hide();
    m_sheetField = AddPathField(this, QRect(160, 262, 280, 24));
    m_sheetField->setObjectName(QStringLiteral("sheetField"));
    m_sheetField->hide();
    m_modifyButton = AddButton(this, "ConfigrationModify", QRect(160, 298, 200, 36), true);
    m_modifyButton->setObjectName(QStringLiteral("configurationModifyButton"));

    m_keepProvisioning = AddKeepProvisioningSwitch(this, QRect(28, 360, kWidth - 56, 24),
                                                   {m_logo.field, m_templateField});
    m_submitButton =
        AddButton(this, "ConfigrationSubmit", QRect(kWidth / 2 - 110, 394, 220, 40), true);
    m_submitButton->setObjectName(QStringLiteral("configurationSubmitButton"));
    m_previewButton = AddButton(this, "Preview", QRect(kWidth / 2 + 124, 394, 120, 40), true);
    m_previewButton->setObjectName(QStringLiteral("previewButton"));

    connect(m_templateButton, &QPushButton::clicked, this, [this] { OnChooseTemplate(); });
    connect(m_logo.scan, &QPushButton::clicked, this, [this] { OnChoosePicture(); });
    connect(m_modifyButton, &QPushButton::clicked, this, [this] { OnConfigurationModify(); });
    connect(m_submitButton, &QPushButton::clicked, this, [this] { OnConfigurationSubmit(); });
    connect(m_previewButton, &QPushButton::clicked, this, [this] { OnPreview(); });
    AddWindowBorder(this);
}

bool CModifyRouterInfoConfigDlg::KeepProvisioning() const {
    return m_keepProvisioning->isChecked();
}

void CModifyRouterInfoConfigDlg::OnChooseTemplate() {
    const QString path =
        FileChooser::GetOpenFileName(this, QStringLiteral("Files (*.xml);;All files (*)"));
    if (path.isEmpty())
        return;
    if (!CheckTemplateSize(path.toStdString()))
        return;
    m_xmlPath = path.toStdString();
    m_templateField->setText(path);
}

void CModifyRouterInfoConfigDlg::ClearPicture() {
    ClearLogoPicker(m_logo);
    repaint();
}

void CModifyRouterInfoConfigDlg::OnChoosePicture() {
    const QString path =
        FileChooser::GetOpenFileName(this, QStringLiteral("Files (*.jpg);;All files (*)"));
    if (path.isEmpty())
        return;
    ClearPicture();
    // A refused picture leaves no logo to send.
    m_picturePath.clear();
    const std::string file = path.toStdString();
    if (!CheckTransferPath(file) || !CheckLogoFileSize(file))
        return;
    LogoPicture picture;
    if (!CheckLogoPicture(file, picture))
        return;
    m_logo.caption->setText(picture.caption);
    m_logo.preview->SetImage(picture.image);
    m_logo.field->setText(path);
    m_picturePath = file;
}

void CModifyRouterInfoConfigDlg::OnConfigurationModify() {
    const std::string templatePath = m_templateField->text().toStdString();
    if (templatePath.empty()) {
        Warn("Please select the xml file!");
        return;
    }
    if (!HasSuffix(templatePath, ".xml")) {
        Warn("Modify file is not .xml file!");
        return;
    }
    if (!Ask("Are you sure you want to modify configration?"))
        return;
    m_templateParams = DeviceParams{};
    if (!ParseTemplateXml(m_xmlPath, m_templateParams)) {
        Warn("Analysis xml settting error?");
        return;
    }
    if (!CheckTemplateValues(m_templateParams))
        return;
    std::string sheetPath;
    ParameterSheetBackend& sheet = CurrentParameterSheetBackend();
    CSqlManagement& store = m_store ? *m_store : *CSqlManagement::GetInstance();
    if (!sheet.ExportSheet(m_templateParams, m_devices, sheetPath, store)) {
        Warn("Create excel fields Info error!");
        return;
    }
    m_sheetPath = sheetPath;
    m_sheetField->setText(QString::fromStdString(m_sheetPath));
    if (!sheet.OpenSheet(m_sheetPath))
        Warn("Unable to open excel file!");
}

SubmissionInput CModifyRouterInfoConfigDlg::ChosenInput() const {
    SubmissionInput input;
    input.devices = m_devices;
    input.picturePath = m_logo.field->text().toStdString();
    input.templatePath = m_templateField->text().toStdString();
    input.sheetPath = m_sheetField->text().toStdString();
    input.templateParams = m_templateParams;
    return input;
}

void CModifyRouterInfoConfigDlg::OnPreview() {
    const SubmissionInput input = ChosenInput();
    CurrentParameterSheetBackend().SetBatch(m_devices);
    CSqlManagement& store = m_store ? *m_store : *CSqlManagement::GetInstance();
    CParameterSubmission submission(store, {}, nullptr, &CurrentParameterSheetBackend());
    if (submission.Prepare(input, false) == 0)
        return;
    SubmissionResult copies;
    if (!submission.WriteCopies(m_devices, copies))
        return;
    std::vector<DevicePreview> devices;
    for (const BatchRow& row : copies.batch.Rows()) {
        DevicePreview device;
        device.mac = row.mac;
        if (row.SendsLogo())
            device.logoPath = row.logo.path;
        if (row.SendsConfig()) {
            device.configPath = row.config.path;
            if (!ChangedEntriesOfFiles(input.templatePath, row.config.path, device.changes,
                                       device.problem))
                device.changes.clear();
            else
                device.problem.clear();
        }
        devices.push_back(std::move(device));
    }
    if (m_preview)
        m_preview->close();
    m_preview = new CBatchPreviewDlg(std::move(devices), this);
    m_preview->setAttribute(Qt::WA_DeleteOnClose);
    m_preview->open();
}

void CModifyRouterInfoConfigDlg::OnConfigurationSubmit() {
    const SubmissionInput input = ChosenInput();

    CurrentParameterSheetBackend().SetBatch(m_devices);
    ScreenLink& link = CurrentScreenLink();
    CSqlManagement& store = m_store ? *m_store : *CSqlManagement::GetInstance();
    CParameterSubmission submission(
        store, link.AdapterMac(), [&link](const TransferJob& job) { return link.StartJob(job); },
        &CurrentParameterSheetBackend());
    const int kind = submission.Prepare(input);
    if (kind == 0) {
        // The kind is decided once the names have passed, before its question:
        // a Cancel or a refused sheet keeps it.
        const bool namesPassed =
            (input.picturePath.empty() || HasSuffix(input.picturePath, ".jpg")) &&
            (input.templatePath.empty() || HasSuffix(input.templatePath, ".xml")) &&
            (input.sheetPath.empty() || HasSuffix(input.sheetPath, ".xls"));
        const bool haveTemplate = !input.templatePath.empty();
        const bool havePicture = !input.picturePath.empty();
        if (namesPassed && (haveTemplate || havePicture))
            m_kind = haveTemplate && havePicture ? 3 : havePicture ? 1 : 2;
        return;
    }
    m_kind = kind;
    if (!submission.Start(m_devices, m_result))
        return;
    m_submitted = input;
    accept();
}
