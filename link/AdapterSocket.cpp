#include "link/AdapterSocket.h"

#include "link/NetOpenClient.h"
#include "link/RawSocketOpen.h"

#include <cerrno>
#include <cstring>
#include <linux/if_packet.h>
#include <map>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Frames the dispatcher hands out before it lets subscribers in again.
constexpr int kDispatchBatch = 256;

tpacket2_hdr* Slot(std::uint8_t* ring, unsigned index) {
    return reinterpret_cast<tpacket2_hdr*>(ring + std::size_t{index} * kRingFrameSize);
}

// The sockets of this process by network namespace and interface name.
struct Registry {
    std::mutex lock;
    std::map<std::pair<unsigned long long, std::string>, std::weak_ptr<AdapterSocket>> sockets;
};

Registry& TheRegistry() {
    // Never destroyed: transfer threads may still let go of a socket while
    // the process exits.
    static Registry* registry = new Registry;
    return *registry;
}

unsigned long long NamespaceId() {
    struct stat st {};
    if (stat("/proc/thread-self/ns/net", &st) != 0)
        return 0;
    return static_cast<unsigned long long>(st.st_ino);
}
} // namespace

bool FrameSubscription::Offer(const std::uint8_t* data, std::size_t length) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (queue_.size() >= bound_) {
            ++dropped_;
            return false;
        }
        RawFrame& f = queue_.emplace_back();
        const std::size_t n = length < sizeof f.bytes ? length : sizeof f.bytes;
        f.length = static_cast<std::uint16_t>(n);
        std::memcpy(f.bytes, data, n);
        wake = waiting_;
    }
    if (wake)
        cv_.notify_one();
    return true;
}

bool FrameSubscription::Pop(RawFrame& out) {
    std::lock_guard<std::mutex> g(lock_);
    if (queue_.empty())
        return false;
    out.length = queue_.front().length;
    std::memcpy(out.bytes, queue_.front().bytes, out.length);
    queue_.pop_front();
    return true;
}

void FrameSubscription::Wait(long long timeoutNs) {
    std::unique_lock<std::mutex> lock(lock_);
    if (!queue_.empty() || timeoutNs <= 0)
        return;
    waiting_ = true;
    cv_.wait_for(lock, std::chrono::nanoseconds(timeoutNs), [this] { return !queue_.empty(); });
    waiting_ = false;
}

std::uint64_t FrameSubscription::Dropped() const {
    std::lock_guard<std::mutex> g(lock_);
    return dropped_;
}

std::size_t FrameSubscription::Queued() const {
    std::lock_guard<std::mutex> g(lock_);
    return queue_.size();
}

std::uint64_t AdapterSocket::MacKey(const std::uint8_t mac[6]) {
    std::uint64_t k = 0;
    for (int i = 0; i < 6; ++i)
        k = (k << 8) | mac[i];
    return k;
}

AdapterSocket::AdapterSocket(int fd, std::uint8_t* ring) : fd_(fd), ring_(ring) {}

AdapterSocket::~AdapterSocket() {
    if (dispatcher_.joinable()) {
        stop_ = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
        dispatcher_.join();
    }
    if (wakeFd_ >= 0)
        close(wakeFd_);
    munmap(ring_, kRingBytes);
    close(fd_);
}

std::unique_ptr<AdapterSocket> AdapterSocket::Open(const std::string& name, std::string& reason) {
    char text[256] = {};
    bool permission = false;
    int fd = OpenAdapterSocketFd(name.c_str(), text, sizeof text, &permission);
    reason = text;
    if (fd < 0 && permission) {
        // Not privileged: the helper may open it for us. Its own reason
        // replaces ours when it ran and failed.
        std::string helperReason;
        fd = OpenAdapterSocketThroughHelper(name, helperReason);
        if (fd < 0 && !helperReason.empty())
            reason = helperReason;
    }
    if (fd < 0)
        return nullptr;
    void* ring = mmap(nullptr, kRingBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (ring == MAP_FAILED) {
        reason = "cannot open " + name + " for raw frames: the receive ring cannot be mapped";
        close(fd);
        return nullptr;
    }
    reason.clear();
    return std::unique_ptr<AdapterSocket>(new AdapterSocket(fd, static_cast<std::uint8_t*>(ring)));
}

std::unique_ptr<AdapterSocket> AdapterSocket::OpenDirect(const std::string& name,
                                                         std::string& reason) {
    return Open(name, reason);
}

std::shared_ptr<AdapterSocket> AdapterSocket::Acquire(const std::string& name,
                                                      std::string& reason) {
    Registry& r = TheRegistry();
    const auto key = std::make_pair(NamespaceId(), name);
    std::lock_guard<std::mutex> g(r.lock);
    if (std::shared_ptr<AdapterSocket> s = r.sockets[key].lock()) {
        reason.clear();
        return s;
    }
    std::unique_ptr<AdapterSocket> opened = Open(name, reason);
    if (!opened) {
        r.sockets.erase(key);
        return nullptr;
    }
    opened->StartDispatcher();
    if (!opened->dispatcher_.joinable()) {
        reason = "cannot open " + name + " for raw frames: no thread to read it";
        return nullptr;
    }
    std::shared_ptr<AdapterSocket> s(opened.release());
    r.sockets[key] = s;
    return s;
}

void AdapterSocket::StartDispatcher() {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        return;
    try {
        dispatcher_ = std::thread(&AdapterSocket::Dispatch, this);
    } catch (const std::system_error&) {
    }
}

bool AdapterSocket::Send(const std::uint8_t* data, std::size_t length) {
    for (;;) {
        const ssize_t n = send(fd_, data, length, 0);
        if (n >= 0)
            return static_cast<std::size_t>(n) == length;
        if (errno != EINTR)
            return false;
    }
}

void AdapterSocket::Subscribe(FrameSubscription* sub) {
    std::lock_guard<std::mutex> g(subsLock_);
    if (sub->match_ == FrameSubscription::Match::Source)
        bySource_.emplace(sub->mac_, sub);
    else
        wide_.push_back(sub);
}

void AdapterSocket::Unsubscribe(FrameSubscription* sub) {
    std::lock_guard<std::mutex> g(subsLock_);
    if (sub->match_ == FrameSubscription::Match::Source) {
        auto [first, last] = bySource_.equal_range(sub->mac_);
        for (auto it = first; it != last; ++it) {
            if (it->second == sub) {
                bySource_.erase(it);
                break;
            }
        }
    } else {
        std::erase(wide_, sub);
    }
}

void AdapterSocket::SetMatch(FrameSubscription* sub, FrameSubscription::Match match,
                             const std::uint8_t mac[6]) {
    Unsubscribe(sub);
    {
        // What came before the filter is discarded, as a capture filter does:
        // a transfer opening its handle while other devices' acknowledgements
        // arrive must never find one of them queued.
        std::lock_guard<std::mutex> g(sub->lock_);
        sub->queue_.clear();
    }
    {
        std::lock_guard<std::mutex> g(subsLock_);
        sub->match_ = match;
        sub->mac_ = mac != nullptr ? MacKey(mac) : 0;
    }
    Subscribe(sub);
}

void AdapterSocket::Deliver(const std::uint8_t* data, std::size_t length) {
    if (length < 14)
        return;
    const std::uint64_t destination = MacKey(data);
    const std::uint64_t source = MacKey(data + 6);
    std::uint64_t dropped = 0;
    for (FrameSubscription* sub : wide_) {
        if (sub->match_ == FrameSubscription::Match::Destination && sub->mac_ != destination)
            continue;
        if (!sub->Offer(data, length))
            ++dropped;
    }
    auto [first, last] = bySource_.equal_range(source);
    for (auto it = first; it != last; ++it) {
        if (!it->second->Offer(data, length))
            ++dropped;
    }
    if (dropped != 0)
        queueDrops_ += dropped;
}

int AdapterSocket::Drain(const std::function<void(const std::uint8_t*, std::size_t)>& fn, int max) {
    int n = 0;
    while (n < max) {
        tpacket2_hdr* h = Slot(ring_, slot_);
        if ((__atomic_load_n(&h->tp_status, __ATOMIC_ACQUIRE) & TP_STATUS_USER) == 0)
            break;
        const std::size_t offset = h->tp_mac;
        std::size_t length = h->tp_snaplen;
        if (offset < kRingFrameSize && length <= kRingFrameSize - offset)
            fn(reinterpret_cast<const std::uint8_t*>(h) + offset, length);
        __atomic_store_n(&h->tp_status, TP_STATUS_KERNEL, __ATOMIC_RELEASE);
        slot_ = (slot_ + 1) % kRingFrameCount;
        ++n;
    }
    return n;
}

int AdapterSocket::ReadBatch(const std::function<void(const std::uint8_t*, std::size_t)>& fn,
                             int max, int timeoutMs) {
    int n = Drain(fn, max);
    if (n > 0)
        return n;
    pollfd p{fd_, POLLIN, 0};
    const int rc = poll(&p, 1, timeoutMs);
    if (rc < 0)
        return errno == EINTR ? 0 : -1;
    if ((p.revents & POLLERR) != 0) {
        // A pending socket error (the interface went down): read it to clear it.
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
    }
    return Drain(fn, max);
}

void AdapterSocket::Dispatch() {
    const auto deliver = [this](const std::uint8_t* data, std::size_t length) {
        Deliver(data, length);
    };
    while (!stop_) {
        int n = 0;
        {
            std::lock_guard<std::mutex> g(subsLock_);
            n = Drain(deliver, kDispatchBatch);
        }
        if (n > 0)
            continue;
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(p, 2, -1) < 0)
            continue;
        if ((p[0].revents & POLLERR) != 0) {
            // The interface went down: clear the error; frames come again when it is up.
            int error = 0;
            socklen_t size = sizeof error;
            getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
        }
    }
}

AdapterSocket::Drops AdapterSocket::TakeDrops() {
    Drops d;
    tpacket_stats stats{};
    socklen_t size = sizeof stats;
    if (getsockopt(fd_, SOL_PACKET, PACKET_STATISTICS, &stats, &size) == 0)
        d.kernel = stats.tp_drops;
    d.queues = queueDrops_.exchange(0);
    return d;
}
