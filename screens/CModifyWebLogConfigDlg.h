#pragma once

#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"
#include "controls/CTStatic.h"
#include "payload/BatchReport.h"
#include "payload/Submission.h"
#include "screens/CLogoPreview.h"

#include <QLineEdit>

class QCheckBox;

#include <string>
#include <vector>

class CSqlManagement;

// The logo submission dialog (template 157): one picture, previewed without
// limits, sent to every device handed over by the logo page.
class CModifyWebLogConfigDlg : public CTDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 157;

    CModifyWebLogConfigDlg(std::vector<std::string> devices, QWidget* parent = nullptr,
                           CSqlManagement* store = nullptr);

    void OnChoosePicture(); // 1001
    void OnClear();         // 1002
    void OnModifyLogo();    // 1169

    const std::vector<std::string>& Devices() const { return m_devices; }
    const std::string& PicturePath() const { return m_picturePath; }
    int JobsStarted() const { return m_jobsStarted; }
    // The batch the dialog started (empty when it started none).
    const BatchReport& Batch() const { return m_batch; }
    QLineEdit* PictureField() const { return m_logo.field; }
    CTStatic* Caption() const { return m_logo.caption; }
    CLogoPreview* Preview() const { return m_logo.preview; }
    CTButtonPicture* ScanButton() const { return m_logo.scan; }
    CTButtonPicture* ModifyLogoButton() const { return m_modifyLogo; }
    CTButtonPicture* ClearButton() const { return m_clear; }
    // The choice of the batch that was submitted (its picture).
    const SubmissionInput& SubmittedInput() const { return m_submitted; }
    // "Keep provisioning new devices" was on when the batch was submitted.
    bool KeepProvisioning() const;
    QCheckBox* KeepProvisioningSwitch() const { return m_keepProvisioning; }

private:
    std::vector<std::string> m_devices;
    CSqlManagement* m_store;
    std::string m_picturePath;
    int m_jobsStarted = 0;
    BatchReport m_batch;
    SubmissionInput m_submitted;

    SubmissionDialogParts::LogoPickerParts m_logo{};
    CTButtonPicture* m_modifyLogo = nullptr;
    CTButtonPicture* m_clear = nullptr;
    QCheckBox* m_keepProvisioning = nullptr;
};
