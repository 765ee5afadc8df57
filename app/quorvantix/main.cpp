// quorvantix: the desktop program.

#include "records/CSqlManagement.h"
#include "shell/base/ProgramDirectory.h"
#include "shell/base/Startup.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

// Stands in for the main window until the shell's window arrives: shows an empty
// window and closes it again at once.
int RunPlaceholderWindow() {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quorvantix"));
    window.show();
    QTimer::singleShot(0, &window, &QWidget::close);
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    const StartupArguments parsed =
        ParseStartupArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quorvantix: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.home)
        SetProgramDirectory(*parsed.home);

    StartupHooks hooks;
    // hooks.buildSkinPaths: the skin layer of the shell plugs in here.
    // hooks.obtainTransmitManager: [] { return AcTransmitManage::GetInstance(); } once the
    // device link provides it (it comes before the record store).
    hooks.obtainRecordStore = [] { return CSqlManagement::GetInstance(); };
    hooks.runMainWindow = [&argc, argv] {
        // The Qt application object lives exactly as long as the main window's loop,
        // so every window is gone before the singletons are destroyed at exit.
        QApplication app(argc, argv);
        return RunPlaceholderWindow();
    };
    return RunStartupSequence(hooks);
}
