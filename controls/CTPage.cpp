#include "controls/CTPage.h"

CTPage::CTPage(int pageId, QWidget* parent) : CTDialog(parent, Kind::Child), m_pageId(pageId) {}
