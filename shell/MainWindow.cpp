#include "shell/MainWindow.h"

#include "base/ProgramDirectory.h"
#include "shell/CApplicationDlg.h"
#include "shell/SkinPaths.h"

#include <QApplication>
#include <QTimer>

namespace {
std::function<CTPage*(int, QWidget*)>& PageFactory() {
    static std::function<CTPage*(int, QWidget*)> factory;
    return factory;
}
} // namespace

void SetMainWindowPageFactory(std::function<CTPage*(int pageId, QWidget* host)> factory) {
    PageFactory() = std::move(factory);
}

int RunMainWindow(QApplication& app) {
    if (Skin().mainBk.isEmpty())
        BuildSkinPaths(Skin(), GetResourceDirectory());
    // Hiding to the tray must not end the program; only the window's own
    // close does.
    app.setQuitOnLastWindowClosed(false);
    CApplicationDlg window(nullptr, PageFactory());
    QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
    // Smoke tests and scripted runs: QUORVANTIX_CLOSE_AFTER_MS=N closes the
    // window N ms after it is shown, as the close button would.
    bool timed = false;
    const int closeAfter = qEnvironmentVariableIntValue("QUORVANTIX_CLOSE_AFTER_MS", &timed);
    if (timed && closeAfter >= 0)
        QTimer::singleShot(closeAfter, &window,
                           [&window] { window.OnCommand(CApplicationDlg::kCloseButton); });
    window.show();
    return app.exec();
}
