#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The decisions of a bench station that provisions devices as they are
// plugged in, without any I/O: the caller searches the segment once per
// interval, hands in each round's answering MACs and starts what Round()
// asks for; it reports each attempt's outcome with Finished(). The window and
// the command line share it. Not thread-safe; one owner thread.
class ProvisionWatch {
public:
    // A failed device is tried again once it has been silent for this many
    // rounds in a row (unplugged and plugged again) and answers once more ...
    static constexpr int kSilentRoundsBeforeRetry = 3;
    // ... at most this many times.
    static constexpr int kMaxRetries = 3;

    enum class State { InTransfer, Succeeded, Failed, Skipped };

    struct Device {
        State state = State::InTransfer;
        int attempts = 0;     // attempts started: 1 the first, 2.. the retries
        int silentRounds = 0; // rounds in a row without an answer
        bool away = false;    // silent long enough since its last attempt started
    };

    // What one round asks for, each list in the order the MACs were answered.
    struct Decision {
        std::vector<std::string> provision; // first answer in this run: the payload now
        std::vector<std::string> retry;     // failed, away, back again: the same payload
        std::vector<std::string> skipped;   // first answer, but no row: reported once
    };

    // Every device that answers is provisioned.
    ProvisionWatch() = default;
    // Only devices with a row (MAC texts as the rounds give them) are
    // provisioned; the others are skipped.
    explicit ProvisionWatch(std::vector<std::string> rows);

    // One search round: the MACs that answered it (repeats count once).
    Decision Round(const std::vector<std::string>& answered);

    // The outcome of the device's current attempt; ignored for a device
    // that is not in transfer.
    void Finished(const std::string& mac, bool succeeded);

    // The device, or nullptr when it never answered.
    const Device* Find(const std::string& mac) const;
    std::size_t Count(State state) const;
    std::size_t RoundsSeen() const { return rounds_; }

private:
    std::optional<std::vector<std::string>> rows_;
    std::map<std::string, Device> devices_;
    std::size_t rounds_ = 0;
};
