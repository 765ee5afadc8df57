#include "link/CaptureHandle.h"

#include <pcap/pcap.h>
#include <poll.h>
#include <time.h>

bool CaptureHandle::Open(const std::string& deviceName, int timeoutMs, int bufferBytes) {
    Close();
    if (deviceName.empty())
        return false;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* p = pcap_create(deviceName.c_str(), errbuf);
    if (p == nullptr)
        return false;
    pcap_set_snaplen(p, 65536);
    pcap_set_promisc(p, 1);
    pcap_set_timeout(p, timeoutMs);
    pcap_set_immediate_mode(p, 1);
    pcap_set_buffer_size(p, bufferBytes);
    if (pcap_activate(p) < 0) {
        pcap_close(p);
        return false;
    }
    // Only frames arriving at the adapter: our own transmissions are not
    // looped back into the capture.
    pcap_setdirection(p, PCAP_D_IN);
    // libpcap's blocking read in immediate mode waits for a frame however long
    // that takes; the read timeout is therefore kept here, over a
    // non-blocking handle and a wait on its descriptor.
    char nbErr[PCAP_ERRBUF_SIZE] = {};
    pcap_setnonblock(p, 1, nbErr);
    pcap_ = p;
    timeoutMs_ = timeoutMs;
    nonBlocking_ = false;
    return true;
}

void CaptureHandle::Close() {
    if (pcap_ != nullptr) {
        pcap_close(pcap_);
        pcap_ = nullptr;
    }
}

bool CaptureHandle::SetFilter(const std::string& deviceName, const std::string& expression) {
    if (pcap_ == nullptr)
        return false;
    bpf_u_int32 net = 0;
    bpf_u_int32 mask = PCAP_NETMASK_UNKNOWN;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    if (pcap_lookupnet(deviceName.c_str(), &net, &mask, errbuf) < 0)
        mask = PCAP_NETMASK_UNKNOWN;
    bpf_program program{};
    if (pcap_compile(pcap_, &program, expression.c_str(), 1, mask) < 0)
        return false;
    const bool ok = pcap_setfilter(pcap_, &program) == 0;
    pcap_freecode(&program);
    return ok;
}

bool CaptureHandle::SetNonBlocking() {
    if (pcap_ == nullptr)
        return false;
    nonBlocking_ = true;
    return true;
}

bool CaptureHandle::Send(const std::uint8_t* buffer, std::size_t length) {
    return pcap_ != nullptr && pcap_sendpacket(pcap_, buffer, static_cast<int>(length)) == 0;
}

int CaptureHandle::Next(const std::uint8_t*& data, std::size_t& length) {
    if (pcap_ == nullptr)
        return -1;
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    int rc = pcap_next_ex(pcap_, &header, &bytes);
    if (rc == 0 && !nonBlocking_) {
        WaitReadable(static_cast<long long>(timeoutMs_) * 1000000LL);
        rc = pcap_next_ex(pcap_, &header, &bytes);
    }
    if (rc == 1) {
        data = bytes;
        length = header->caplen;
        return 1;
    }
    return rc == 0 ? 0 : -1;
}

int CaptureHandle::SelectableFd() const {
    return pcap_ != nullptr ? pcap_get_selectable_fd(pcap_) : -1;
}

void CaptureHandle::WaitReadable(long long timeoutNs) const {
    if (timeoutNs < 0)
        timeoutNs = 0;
    timespec ts{static_cast<time_t>(timeoutNs / 1000000000LL),
                static_cast<long>(timeoutNs % 1000000000LL)};
    const int fd = SelectableFd();
    if (fd < 0) {
        nanosleep(&ts, nullptr);
        return;
    }
    pollfd pfd{fd, POLLIN, 0};
    ppoll(&pfd, 1, &ts, nullptr);
}
