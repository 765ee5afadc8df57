#pragma once

#include <functional>

class CTPage;
class QApplication;
class QWidget;

// The maker of the three operator pages (133, 136, 137) that RunMainWindow's
// page host uses; without one the host shows empty pages.
void SetMainWindowPageFactory(std::function<CTPage*(int pageId, QWidget* host)> factory);

// Shows the main window and runs the program's message loop until the window
// is closed (close button or the tray menu's Exit). Builds the skin paths
// first when start-up has not. Returns the loop's exit code. With the
// environment variable QUORVANTIX_CLOSE_AFTER_MS=N the window closes itself
// N ms after it is shown (smoke tests, scripted runs).
int RunMainWindow(QApplication& app);
