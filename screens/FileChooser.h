#pragma once

#include <QString>

class QWidget;

// The open-file chooser of the dialogs. A test answers it in advance with
// setNextFileName (an empty name answers Cancel); otherwise QFileDialog asks.
namespace FileChooser {

// filter in Qt form, e.g. "Files (*.xml);;All files (*)", in English: the
// chooser shows the language file's text for it. Empty on cancel.
QString GetOpenFileName(QWidget* parent, const QString& filter);

void setNextFileName(const QString& path);
// The filter of the last chooser opened, as shown (tests check it).
QString lastFilter();

} // namespace FileChooser
