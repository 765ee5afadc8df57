#pragma once

#include "link/TransmitFrame.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

// One received frame, as long as it came (at most a maximum-size Ethernet frame).
struct RawFrame {
    std::uint16_t length = 0;
    std::uint8_t bytes[kSendBufferSize];
};

// The frames one reader wants from an adapter socket: every frame, those to
// one destination MAC, or those from one source MAC. Frames wait in a
// bounded queue; beyond the bound they are counted and dropped, so a device
// that floods the segment cannot grow memory. The dispatcher fills the queue;
// one reader thread empties it.
class FrameSubscription {
public:
    enum class Match { All, Destination, Source };

    explicit FrameSubscription(std::size_t bound) : bound_(bound == 0 ? 1 : bound) {}
    FrameSubscription(const FrameSubscription&) = delete;
    FrameSubscription& operator=(const FrameSubscription&) = delete;

    // Takes the oldest frame; false when none waits.
    bool Pop(RawFrame& out);
    // Sleeps until a frame waits or timeoutNs passes (at once when one waits).
    void Wait(long long timeoutNs);
    // Frames dropped because the queue was full.
    std::uint64_t Dropped() const;
    std::size_t Bound() const { return bound_; }
    std::size_t Queued() const;

private:
    friend class AdapterSocket;
    // Queues a copy of the frame (dispatcher thread); false when dropped.
    bool Offer(const std::uint8_t* data, std::size_t length);

    const std::size_t bound_;
    Match match_ = Match::All;
    std::uint64_t mac_ = 0;
    mutable std::mutex lock_;
    std::condition_variable cv_;
    std::deque<RawFrame> queue_;
    std::uint64_t dropped_ = 0;
    bool waiting_ = false;
};

// One AF_PACKET socket on one adapter for every frame of EtherType 0x6262
// (see RawSocketOpen.h), with its receive ring. Shared sockets (Acquire) have
// a dispatcher thread that hands each frame to the subscriptions wanting it:
// the "all"/"destination" subscriptions look at every frame, the source
// subscriptions are found by the frame's source MAC in a hash map, so the
// cost of a frame does not grow with the number of transfers. Sends go out
// on the same socket from any thread.
class AdapterSocket {
public:
    // The process's socket on the named adapter in the calling thread's
    // network namespace, opened on first use and closed when the last user
    // lets go. When the process may not open it itself, quorvantix-netopen
    // opens it. nullptr with reason set (a sentence for the operator) on failure.
    static std::shared_ptr<AdapterSocket> Acquire(const std::string& name, std::string& reason);
    // A socket of the caller's own without a dispatcher: the caller reads
    // with ReadBatch (the device emulator).
    static std::unique_ptr<AdapterSocket> OpenDirect(const std::string& name, std::string& reason);

    ~AdapterSocket();
    AdapterSocket(const AdapterSocket&) = delete;
    AdapterSocket& operator=(const AdapterSocket&) = delete;

    // True when the whole frame went out. Any thread.
    bool Send(const std::uint8_t* data, std::size_t length);

    // Starts handing frames to sub (as its match says) until Unsubscribe.
    void Subscribe(FrameSubscription* sub);
    void Unsubscribe(FrameSubscription* sub);
    // Changes what sub wants; frames queued before are discarded.
    void SetMatch(FrameSubscription* sub, FrameSubscription::Match match,
                  const std::uint8_t mac[6]);

    // Direct sockets: calls fn for each waiting frame, up to max, after
    // waiting at most timeoutMs for the first. Returns the number read, -1 on error.
    int ReadBatch(const std::function<void(const std::uint8_t*, std::size_t)>& fn, int max,
                  int timeoutMs);

    // Frames the kernel dropped (ring full) since the last call, and frames
    // dropped from full subscription queues since the last call.
    struct Drops {
        std::uint64_t kernel = 0;
        std::uint64_t queues = 0;
    };
    Drops TakeDrops();

    static std::uint64_t MacKey(const std::uint8_t mac[6]);

private:
    AdapterSocket(int fd, std::uint8_t* ring);
    static std::unique_ptr<AdapterSocket> Open(const std::string& name, std::string& reason);
    void StartDispatcher();
    void Dispatch();
    void Deliver(const std::uint8_t* data, std::size_t length);
    // Calls fn for each user-owned slot from the current one, up to max.
    int Drain(const std::function<void(const std::uint8_t*, std::size_t)>& fn, int max);

    int fd_;
    int wakeFd_ = -1;
    std::uint8_t* ring_;
    unsigned slot_ = 0; // next ring slot to read (reader thread only)
    std::thread dispatcher_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> queueDrops_{0};

    std::mutex subsLock_;
    std::vector<FrameSubscription*> wide_; // All and Destination
    std::unordered_multimap<std::uint64_t, FrameSubscription*> bySource_;
};
