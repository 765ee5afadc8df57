#include "base/Startup.h"

#include "base/Language.h"
#include "base/OperationLog.h"
#include "base/ProgramDirectory.h"
#include "base/Settings.h"
#include "base/SingleInstance.h"

AppServices& Services() {
    static AppServices services;
    return services;
}

void ExitInstance() {
    // The socket and component layers of other platforms have no counterpart
    // here. The singletons outlive this step and die at process exit, the
    // transmit manager (which stops its threads) before the record store.
    Services() = AppServices{};
}

int RunStartupSequence(const StartupHooks& hooks) {
    const InstanceGuard guard = AcquireSingleInstance(hooks.lockDirectory);
    if (guard == InstanceGuard::AlreadyRuns) {
        if (hooks.alreadyRunning)
            hooks.alreadyRunning();
        ExitInstance();
        return 0;
    }
    if (guard == InstanceGuard::Unavailable)
        QV_DIAGNOSTIC(
            0, "single-instance lock unavailable in %s, starting unguarded",
            (hooks.lockDirectory.empty() ? SingleInstanceLockDirectory() : hooks.lockDirectory)
                .c_str());

    const std::string dir = GetProgramDirectory();
    InitLanguage(dir);
    LoadSettings(Settings(), dir);
    if (hooks.buildSkinPaths)
        hooks.buildSkinPaths(dir);

    AppServices& services = Services();
    if (hooks.obtainTransmitManager)
        services.transmitManager = hooks.obtainTransmitManager();
    if (hooks.obtainRecordStore)
        services.recordStore = hooks.obtainRecordStore();

    const int code = hooks.runMainWindow ? hooks.runMainWindow() : 0;
    ExitInstance();
    return code;
}

StartupArguments ParseStartupArguments(const std::vector<std::string>& args) {
    StartupArguments out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--home") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                out.error = "--home needs a folder";
                return out;
            }
            out.home = args[++i];
        } else if (a.rfind("--home=", 0) == 0) {
            if (a.size() == 7) {
                out.error = "--home needs a folder";
                return out;
            }
            out.home = a.substr(7);
        }
    }
    return out;
}
