#pragma once

// Shared fixture of the device-link tests that put frames on a wire: a fresh
// namespace with a veth pair, the test thread inside it, a recorder (and
// optional answerer) on the device side, and quorvantix-devsim on demand.

#include "link/CaptureHandle.h"
#include "link/TransmitFrame.h"
#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qvtest {

// Everything of EtherType 0x6262 that reaches one interface; optionally
// answers each frame with the frames a function returns.
class Wire {
public:
    using Answer = std::function<std::vector<TransmitFrame>(const TransmitFrame&)>;

    Wire(const std::string& iface, Answer answer = {}, std::size_t keepWhole = 64)
        : answer_(std::move(answer)), keepWhole_(keepWhole) {
        ok_ = handle_.Open(iface, 1, 64 << 20);
        handle_.SetFilter(iface, "ether proto 0x6262");
        if (ok_)
            thread_ = std::thread([this] { Loop(); });
    }
    ~Wire() { Stop(); }
    Wire(const Wire&) = delete;
    Wire& operator=(const Wire&) = delete;

    bool ok() const { return ok_; }
    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    struct Seen {
        std::size_t length;
        std::uint16_t category, opcode, sequence, fileCount, position, dataLength;
        std::uint8_t firstData; // first byte of the data area: tells chunks apart
    };
    std::vector<Seen> seen() const {
        std::lock_guard<std::mutex> g(lock_);
        return seen_;
    }
    // The first keepWhole frames, whole.
    std::vector<TransmitFrame> frames() const {
        std::lock_guard<std::mutex> g(lock_);
        return frames_;
    }
    void Send(const TransmitFrame& f) {
        std::uint8_t buffer[kSendBufferSize] = {};
        std::memcpy(buffer, f.bytes, kFrameSize);
        std::lock_guard<std::mutex> g(sendLock_);
        handle_.Send(buffer, kFrameSize);
    }

private:
    void Loop() {
        while (!stop_) {
            const std::uint8_t* data = nullptr;
            std::size_t length = 0;
            if (handle_.Next(data, length) != 1)
                continue;
            const TransmitFrame f = FrameFromCapture(data, length);
            {
                std::lock_guard<std::mutex> g(lock_);
                seen_.push_back(Seen{length, f.Category(), f.Opcode(), f.Sequence(), f.FileCount(),
                                     f.ChunkPositionField(), f.DataLength(), f.bytes[260]});
                if (frames_.size() < keepWhole_)
                    frames_.push_back(f);
            }
            if (answer_)
                for (const TransmitFrame& a : answer_(f))
                    Send(a);
        }
    }

    CaptureHandle handle_;
    Answer answer_;
    std::size_t keepWhole_;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex lock_;
    std::mutex sendLock_;
    std::vector<Seen> seen_;
    std::vector<TransmitFrame> frames_;
};

// An answer frame from the device that received f.
inline TransmitFrame AnswerTo(const TransmitFrame& f, std::uint16_t category, std::uint16_t opcode,
                              std::uint16_t sequence) {
    TransmitFrame a = ZeroFrame();
    std::memcpy(a.bytes, f.Source(), 6);
    std::memcpy(a.bytes + 6, f.Destination(), 6);
    a.Set16(frame::kEtherTypeOffset, kEtherType);
    a.Set16(frame::kCategory, category);
    a.Set16(frame::kOpcode, opcode);
    a.Set16(frame::kSequence, sequence);
    return a;
}

// Whether a frame sent from the other end of the wire reaches the recorder:
// without it, a recorder that saw nothing proves nothing. The frame is marked
// by an opcode no program uses.
inline constexpr std::uint16_t kMarkOpcode = 0x7e7e;
inline bool RecorderSeesAMarkedFrame(Wire& recorder, const std::string& otherEnd);

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

inline bool RecorderSeesAMarkedFrame(Wire& recorder, const std::string& otherEnd) {
    if (!recorder.ok())
        return false;
    Wire sender(otherEnd);
    if (!sender.ok())
        return false;
    TransmitFrame mark = ZeroFrame();
    std::memset(mark.bytes, 0xff, 6);
    mark.Set16(frame::kEtherTypeOffset, kEtherType);
    mark.Set16(frame::kOpcode, kMarkOpcode);
    const auto marked = [&recorder] {
        for (const Wire::Seen& s : recorder.seen())
            if (s.opcode == kMarkOpcode)
                return true;
        return false;
    };
    for (int attempt = 0; attempt < 3 && !marked(); ++attempt) {
        sender.Send(mark);
        WaitFor(marked, 500);
    }
    return marked();
}

class LinkNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IsRoot())
            GTEST_SKIP() << "needs root (network namespaces)";
        ns_ = std::make_unique<NetNs>();
        ASSERT_TRUE(ns_->ok()) << "cannot make namespace " << ns_->name();
        entered_ = std::make_unique<NetNs::Entered>(*ns_);
        ASSERT_TRUE(entered_->ok());
        ASSERT_TRUE(ParseMacText(Upper(ns_->toolSideMac()), toolMac_));
    }
    void TearDown() override {
        StopDevsim();
        entered_.reset();
        ns_.reset();
    }

    static std::string Upper(std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }

    // Starts quorvantix-devsim on the device side and waits until it listens.
    void StartDevsim(std::vector<std::string> options) {
        const std::string ready = dir_.file("devsim.ready");
        std::vector<std::string> argv{BinDir() + "/quorvantix-devsim", "--interface",
                                      ns_->deviceSide(), "--ready-file", ready};
        argv.insert(argv.end(), options.begin(), options.end());
        devsim_ = ns_->Spawn(argv, dir_.file("devsim.out"));
        ASSERT_GT(devsim_, 0);
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(ready); }, 5000))
            << "devsim did not start";
    }
    // Stops it; returns its summary.
    std::string StopDevsim() {
        if (devsim_ <= 0)
            return {};
        StopProcess(devsim_);
        devsim_ = -1;
        return ReadFileBytes(dir_.file("devsim.out"));
    }

    std::string WriteFile(const std::string& name, const std::string& bytes) {
        dir_.write(name, bytes);
        return dir_.file(name);
    }

    TempProgramDir dir_;
    std::unique_ptr<NetNs> ns_;
    std::unique_ptr<NetNs::Entered> entered_;
    std::uint8_t toolMac_[6] = {};
    pid_t devsim_ = -1;
};

// A file of n bytes whose content depends on the offset and a salt.
inline std::string PatternBytes(std::size_t n, unsigned salt = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + salt * 7 + (i >> 10)) & 0xFF);
    return s;
}

} // namespace qvtest
