#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace qvtest {

bool IsRoot();

// A network namespace of its own with one veth pair inside, both ends up:
// frames sent on toolSide() arrive on deviceSide() and back. Names carry the
// pid and a counter, so tests may run in parallel. The namespace (and with it
// the pair) is removed when the object goes, also when the test failed.
class NetNs {
public:
    NetNs();
    ~NetNs();
    NetNs(const NetNs&) = delete;
    NetNs& operator=(const NetNs&) = delete;

    bool ok() const { return ok_; }
    const std::string& name() const { return name_; }
    const std::string& toolSide() const { return toolSide_; }
    const std::string& deviceSide() const { return deviceSide_; }
    // MAC of the tool side, "aa:bb:..." as the kernel reports it.
    std::string toolSideMac() const;

    // Moves the calling thread into the namespace while it lives; threads
    // started meanwhile by this thread stay in it.
    class Entered {
    public:
        explicit Entered(const NetNs& ns);
        ~Entered();
        Entered(const Entered&) = delete;
        Entered& operator=(const Entered&) = delete;
        bool ok() const { return ok_; }

    private:
        int original_ = -1;
        bool ok_ = false;
    };

    // Starts argv[0] (a path) inside the namespace; its stdout goes to
    // stdoutPath and its stderr to stderrPath when given. Returns the pid, or -1.
    pid_t Spawn(const std::vector<std::string>& argv, const std::string& stdoutPath = {},
                const std::string& stderrPath = {}) const;

private:
    std::string name_, toolSide_, deviceSide_;
    bool ok_ = false;
};

// Sends SIGTERM and waits at most timeoutMs (then SIGKILL). Returns the exit
// status, or -1 when killed.
int StopProcess(pid_t pid, int timeoutMs = 5000);

// Runs a shell command; true when it exits 0.
bool RunCommand(const std::string& command);

} // namespace qvtest
