#include "base/Startup.h"

#include "base/Language.h"
#include "base/ProgramDirectory.h"
#include "base/Settings.h"
#include "base/SingleInstance.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Holds the instance lock of a folder through a separate open file description,
// as another process would.
class OtherInstance {
public:
    explicit OtherInstance(const std::string& dir) {
        fd_ = ::open((dir + "Norva_Quorvantix.lock").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~OtherInstance() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool locked() const { return locked_; }

private:
    int fd_ = -1;
    bool locked_ = false;
};

} // namespace

TEST(ParseStartupArguments, HomeInBothForms) {
    EXPECT_EQ(ParseStartupArguments({"--home", "/x"}).home, "/x");
    EXPECT_EQ(ParseStartupArguments({"-platform", "offscreen", "--home=/y"}).home, "/y");
    EXPECT_FALSE(ParseStartupArguments({"-platform", "offscreen"}).home.has_value());
    EXPECT_FALSE(ParseStartupArguments({"--home"}).error.empty());
    EXPECT_FALSE(ParseStartupArguments({"--home="}).error.empty());
}

TEST(StartupSequence, SecondInstanceRunsNoStep) {
    qvtest::TempProgramDir lockDir;
    OtherInstance other(lockDir.path());
    ASSERT_TRUE(other.locked());
    std::vector<std::string> steps;
    StartupHooks hooks;
    hooks.lockDirectory = lockDir.path();
    hooks.buildSkinPaths = [&](const std::string&) { steps.push_back("skin"); };
    hooks.obtainRecordStore = [&]() -> CSqlManagement* {
        steps.push_back("store");
        return nullptr;
    };
    hooks.runMainWindow = [&] {
        steps.push_back("window");
        return 5;
    };
    hooks.alreadyRunning = [&] { steps.push_back("already running"); };
    EXPECT_EQ(RunStartupSequence(hooks), 0);
    EXPECT_EQ(steps, std::vector<std::string>{"already running"})
        << "only the hand-over to the running instance";
}

// Runs last in this process's view of the guard: once taken, it stays taken.
TEST(StartupSequence, StepsRunInOrderAndShutdownForgetsTheServices) {
    qvtest::TempProgramDir home;
    home.write("Setting.ini", "[Font]\nFontName=Sans\n");
    home.write("Languages/Language.ini", "[LCID]\n1033=English\n");
    qvtest::TempProgramDir lockDir;
    SetProgramDirectory(home.path());

    auto* fakeManager = reinterpret_cast<AcTransmitManage*>(0x10);
    auto* fakeStore = reinterpret_cast<CSqlManagement*>(0x20);
    std::vector<std::string> steps;
    StartupHooks hooks;
    hooks.lockDirectory = lockDir.path();
    hooks.buildSkinPaths = [&](const std::string& dir) {
        EXPECT_EQ(dir, home.path());
        // Language and settings are in place before the skin paths.
        EXPECT_EQ(CurrentLanguageFile(), home.path() + "Languages/English.lng");
        EXPECT_EQ(Settings().fontName, "Sans");
        EXPECT_EQ(Settings().programDirectory, home.path());
        steps.push_back("skin");
    };
    hooks.obtainTransmitManager = [&] {
        steps.push_back("transmit");
        return fakeManager;
    };
    hooks.obtainRecordStore = [&] {
        steps.push_back("store");
        return fakeStore;
    };
    hooks.runMainWindow = [&] {
        EXPECT_EQ(Services().transmitManager, fakeManager);
        EXPECT_EQ(Services().recordStore, fakeStore);
        // The guard is held while the window runs.
        EXPECT_FALSE(OtherInstance(lockDir.path()).locked());
        steps.push_back("window");
        return 3;
    };
    EXPECT_EQ(RunStartupSequence(hooks), 3);
    EXPECT_EQ(steps, (std::vector<std::string>{"skin", "transmit", "store", "window"}));
    EXPECT_EQ(Services().transmitManager, nullptr);
    EXPECT_EQ(Services().recordStore, nullptr);
}

TEST(SingleInstanceLockDirectory, XdgRuntimeDirElseUserFolderInTmp) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    qvtest::TempProgramDir runtime;
    std::string runtimeDir = runtime.path();
    runtimeDir.pop_back();
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    EXPECT_EQ(SingleInstanceLockDirectory(), runtimeDir);
    // Not /tmp itself, where any user can plant the lock file: a folder named for the user.
    const passwd* user = getpwuid(geteuid());
    const std::string own =
        "/tmp/quorvantix-" + (user ? std::string(user->pw_name) : std::to_string(geteuid()));
    setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(SingleInstanceLockDirectory(), own);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstanceLockDirectory(), own);
    // Another user's runtime folder, or one that is not there, is passed over.
    setenv("XDG_RUNTIME_DIR", "/run/user/4242-none", 1);
    EXPECT_EQ(SingleInstanceLockDirectory(), own);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(runtimeDir.c_str(), 65534, 65534), 0);
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        EXPECT_EQ(SingleInstanceLockDirectory(), own);
    }
    if (old)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}
