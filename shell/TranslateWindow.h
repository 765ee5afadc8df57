#pragma once

class QMenu;
class QWidget;

// Translates a dialog's title and the texts of all its descendants through
// TranslateText, each widget once for the life of the widget: a second call
// leaves texts set in between alone. Text entries, lists, item views, date,
// progress and spin widgets keep their contents; combo-box items are
// translated in place with the selection kept; a "..." caption stays.
// User-interface thread only.
void TranslateWindow(QWidget* dialog);

// Translates every item of a menu and of its submenus, before it is shown.
void TranslateMenu(QMenu* menu);
