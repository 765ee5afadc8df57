// quorvantix: the desktop program.

#include "DemoSegment.h"
#include "base/FolderTrust.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "base/Startup.h"
#include "link/AcTransmitManage.h"
#include "records/CSqlManagement.h"
#include "screens/OperatorPages.h"
#include "screens/ScreenSeams.h"
#include "screens/WidgetMessageSink.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <sys/stat.h>

int main(int argc, char** argv) {
    // Every file and folder the program makes is its operator's alone.
    ::umask(077);
    // The demo segment outlives the main window and is removed on the way out.
    DemoSegment demo;
    if (!demo.TakeArguments(argc, argv))
        return 2;
    const StartupArguments parsed =
        ParseStartupArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quorvantix: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.home)
        SetProgramDirectory(*parsed.home);
    if (const std::string refusal = UntrustedProgramFolderMessage(GetProgramDirectory());
        !refusal.empty()) {
        std::fprintf(stderr, "quorvantix: %s\n", refusal.c_str());
        QApplication app(argc, argv);
        WidgetMessageSink boxes;
        MessageSink* previous = SetMessageSink(&boxes);
        ShowMessage(refusal, MessageIcon::Exclamation);
        SetMessageSink(previous);
        return 2;
    }

    if (demo.Requested()) {
        if (!demo.Start(GetExecutableDirectory()))
            return 1;
        SetPreferredAdapter(demo.NearEnd());
    }

    StartupHooks hooks;
    FillShellStartupHooks(hooks);
    hooks.obtainTransmitManager = [] { return AcTransmitManage::GetInstance(); };
    SetMainWindowPageFactory(MakeOperatorPage);
    hooks.obtainRecordStore = [] { return CSqlManagement::GetInstance(); };
    hooks.runMainWindow = [&argc, argv, &demo] {
        // The Qt application object lives exactly as long as the main window's loop,
        // so every window is gone before the singletons are destroyed at exit.
        QApplication app(argc, argv);
        // The window's class (X11 WM_CLASS, Wayland app id) names the installed
        // quorvantix.desktop, so the desktop shows the window under its entry.
        QApplication::setApplicationName(QStringLiteral("quorvantix"));
        QApplication::setDesktopFileName(QStringLiteral("quorvantix"));
        if (demo.Requested())
            DemoSegment::QuitOnSignals(app);
        InstallQtTranslations(app);
        WidgetMessageSink boxes;
        MessageSink* previous = SetMessageSink(&boxes);
        const int code = RunMainWindow(app);
        SetMessageSink(previous);
        return code;
    };
    const int code = RunStartupSequence(hooks);
    if (demo.Requested()) {
        // Stop capturing on the near end before it goes.
        AcTransmitManage::GetInstance()->Stop();
        demo.Stop();
    }
    return code;
}
