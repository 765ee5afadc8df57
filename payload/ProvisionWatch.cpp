#include "payload/ProvisionWatch.h"

#include <algorithm>
#include <set>
#include <utility>

ProvisionWatch::ProvisionWatch(std::vector<std::string> rows) : rows_(std::move(rows)) {}

ProvisionWatch::Decision ProvisionWatch::Round(const std::vector<std::string>& answered) {
    ++rounds_;
    const std::set<std::string> heard(answered.begin(), answered.end());
    for (auto& [mac, device] : devices_) {
        if (heard.count(mac) != 0)
            continue;
        ++device.silentRounds;
        if (device.silentRounds >= kSilentRoundsBeforeRetry)
            device.away = true;
    }

    Decision decision;
    std::set<std::string> done;
    for (const std::string& mac : answered) {
        if (!done.insert(mac).second)
            continue;
        auto found = devices_.find(mac);
        if (found == devices_.end()) {
            Device device;
            if (rows_ && std::find(rows_->begin(), rows_->end(), mac) == rows_->end()) {
                device.state = State::Skipped;
                decision.skipped.push_back(mac);
            } else {
                device.attempts = 1;
                decision.provision.push_back(mac);
            }
            devices_.emplace(mac, device);
            continue;
        }
        Device& device = found->second;
        device.silentRounds = 0;
        if (device.state == State::Failed && device.away && device.attempts <= kMaxRetries) {
            device.state = State::InTransfer;
            ++device.attempts;
            device.away = false;
            decision.retry.push_back(mac);
        }
    }
    return decision;
}

void ProvisionWatch::Finished(const std::string& mac, bool succeeded) {
    const auto found = devices_.find(mac);
    if (found == devices_.end() || found->second.state != State::InTransfer)
        return;
    found->second.state = succeeded ? State::Succeeded : State::Failed;
}

const ProvisionWatch::Device* ProvisionWatch::Find(const std::string& mac) const {
    const auto found = devices_.find(mac);
    return found == devices_.end() ? nullptr : &found->second;
}

std::size_t ProvisionWatch::Count(State state) const {
    return static_cast<std::size_t>(std::count_if(
        devices_.begin(), devices_.end(), [&](const auto& d) { return d.second.state == state; }));
}
