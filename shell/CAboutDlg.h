#pragma once

#include "controls/CTDialog.h"
#include "controls/DialogTitleBar.h"

#include <QIcon>

// The modal About box: frameless with its one title bar (dragged by it,
// closed by its X), the program icon, the product name with its version, one
// line about the product and an OK button.
class CAboutDlg : public CTDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 100;

    CAboutDlg(QWidget* parent, const QIcon& icon);

    const DialogTitleBar& TitleBar() const { return m_titleBar; }

private:
    DialogTitleBar m_titleBar;
};
