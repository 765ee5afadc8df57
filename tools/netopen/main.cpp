// quorvantix-netopen IFACE: opens the raw-frame socket of one Ethernet
// interface for a program of this package and hands it back. The only
// executable meant to carry a capability (cap_net_raw). It is started with
// one end of a socketpair as descriptor 3, checks the interface, opens the
// socket, sends it over descriptor 3 (SCM_RIGHTS) and exits; it reads nothing
// but its one argument and serves no other use.

#include "link/RawSocketOpen.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kChannel = 3;

// True when descriptor 3 is a connected Unix stream socket.
bool ChannelIsSocketPair() {
    struct stat st {};
    if (fstat(kChannel, &st) != 0 || !S_ISSOCK(st.st_mode))
        return false;
    int type = 0;
    socklen_t size = sizeof type;
    if (getsockopt(kChannel, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM)
        return false;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(kChannel, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

bool SendText(const char* text) {
    return send(kChannel, text, std::strlen(text), MSG_NOSIGNAL) >= 0;
}

bool SendDescriptor(int fd) {
    char ok = 'k';
    iovec iov{&ok, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    return sendmsg(kChannel, &msg, MSG_NOSIGNAL) == 1;
}
} // namespace

int main(int argc, char** argv) {
    // Ends with the program that started it, like a privilege-separated
    // daemon's helper; a parent already gone means nobody waits for us.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        return 1;
    // Nothing inherited beyond the channel and the standard streams.
    close_range(kChannel + 1, ~0U, 0);

    if (argc != 2 || !ChannelIsSocketPair()) {
        std::fprintf(stderr, "quorvantix-netopen: started only by the Quorvantix programs, "
                             "with their channel as descriptor 3\n");
        return 2;
    }
    char reason[256] = {};
    if (!CheckAdapterName(argv[1], reason, sizeof reason)) {
        SendText(reason);
        return 1;
    }
    const int fd = OpenAdapterSocketFd(argv[1], reason, sizeof reason);
    if (fd < 0) {
        SendText(reason);
        return 1;
    }
    const bool sent = SendDescriptor(fd);
    close(fd);
    return sent ? 0 : 1;
}
