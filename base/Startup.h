#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Start-up and shutdown of the desktop program, QtCore only. The folders above
// base/ (the device link, the record store, skin and windows) are reached
// through hooks, so this sequence does not depend on them; app/quorvantix fills
// the hooks in.

class AcTransmitManage; // device link, link/
class CSqlManagement;   // record store, records/

// The long-lived services, set during start-up and cleared at shutdown. The
// objects themselves are process-wide singletons destroyed at process exit in the
// reverse order of their creation (their GetInstance() function-local statics).
struct AppServices {
    AcTransmitManage* transmitManager = nullptr;
    CSqlManagement* recordStore = nullptr;
};
AppServices& Services();

struct StartupHooks {
    // Builds the skin image paths from the program directory. Optional.
    std::function<void(const std::string& programDirectory)> buildSkinPaths;
    // Obtains the transmit manager singleton (AcTransmitManage::GetInstance()).
    // Optional until the device link provides it. Its construction obtains the
    // record store, so the store is in fact created first.
    std::function<AcTransmitManage*()> obtainTransmitManager;
    // Obtains the record store singleton (CSqlManagement::GetInstance()). Optional.
    std::function<CSqlManagement*()> obtainRecordStore;
    // Runs the main window until it closes (creating the Qt application object
    // it needs); its result is the process exit code. Optional: 0.
    std::function<int()> runMainWindow;
    // Another instance holds the guard: tell the user and hand over to that
    // instance, before start-up ends. Optional.
    std::function<void()> alreadyRunning;
    // Folder of the single-instance lock; empty = SingleInstanceLockDirectory().
    std::string lockDirectory;
};

// The start-up sequence, in this order:
//   1. single-instance guard: when another instance runs, run alreadyRunning and
//      end at once;
//   2. program directory (GetProgramDirectory: --home, QUORVANTIX_HOME or the
//      executable's folder);
//   3. InitLanguage;
//   4. LoadSettings into Settings();
//   5. skin paths;
//   6. the transmit manager, then the record store, kept in Services();
//   7. the main window, run until it closes.
// Then the shutdown steps (ExitInstance), also when start-up ended early.
// Returns the process exit code: 0 for a second instance. Main thread only.
int RunStartupSequence(const StartupHooks& hooks);

// Shutdown: forgets the service pointers. Runs on every path out of the sequence.
void ExitInstance();

// The command line of the desktop program: "--home DIR" or "--home=DIR"; every
// other argument is left to the Qt application object.
struct StartupArguments {
    std::optional<std::string> home;
    std::string error; // non-empty when the command line is refused
};
StartupArguments ParseStartupArguments(const std::vector<std::string>& args);
