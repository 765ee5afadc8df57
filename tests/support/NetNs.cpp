#include "tests/support/NetNs.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qvtest {

namespace {
std::atomic<int> g_counter{0};
}

bool IsRoot() {
    return geteuid() == 0;
}

bool RunCommand(const std::string& command) {
    const int rc = std::system((command + " >/dev/null 2>&1").c_str());
    return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

NetNs::NetNs() {
    const int n = g_counter++;
    const std::string id = std::to_string(getpid()) + "_" + std::to_string(n);
    name_ = "qvt" + id;
    toolSide_ = "qa" + id;
    deviceSide_ = "qb" + id;
    if (!IsRoot())
        return;
    RunCommand("ip netns del " + name_);
    ok_ = RunCommand("ip netns add " + name_) &&
          RunCommand("ip -n " + name_ + " link add " + toolSide_ + " type veth peer name " +
                     deviceSide_) &&
          RunCommand("ip -n " + name_ + " link set " + toolSide_ + " up") &&
          RunCommand("ip -n " + name_ + " link set " + deviceSide_ + " up") &&
          RunCommand("ip -n " + name_ + " link set lo up");
}

NetNs::~NetNs() {
    if (IsRoot())
        RunCommand("ip netns del " + name_);
}

std::string NetNs::toolSideMac() const {
    Entered in(*this);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    ifreq req{};
    std::snprintf(req.ifr_name, sizeof req.ifr_name, "%s", toolSide_.c_str());
    std::string mac;
    if (ioctl(fd, SIOCGIFHWADDR, &req) == 0) {
        char text[18];
        const auto* b = reinterpret_cast<const unsigned char*>(req.ifr_hwaddr.sa_data);
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3],
                      b[4], b[5]);
        mac = text;
    }
    close(fd);
    return mac;
}

NetNs::Entered::Entered(const NetNs& ns) {
    original_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int fd = open(("/var/run/netns/" + ns.name()).c_str(), O_RDONLY | O_CLOEXEC);
    if (original_ >= 0 && fd >= 0)
        ok_ = setns(fd, CLONE_NEWNET) == 0;
    if (fd >= 0)
        close(fd);
}

NetNs::Entered::~Entered() {
    if (original_ >= 0) {
        if (ok_)
            setns(original_, CLONE_NEWNET);
        close(original_);
    }
}

pid_t NetNs::Spawn(const std::vector<std::string>& argv, const std::string& stdoutPath,
                   const std::string& stderrPath) const {
    if (argv.empty())
        return -1;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string nsPath = "/var/run/netns/" + name_;
    const int nsFd = open(nsPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (nsFd < 0)
        return -1;
    int outFd = -1;
    if (!stdoutPath.empty())
        outFd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int errFd = -1;
    if (!stderrPath.empty())
        errFd = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
        // The child ends with its parent, so an interrupted test or benchmark
        // leaves no emulator behind.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (setns(nsFd, CLONE_NEWNET) != 0)
            _exit(127);
        if (outFd >= 0)
            dup2(outFd, STDOUT_FILENO);
        if (errFd >= 0)
            dup2(errFd, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    close(nsFd);
    if (outFd >= 0)
        close(outFd);
    if (errFd >= 0)
        close(errFd);
    return pid;
}

int StopProcess(pid_t pid, int timeoutMs) {
    if (pid <= 0)
        return -1;
    kill(pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

} // namespace qvtest
