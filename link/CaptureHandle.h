#pragma once

#include "link/AdapterSocket.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// One reader's view of an adapter: a subscription on the process's adapter
// socket (see AdapterSocket), used the way every part of the device link
// reads frames: open, optionally narrow with a filter, read with a timeout
// or without waiting, send. Opening costs a hash-map insertion once the
// adapter's socket is open. Each thread opens its own handle; a handle is
// not shared between threads.
class CaptureHandle {
public:
    CaptureHandle() = default;
    ~CaptureHandle() { Close(); }
    CaptureHandle(const CaptureHandle&) = delete;
    CaptureHandle& operator=(const CaptureHandle&) = delete;

    // False when the device name is empty or its socket cannot be had
    // (OpenError() then says why). queueBytes bounds the frames waiting for
    // this handle (at least 64 frames); beyond it frames are counted and dropped.
    bool Open(const std::string& deviceName, int timeoutMs, int queueBytes = 256 * 1024);
    bool IsOpen() const { return socket_ != nullptr; }
    void Close();
    const std::string& OpenError() const { return openError_; }

    // Frames are queued for the handle from its filter on, or from its first
    // read when it has none.
    // Narrows the frames this handle sees. Understood: "ether proto 0x6262"
    // (every frame: the socket only takes that type), and the same preceded by
    // "ether src MAC and " or "ether dst MAC and ". Frames that arrived before
    // are discarded, so a reader never sees one its filter refuses. False for
    // anything else; the handle then keeps what it saw before.
    bool SetFilter(const std::string& deviceName, const std::string& expression);
    // From now on Next() returns at once when no frame is waiting.
    bool SetNonBlocking();

    // Sends length bytes of buffer; true when the whole frame went out.
    bool Send(const std::uint8_t* buffer, std::size_t length);

    // Reads the next frame: 1 with data/length set, 0 when none arrived
    // within the read timeout (at once in non-blocking mode), -1 when the
    // handle is not open. The data stays valid until the next call.
    int Next(const std::uint8_t*& data, std::size_t& length);

    // Sleeps until a frame is waiting or the timeout passes; returns at once
    // when a frame is already waiting. Timeouts are in nanoseconds.
    void WaitReadable(long long timeoutNs) const;

    // Frames dropped from this handle's full queue.
    std::uint64_t Dropped() const { return sub_ ? sub_->Dropped() : 0; }
    // The socket under this handle (nullptr when closed).
    AdapterSocket* Socket() const { return socket_.get(); }

private:
    void SubscribeUnfiltered() const;

    std::shared_ptr<AdapterSocket> socket_;
    std::unique_ptr<FrameSubscription> sub_;
    std::unique_ptr<RawFrame> current_;
    std::string openError_;
    int timeoutMs_ = 0;
    bool nonBlocking_ = false;
    mutable bool subscribed_ = false;
};
