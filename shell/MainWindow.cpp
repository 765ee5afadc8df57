#include "shell/MainWindow.h"

#include "base/Language.h"
#include "base/ProgramDirectory.h"
#include "base/Startup.h"
#include "shell/CApplicationDlg.h"
#include "shell/InstanceChannel.h"
#include "shell/SkinPaths.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {
std::function<CTPage*(int, QWidget*)>& PageFactory() {
    static std::function<CTPage*(int, QWidget*)> factory;
    return factory;
}
} // namespace

void SetMainWindowPageFactory(std::function<CTPage*(int pageId, QWidget* host)> factory) {
    PageFactory() = std::move(factory);
}

void FillShellStartupHooks(StartupHooks& hooks) {
    // The skin is one of the read-only resources, which an installed
    // program keeps apart from its working folders.
    hooks.buildSkinPaths = [](const std::string&) {
        BuildSkinPaths(Skin(), GetResourceDirectory());
    };
    hooks.alreadyRunning = [] { AnnounceSecondStart(); };
}

void AnnounceSecondStart() {
    std::fputs("Quorvantix is already running\n", stderr);
    std::fflush(stderr);
    // A running instance that does not listen (an older one, or one whose
    // channel could not open) leaves nothing more to do.
    if (QCoreApplication::instance()) {
        InstanceChannel::RequestActivation();
        return;
    }
    int argc = 1;
    char name[] = "quorvantix";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    InstanceChannel::RequestActivation();
}

bool InstallQtTranslations(QApplication& app) {
    // The language file was chosen from the locale environment; Qt's texts
    // follow the same variables.
    if (CurrentLocaleId() == 1033)
        return false;
    QString name;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            break;
    }
    const QLocale locale(name.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0));
    auto* translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

int RunMainWindow(QApplication& app) {
    // Hiding to the tray must not end the program; only the window's own
    // close does.
    app.setQuitOnLastWindowClosed(false);
    CApplicationDlg window(nullptr, PageFactory());
    QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
    InstanceChannel channel;
    QObject::connect(&channel, &InstanceChannel::activationRequested, &window,
                     &CApplicationDlg::BringToFront);
    channel.Listen();
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
