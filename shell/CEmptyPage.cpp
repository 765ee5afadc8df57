#include "shell/CEmptyPage.h"

#include "base/Settings.h"

CEmptyPage::CEmptyPage(int pageId, QWidget* parent) : CTPage(pageId, parent) {
    SetFillBackground(true, Settings().childBkColor);
}
