#pragma once

#include "controls/CTDialog.h"

#include <QIcon>

// The modal About box: the program icon, the product name with its version,
// one line about the product and an OK button.
class CAboutDlg : public CTDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 100;

    CAboutDlg(QWidget* parent, const QIcon& icon);
};
