#pragma once

#include <QLineEdit>

// The filter text box of the list pages: an ordinary single-line edit that
// draws no frame.
class CTEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CTEdit(QWidget* parent = nullptr);
};
