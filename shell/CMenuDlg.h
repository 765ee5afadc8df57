#pragma once

#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"
#include "controls/CTStatic.h"
#include "shell/MenuPanel.h"

#include <functional>

class CChildDlg;

// The menu panel on the left of the main window: one picture button per page
// (the logo page's is created hidden) and the version label.
class CMenuDlg : public CTDialog, public CMenuPanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 130;
    static constexpr int kStatusButton = 1004;
    static constexpr int kParameterButton = 1006;
    static constexpr int kLogoButton = 1009;
    static constexpr int kVersionLabel = 1024;

    // hostFinder gives the page host, or null while it does not exist yet.
    CMenuDlg(QWidget* parent, std::function<CChildDlg*()> hostFinder);

    // Commands 1004, 1006, 1009: mark the button and show its page.
    void OnMenuCommand(int commandId);
    void SetButtonsEnabled(bool enabled) override;

    CTButtonPicture* Button(int commandId) const;
    CTStatic* VersionLabel() const { return m_version; }

    // The page identifier a menu command shows (0 for other numbers).
    static int PageForCommand(int commandId);

private:
    std::function<CChildDlg*()> m_hostFinder;
    CTButtonPicture* m_status = nullptr;
    CTButtonPicture* m_parameter = nullptr;
    CTButtonPicture* m_logo = nullptr;
    CTStatic* m_version = nullptr;
};
