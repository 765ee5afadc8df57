#include "link/VerdictGate.h"

void VerdictGate::Begin(std::uint64_t mac, std::uint16_t category) {
    std::lock_guard<std::mutex> g(lock_);
    entries_[Key(mac, category)] = Entry{};
}

void VerdictGate::End(std::uint64_t mac, std::uint16_t category, bool delivered,
                      const std::function<void()>& onEnd, const Apply& apply) {
    std::lock_guard<std::mutex> g(lock_);
    if (onEnd)
        onEnd();
    Entry& e = entries_[Key(mac, category)];
    e.state = delivered ? State::Delivered : State::Failed;
    if (delivered && e.waiting && apply)
        apply(e.success);
    e.waiting = false;
}

void VerdictGate::Verdict(std::uint64_t mac, std::uint16_t category, bool success,
                          const Apply& apply) {
    std::lock_guard<std::mutex> g(lock_);
    const auto it = entries_.find(Key(mac, category));
    if (it == entries_.end() || it->second.state == State::Failed)
        return;
    Entry& e = it->second;
    if (e.state == State::Delivered) {
        if (apply)
            apply(success);
        return;
    }
    // Still sending: the verdict waits for the last acknowledgement (the
    // latest one counts).
    e.waiting = true;
    e.success = success;
}
