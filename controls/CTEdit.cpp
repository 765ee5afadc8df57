#include "controls/CTEdit.h"

CTEdit::CTEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
}
