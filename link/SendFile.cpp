#include "link/SendFile.h"

#include "link/AcTransmitManage.h"
#include "link/CaptureHandle.h"

#include <cstdio>
#include <cstring>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

class File {
public:
    explicit File(const std::string& path) : f_(std::fopen(path.c_str(), "rb")) {}
    ~File() {
        if (f_ != nullptr)
            std::fclose(f_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* get() const { return f_; }

private:
    std::FILE* f_;
};

enum class Exchange { Acknowledged, Failed };

// Sends the frame in buffer until its acknowledgement arrives or the limits
// are reached.
Exchange ExchangeChunk(CaptureHandle& handle, const std::uint8_t* buffer, std::uint16_t category,
                       std::uint16_t sequence, const TransferTiming& timing, SendFileStats& stats) {
    std::uint32_t idlePolls = 0;
    std::uint32_t strayFrames = 0;
    int transmissions = 0;
    const int maxTransmissions = static_cast<int>(timing.pollLimit / timing.pollsPerRetransmission);
    bool sendPending = true;
    Clock::time_point lastSend{};
    for (;;) {
        if (sendPending) {
            handle.Send(buffer, kFrameSize);
            ++transmissions;
            ++stats.transmissions;
            lastSend = Clock::now();
            sendPending = false;
        }
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        const int rc = handle.Next(data, length);
        bool trigger = false;
        if (rc == 1) {
            std::uint8_t head[20] = {};
            std::memcpy(head, data, length < sizeof head ? length : sizeof head);
            const auto field = [&](std::size_t o) {
                return static_cast<std::uint16_t>((head[o] << 8) | head[o + 1]);
            };
            const std::uint16_t seq = field(frame::kSequence);
            if (seq == 0xFFFF || (field(frame::kCategory) == category &&
                                  field(frame::kOpcode) == Reply && seq == sequence))
                return Exchange::Acknowledged;
            ++strayFrames;
            ++stats.strays;
            if (strayFrames >= timing.pollLimit)
                return Exchange::Failed;
            trigger = strayFrames % timing.pollsPerRetransmission == 0;
        } else {
            ++idlePolls;
            if (idlePolls >= timing.pollLimit)
                return Exchange::Failed;
            trigger = idlePolls % timing.pollsPerRetransmission == 0;
        }
        const auto elapsed = Clock::now() - lastSend;
        if (trigger || elapsed >= timing.retransmitInterval) {
            if (transmissions >= maxTransmissions)
                return Exchange::Failed;
            sendPending = true;
            continue;
        }
        // Sleep until a frame arrives or the retransmission is due, never
        // less than the minimum wait between polls.
        auto wait = timing.retransmitInterval - elapsed;
        if (rc == 1 || wait < timing.minimumWait)
            wait = timing.minimumWait;
        handle.WaitReadable(std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count());
    }
}
} // namespace

bool SendFileOn(const std::string& deviceName, const TransmitFrame& frameTemplate,
                std::uint16_t category, const std::string& path, const std::string& macText,
                const TransferTiming& timing, SendFileStats* statsOut,
                const SendFileProgress& progress) {
    SendFileStats stats;
    CaptureHandle handle;
    bool opened = false;
    for (int attempt = 0; attempt < timing.openAttempts; ++attempt) {
        if (handle.Open(deviceName, 100)) {
            opened = true;
            break;
        }
        if (attempt + 1 < timing.openAttempts)
            std::this_thread::sleep_for(timing.openRetryDelay);
    }
    if (!opened)
        return false;
    handle.SetFilter(deviceName, "ether src " + macText + " and ether proto 0x6262");
    handle.SetNonBlocking();

    File file(path);
    if (file.get() == nullptr)
        return false;
    std::FILE* f = file.get();
    // Unbuffered: every chunk is read from the file as it is now, so a file
    // that shrinks meanwhile is noticed at once.
    std::setvbuf(f, nullptr, _IONBF, 0);
    if (std::fseek(f, 0, SEEK_END) != 0)
        return false;
    const long long fileLength = ftello(f);
    if (fileLength < 0 || std::fseek(f, 0, SEEK_SET) != 0)
        return false;

    TransmitFrame fr = frameTemplate;
    long long previousPosition = 0;
    std::uint64_t counter = 0;
    std::uint8_t buffer[kSendBufferSize] = {};
    bool result = false;
    const Clock::time_point start = Clock::now();
    for (;;) {
        const long long remaining = fileLength - previousPosition;
        const std::size_t want = remaining < static_cast<long long>(kChunkSize)
                                     ? static_cast<std::size_t>(remaining)
                                     : kChunkSize;
        const std::size_t n = want > 0 ? std::fread(fr.bytes + frame::kData, 1, want, f) : 0;
        if (n == 0 && want > 0)
            break; // the file shrank: nothing more to read before its length
        ++stats.chunks;
        if (previousPosition == 0)
            fr.Set16(frame::kChunkPosition, ChunkFirst);
        previousPosition += static_cast<long long>(n);
        if (previousPosition >= fileLength)
            fr.Set16(frame::kChunkPosition, ChunkLast);
        fr.Set16(frame::kDataLength, static_cast<std::uint16_t>(n));
        ++counter;
        const std::uint16_t sequence = SequenceField(counter);
        fr.Set16(frame::kSequence, sequence);
        std::memcpy(buffer, fr.bytes, kFrameSize);

        if (ExchangeChunk(handle, buffer, category, sequence, timing, stats) == Exchange::Failed)
            break;
        if (progress)
            progress(previousPosition, fileLength);
        fr.Set16(frame::kChunkPosition, ChunkMiddle);
        if (previousPosition >= fileLength) {
            result = true;
            break;
        }
    }
    stats.chunkLoopSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (statsOut != nullptr)
        *statsOut = stats;
    return result;
}

bool SendFile(const TransmitFrame& frameTemplate, std::uint16_t category, const std::string& path,
              const std::string& macText) {
    return SendFileOn(AcTransmitManage::GetInstance()->DeviceName(), frameTemplate, category, path,
                      macText);
}
