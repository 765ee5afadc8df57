// The single-instance guard across processes: the desktop program started while
// another instance holds the guard says so on stderr and exits at once, and the
// first keeps it; a program folder another user controls is refused before
// anything starts.

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Child {
    pid_t pid = -1;
    int in = -1;  // its standard input
    int out = -1; // its standard output and error
};

Child Spawn(const std::vector<std::string>& argv, const std::string& runtimeDir) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        dup2(fromChild[1], STDERR_FILENO);
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("QUORVANTIX_CLOSE_AFTER_MS", "300", 1); // the main window closes itself
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    return Child{pid, toChild[1], fromChild[0]};
}

// Everything the child writes until it closes its output or the deadline passes.
std::string ReadUntil(int fd, const std::string& want, std::chrono::seconds limit) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.find(want) == std::string::npos || want.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// Waits for the child to end; -1 when it is still running after the limit.
int WaitExit(pid_t pid, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usleep(10000);
    }
    return -1;
}

void Finish(Child& c) {
    if (c.in >= 0)
        close(c.in);
    if (c.out >= 0)
        close(c.out);
    if (c.pid > 0 && WaitExit(c.pid, std::chrono::seconds(10)) < 0) {
        kill(c.pid, SIGKILL);
        waitpid(c.pid, nullptr, 0);
    }
    c = Child{};
}

std::string Holder() {
    return qvtest::BinDir() + "../tests/instance_holder";
}

} // namespace

TEST(SecondInstance, ExitsAtOnceWhileTheFirstRuns) {
    qvtest::TempProgramDir home;
    const std::string runtime = home.path();

    Child first = Spawn({Holder()}, runtime);
    ASSERT_GT(first.pid, 0);
    ASSERT_EQ(ReadUntil(first.out, "held", std::chrono::seconds(20)), "held\n");

    // The real program, started as a second instance: no window, one line, exit 0,
    // at once (the holder has no window to bring forward).
    Child second = Spawn({qvtest::BinDir() + "quorvantix", "--home", home.path()}, runtime);
    ASSERT_GT(second.pid, 0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitExit(second.pid, std::chrono::seconds(20)), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(ReadUntil(second.out, "", std::chrono::seconds(1)),
              "Quorvantix is already running\n");
    second.pid = -1;
    Finish(second);

    // The first instance still holds the guard.
    Child third = Spawn({Holder()}, runtime);
    EXPECT_EQ(ReadUntil(third.out, "busy", std::chrono::seconds(20)), "busy\n");
    EXPECT_EQ(WaitExit(third.pid, std::chrono::seconds(20)), 3);
    third.pid = -1;
    Finish(third);
    EXPECT_EQ(WaitExit(first.pid, std::chrono::seconds(0)), -1) << "first instance ended";

    // Once the first ends, the guard is free again.
    Finish(first);
    Child fourth = Spawn({Holder()}, runtime);
    EXPECT_EQ(ReadUntil(fourth.out, "held", std::chrono::seconds(20)), "held\n");
    Finish(fourth);
}

TEST(SecondInstance, FirstInstanceRunsAndReleasesTheGuard) {
    qvtest::TempProgramDir home;
    Child app = Spawn({qvtest::BinDir() + "quorvantix", "--home", home.path()}, home.path());
    ASSERT_GT(app.pid, 0);
    EXPECT_EQ(WaitExit(app.pid, std::chrono::seconds(60)), 0);
    app.pid = -1;
    Finish(app);
    Child holder = Spawn({Holder()}, home.path());
    EXPECT_EQ(ReadUntil(holder.out, "held", std::chrono::seconds(20)), "held\n");
    Finish(holder);
}

// Run as root over a program folder of another user, the desktop program says
// so (on stderr and in a message box) and starts nothing there.
TEST(UntrustedFolder, DesktopProgramRefusesToStart) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    qvtest::TempProgramDir home;
    const std::string folder = home.file("program");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    Child app = Spawn({qvtest::BinDir() + "quorvantix", "--home", folder}, home.path());
    ASSERT_GT(app.pid, 0);
    const std::string said = ReadUntil(app.out, "65534.", std::chrono::seconds(20));
    EXPECT_NE(said.find("the folder " + folder + "/ is owned by user 65534."), std::string::npos)
        << said;
    // The message box waits for the operator; nothing was made in the folder meanwhile.
    usleep(300000);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    kill(app.pid, SIGKILL);
    waitpid(app.pid, nullptr, 0);
    app.pid = -1;
    Finish(app);
}
