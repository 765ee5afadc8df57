#include "link/NetOpenClient.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QV_LIBEXEC_DIR
#define QV_LIBEXEC_DIR "/usr/local/libexec/quorvantix"
#endif

namespace {
constexpr const char* kHelperName = "quorvantix-netopen";
constexpr int kHelperTimeoutMs = 5000;

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ExecutableFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Reads the helper's answer: a descriptor with a one-byte message, or a
// sentence without one.
int ReceiveAnswer(int fd, std::string& reason) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kHelperTimeoutMs) <= 0)
        return -1;
    char text[512] = {};
    iovec iov{text, sizeof text - 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &msg, MSG_CMSG_CLOEXEC);
    if (n <= 0)
        return -1;
    int received = -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS &&
            c->cmsg_len == CMSG_LEN(sizeof(int)))
            std::memcpy(&received, CMSG_DATA(c), sizeof received);
    }
    if (received >= 0)
        return received;
    std::string answer(text, static_cast<std::size_t>(n));
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\0'))
        answer.pop_back();
    reason = answer;
    return -1;
}
} // namespace

std::string NetOpenHelperPath() {
    const std::string beside = ExecutableFolder() + "/" + kHelperName;
    if (IsExecutableFile(beside))
        return beside;
    const std::string installed = std::string(QV_LIBEXEC_DIR) + "/" + kHelperName;
    if (IsExecutableFile(installed))
        return installed;
    return {};
}

int OpenAdapterSocketThroughHelper(const std::string& name, std::string& reason) {
    reason.clear();
    const std::string helper = NetOpenHelperPath();
    if (helper.empty())
        return -1;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return -1;
    // The child's end becomes descriptor 3; moved out of the way first so the
    // dup2 clears its close-on-exec flag.
    if (pair[1] == 3) {
        const int moved = fcntl(pair[1], F_DUPFD_CLOEXEC, 10);
        close(pair[1]);
        pair[1] = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    char* const argv[] = {const_cast<char*>(kHelperName), const_cast<char*>(name.c_str()), nullptr};
    char* const envp[] = {nullptr};
    pid_t pid = -1;
    const int rc =
        pair[1] >= 0 ? posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv, envp) : EBADF;
    posix_spawn_file_actions_destroy(&actions);
    if (pair[1] >= 0)
        close(pair[1]);
    if (rc != 0) {
        close(pair[0]);
        return -1;
    }
    const int fd = ReceiveAnswer(pair[0], reason);
    close(pair[0]);
    int status = 0;
    if (fd < 0 && reason.empty())
        kill(pid, SIGKILL); // silent for too long: it will not answer any more
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return fd;
}
