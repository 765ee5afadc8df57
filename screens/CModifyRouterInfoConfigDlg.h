#pragma once

#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"
#include "controls/CTStatic.h"
#include "payload/DeviceParams.h"
#include "payload/Submission.h"
#include "screens/CBatchPreviewDlg.h"
#include "screens/CLogoPreview.h"

#include <QLineEdit>
#include <QPointer>

class QCheckBox;

#include <string>
#include <vector>

class CSqlManagement;

// The parameter submission dialog (template 140): choose a logo, a
// configuration template or both, export and open the parameter sheet, and
// submit the batch for the devices handed over by the parameter page. The
// submission steps themselves are CParameterSubmission's.
class CModifyRouterInfoConfigDlg : public CTDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 140;
    static constexpr std::int64_t kMaxTemplateBytes = 300000;

    CModifyRouterInfoConfigDlg(std::vector<std::string> devices, QWidget* parent = nullptr,
                               CSqlManagement* store = nullptr);

    // The handlers of the buttons: 1174, 1177, 1175, 1170.
    void OnChooseTemplate();
    void OnChoosePicture();
    void OnConfigurationModify();
    void OnConfigurationSubmit();
    // After the checks of Submit (without its question): writes the copies
    // and opens the batch's preview. Sends nothing, changes no status.
    void OnPreview();

    int Kind() const { return m_kind; }
    const std::vector<std::string>& Devices() const { return m_devices; }
    const std::string& XmlPath() const { return m_xmlPath; }
    const std::string& SheetPath() const { return m_sheetPath; }
    const std::string& PicturePath() const { return m_picturePath; }
    const DeviceParams& TemplateParams() const { return m_templateParams; }
    const SubmissionResult& LastResult() const { return m_result; }
    // The choices of the batch that was submitted (files, sheet, template values).
    const SubmissionInput& SubmittedInput() const { return m_submitted; }
    // "Keep provisioning new devices" was on when the batch was submitted.
    bool KeepProvisioning() const;
    QCheckBox* KeepProvisioningSwitch() const { return m_keepProvisioning; }

    QLineEdit* PictureField() const { return m_logo.field; }
    QLineEdit* TemplateField() const { return m_templateField; }
    QLineEdit* SheetField() const { return m_sheetField; }
    CTStatic* Caption() const { return m_logo.caption; }
    CLogoPreview* Preview() const { return m_logo.preview; }
    CTButtonPicture* TemplateButton() const { return m_templateButton; }
    CTButtonPicture* ModifyButton() const { return m_modifyButton; }
    CTButtonPicture* SubmitButton() const { return m_submitButton; }
    CTButtonPicture* PreviewButton() const { return m_previewButton; }
    // The preview the last OnPreview opened, while it is open.
    CBatchPreviewDlg* OpenPreview() const { return m_preview; }
    QPushButton* PictureButton() const { return m_logo.scan; }

private:
    void ClearPicture();
    SubmissionInput ChosenInput() const;

    std::vector<std::string> m_devices;
    CSqlManagement* m_store;
    int m_kind = 1;
    DeviceParams m_templateParams{};
    std::string m_xmlPath;
    std::string m_sheetPath;
    std::string m_picturePath;
    SubmissionResult m_result;
    SubmissionInput m_submitted;

    SubmissionDialogParts::LogoPickerParts m_logo{};
    QLineEdit* m_templateField = nullptr;
    QLineEdit* m_sheetField = nullptr;
    CTStatic* m_sheetLabel = nullptr;
    CTButtonPicture* m_templateButton = nullptr;
    CTButtonPicture* m_modifyButton = nullptr;
    CTButtonPicture* m_submitButton = nullptr;
    CTButtonPicture* m_previewButton = nullptr;
    QPointer<CBatchPreviewDlg> m_preview;
    QCheckBox* m_keepProvisioning = nullptr;
};
