#include "link/RawSocketOpen.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef PACKET_IGNORE_OUTGOING
#define PACKET_IGNORE_OUTGOING 23
#endif
#ifndef SO_LOCK_FILTER
#define SO_LOCK_FILTER 44
#endif

namespace {
constexpr unsigned short kProtocol = 0x6262;
constexpr int kReceiveBufferBytes = 32 << 20;

void Say(char* reason, std::size_t size, const char* name, const char* what) {
    if (reason != nullptr && size > 0)
        std::snprintf(reason, size, "cannot open %s for raw frames: %s", name, what);
}

int Fail(int fd, char* reason, std::size_t size, const char* name, const char* what) {
    const int saved = errno;
    Say(reason, size, name, what);
    if (fd >= 0)
        close(fd);
    errno = saved;
    return -1;
}
} // namespace

bool CheckAdapterName(const char* name, char* reason, std::size_t reasonSize) {
    const std::size_t n = name != nullptr ? strnlen(name, IFNAMSIZ) : 0;
    bool ok = n > 0 && n < IFNAMSIZ && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
    for (std::size_t i = 0; ok && i < n; ++i) {
        const char c = name[i];
        ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '.' || c == '_' || c == '-' || c == '@' || c == ':';
    }
    if (!ok && reason != nullptr && reasonSize > 0)
        std::snprintf(reason, reasonSize, "not an interface name: %.40s", name ? name : "");
    return ok;
}

int OpenAdapterSocketFd(const char* name, char* reason, std::size_t reasonSize, bool* permission) {
    if (permission != nullptr)
        *permission = false;
    if (!CheckAdapterName(name, reason, reasonSize))
        return -1;
    const unsigned index = if_nametoindex(name);
    if (index == 0)
        return Fail(-1, reason, reasonSize, name, "no such interface");

    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (errno == EPERM || errno == EACCES) {
            if (permission != nullptr)
                *permission = true;
            return Fail(-1, reason, reasonSize, name,
                        "needs CAP_NET_RAW (run as root, or install the package and join the "
                        "group quorvantix)");
        }
        return Fail(-1, reason, reasonSize, name, std::strerror(errno));
    }

    ifreq ifr{};
    std::memcpy(ifr.ifr_name, name, std::strlen(name));
    if (ioctl(fd, SIOCGIFFLAGS, &ifr) != 0)
        return Fail(fd, reason, reasonSize, name, "no such interface");
    if ((ifr.ifr_flags & IFF_LOOPBACK) != 0)
        return Fail(fd, reason, reasonSize, name, "a loopback interface");
    if (ioctl(fd, SIOCGIFHWADDR, &ifr) != 0 || ifr.ifr_hwaddr.sa_family != ARPHRD_ETHER)
        return Fail(fd, reason, reasonSize, name, "not an Ethernet interface");

    // Only frames of our type, and the receiver of the descriptor cannot
    // widen that: the filter is locked before the socket leaves this code.
    sock_filter code[] = {
        {BPF_LD | BPF_H | BPF_ABS, 0, 0, 12},
        {BPF_JMP | BPF_JEQ | BPF_K, 0, 1, kProtocol},
        {BPF_RET | BPF_K, 0, 0, 0xFFFF},
        {BPF_RET | BPF_K, 0, 0, 0},
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        return Fail(fd, reason, reasonSize, name, "the frame filter cannot be attached");
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_LOCK_FILTER, &one, sizeof one);

    packet_mreq membership{};
    membership.mr_ifindex = static_cast<int>(index);
    membership.mr_type = PACKET_MR_PROMISC;
    if (setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
        return Fail(fd, reason, reasonSize, name, "promiscuous mode refused");
    if (setsockopt(fd, SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one) != 0)
        return Fail(fd, reason, reasonSize, name, "the kernel cannot leave out own frames");
    // The ring holds the bursts; the buffer only matters while it is set up.
    // Above the system's limit only a privileged caller gets the full size.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes,
                   sizeof kReceiveBufferBytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);

    const int version = TPACKET_V2;
    if (setsockopt(fd, SOL_PACKET, PACKET_VERSION, &version, sizeof version) != 0)
        return Fail(fd, reason, reasonSize, name, "the kernel has no TPACKET_V2 ring");
    tpacket_req ring{};
    ring.tp_block_size = kRingBlockSize;
    ring.tp_block_nr = kRingBlockCount;
    ring.tp_frame_size = kRingFrameSize;
    ring.tp_frame_nr = kRingFrameCount;
    if (setsockopt(fd, SOL_PACKET, PACKET_RX_RING, &ring, sizeof ring) != 0)
        return Fail(fd, reason, reasonSize, name, "the receive ring cannot be set up");

    // Bound last, with the protocol: until then the socket receives nothing,
    // so every frame it ever holds went through the filter into the ring.
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(kProtocol);
    address.sll_ifindex = static_cast<int>(index);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Fail(fd, reason, reasonSize, name, std::strerror(errno));
    return fd;
}
