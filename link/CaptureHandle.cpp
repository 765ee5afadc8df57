#include "link/CaptureHandle.h"

#include "link/TransmitFrame.h"

#include <cctype>
#include <ctime>

namespace {
constexpr std::size_t kMinimumQueueFrames = 64;

// "ether src MAC and ether proto 0x6262" and its two relatives.
bool ParseFilter(const std::string& expression, FrameSubscription::Match& match,
                 std::uint8_t mac[6]) {
    static const std::string proto = "ether proto 0x6262";
    if (expression == proto) {
        match = FrameSubscription::Match::All;
        return true;
    }
    const std::string src = "ether src ", dst = "ether dst ", tail = " and " + proto;
    const bool isSrc = expression.starts_with(src), isDst = expression.starts_with(dst);
    if ((!isSrc && !isDst) || !expression.ends_with(tail) ||
        expression.size() != src.size() + 17 + tail.size())
        return false;
    std::string text = expression.substr(src.size(), 17);
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!ParseMacText(text, mac))
        return false;
    match = isSrc ? FrameSubscription::Match::Source : FrameSubscription::Match::Destination;
    return true;
}
} // namespace

bool CaptureHandle::Open(const std::string& deviceName, int timeoutMs, int queueBytes) {
    Close();
    openError_.clear();
    if (deviceName.empty()) {
        openError_ = "no adapter selected";
        return false;
    }
    std::shared_ptr<AdapterSocket> socket = AdapterSocket::Acquire(deviceName, openError_);
    if (!socket)
        return false;
    std::size_t bound = queueBytes > 0 ? static_cast<std::size_t>(queueBytes) / kFrameSize : 0;
    if (bound < kMinimumQueueFrames)
        bound = kMinimumQueueFrames;
    sub_ = std::make_unique<FrameSubscription>(bound);
    if (!current_)
        current_ = std::make_unique<RawFrame>();
    // Subscribed at the filter (or the first read): a transfer's handle
    // never holds frames of other devices that came before its filter.
    socket_ = std::move(socket);
    subscribed_ = false;
    timeoutMs_ = timeoutMs;
    nonBlocking_ = false;
    return true;
}

void CaptureHandle::Close() {
    if (socket_ != nullptr) {
        socket_->Unsubscribe(sub_.get());
        sub_.reset();
        socket_.reset(); // the last handle on an adapter closes its socket
    }
}

bool CaptureHandle::SetFilter(const std::string& /*deviceName*/, const std::string& expression) {
    if (socket_ == nullptr)
        return false;
    FrameSubscription::Match match{};
    std::uint8_t mac[6] = {};
    if (!ParseFilter(expression, match, mac))
        return false;
    socket_->SetMatch(sub_.get(), match, mac);
    subscribed_ = true;
    return true;
}

bool CaptureHandle::SetNonBlocking() {
    if (socket_ == nullptr)
        return false;
    nonBlocking_ = true;
    return true;
}

bool CaptureHandle::Send(const std::uint8_t* buffer, std::size_t length) {
    return socket_ != nullptr && socket_->Send(buffer, length);
}

void CaptureHandle::SubscribeUnfiltered() const {
    if (!subscribed_) {
        socket_->Subscribe(sub_.get());
        subscribed_ = true;
    }
}

int CaptureHandle::Next(const std::uint8_t*& data, std::size_t& length) {
    if (socket_ == nullptr)
        return -1;
    SubscribeUnfiltered();
    bool got = sub_->Pop(*current_);
    if (!got && !nonBlocking_) {
        sub_->Wait(static_cast<long long>(timeoutMs_) * 1000000LL);
        got = sub_->Pop(*current_);
    }
    if (!got)
        return 0;
    data = current_->bytes;
    length = current_->length;
    return 1;
}

void CaptureHandle::WaitReadable(long long timeoutNs) const {
    if (timeoutNs < 0)
        timeoutNs = 0;
    if (sub_ != nullptr) {
        SubscribeUnfiltered();
        sub_->Wait(timeoutNs);
        return;
    }
    timespec ts{static_cast<time_t>(timeoutNs / 1000000000LL),
                static_cast<long>(timeoutNs % 1000000000LL)};
    nanosleep(&ts, nullptr);
}
