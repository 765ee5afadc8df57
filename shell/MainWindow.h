#pragma once

#include <functional>

class CTPage;
class QApplication;
class QWidget;
struct StartupHooks;

// The maker of the three operator pages (133, 136, 137) that RunMainWindow's
// page host uses; without one the host shows empty pages.
void SetMainWindowPageFactory(std::function<CTPage*(int pageId, QWidget* host)> factory);

// The shell's steps of the start-up sequence: the skin paths (built once the
// settings are read) and what a second start does (AnnounceSecondStart).
void FillShellStartupHooks(StartupHooks& hooks);

// A second start: says "Quorvantix is already running" on standard error and
// asks the running instance to bring its window to the front. Needs no Qt
// application object.
void AnnounceSecondStart();

// Loads Qt's own texts (standard buttons, file chooser) for the language the
// language layer chose; English needs none. True when a translation was
// installed. The translator lives as long as app.
bool InstallQtTranslations(QApplication& app);

// Shows the main window and runs the program's message loop until the window
// is closed (close button or the tray menu's Exit). Listens for second starts,
// which bring the window to the front. Returns the loop's exit code. With the
// environment variable QUORVANTIX_CLOSE_AFTER_MS=N the window closes itself
// N ms after it is shown (smoke tests, scripted runs).
int RunMainWindow(QApplication& app);
