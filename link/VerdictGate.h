#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_map>

// Decides which result frames may change a status. A device's verdict on a
// file counts only while this process sends it a file of that category, and
// a verdict only once that file's last chunk was acknowledged: one that
// arrives earlier waits for the end of the transfer and is dropped when the
// transfer fails. Without a transfer a verdict changes nothing, so a frame
// forged by any station cannot report a file as stored.
// Any thread; apply functions run under the gate's lock (they write the
// record store, whose lock is taken after this one).
class VerdictGate {
public:
    using Apply = std::function<void(bool success)>;

    // A transfer of category to the device starts (a verdict left from an
    // earlier transfer is forgotten).
    void Begin(std::uint64_t mac, std::uint16_t category);
    // The transfer ended. delivered: every chunk was acknowledged.
    // onEnd runs first (it records the transfer status); a verdict that was
    // waiting is then applied when delivered, else dropped.
    void End(std::uint64_t mac, std::uint16_t category, bool delivered,
             const std::function<void()>& onEnd, const Apply& apply);
    // A result frame arrived: applied now, kept until the end, or dropped.
    void Verdict(std::uint64_t mac, std::uint16_t category, bool success, const Apply& apply);

private:
    enum class State : std::uint8_t { Sending, Delivered, Failed };
    struct Entry {
        State state = State::Sending;
        bool waiting = false;
        bool success = false;
    };
    static std::uint64_t Key(std::uint64_t mac, std::uint16_t category) {
        return (mac << 8) | (category & 0xFF);
    }

    std::mutex lock_;
    std::unordered_map<std::uint64_t, Entry> entries_;
};
