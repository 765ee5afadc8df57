// quorvantix-devsim: emulated devices on one Ethernet interface. One process
// serves any number of devices through one adapter socket and one event loop:
// it answers discovery requests, acknowledges data frames, keeps every file
// it received and sends a verdict after the last chunk of each file. Faults
// (lost, late, doubled or wrong acknowledgements, silent devices) are chosen
// by option and drawn from a seeded generator, so runs repeat.

#include "base/Settings.h"
#include "link/AdapterSocket.h"
#include "link/TransmitFrame.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <queue>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

struct Options {
    std::string interface;
    int count = 1;
    std::uint8_t firstMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    std::string ssid2 = "Quorvantix-2G-{n}";
    std::string ssid5 = "Quorvantix-5G-{n}";
    std::string key2 = "key2-{n}";
    std::string key5 = "key5-{n}";
    bool singleBand = false;
    std::string outputDir;
    bool verdictFail = false;
    bool noVerdict = false;
    int verdictDelayMs = 0;
    double dropData = 0;
    double dropAck = 0;
    int ackDelayMs = 0;
    bool duplicateAck = false;
    bool staleSeq = false;
    bool ackFfff = false;
    int silent = 0;      // the first N devices never answer data
    long stopAfter = -1; // devices stop answering after k chunks (-1: never)
    unsigned long long seed = 1;
    std::string readyFile;
};

struct Receiver {
    bool inFile = false;
    int chunksInFile = 0;
    bool haveLast = false;
    std::uint8_t lastFrame[kFrameSize] = {};
    std::string content;
    int filesDone = 0;
};

struct Device {
    std::uint8_t mac[6];
    std::string macText;
    bool silent = false;
    long chunks = 0;
    Receiver para, logo;
};

struct Stats {
    unsigned long long discoveryRequests = 0, replies = 0, dataFrames = 0, duplicates = 0, acks = 0,
                       droppedData = 0, droppedAcks = 0, files = 0, verdictSuccess = 0,
                       verdictFail = 0, ignored = 0, kernelDrops = 0;
};

struct Pending {
    Clock::time_point at;
    unsigned long long order;
    TransmitFrame frame;
    bool operator>(const Pending& o) const { return at != o.at ? at > o.at : order > o.order; }
};

void PrintHelp(FILE* out) {
    std::fprintf(
        out,
        "Usage: quorvantix-devsim --interface IFACE [OPTIONS]\n"
        "       quorvantix-devsim --help | --version\n\n"
        "Emulated devices on one Ethernet interface: they answer discovery requests,\n"
        "acknowledge data frames and send a verdict after the last chunk of each file.\n\n"
        "Options:\n"
        "  --interface IFACE     the interface to serve on (required)\n"
        "  --count N             number of devices (default 1)\n"
        "  --first-mac MAC       MAC of the first device; the others follow (02:00:00:00:00:01)\n"
        "  --ssid2/--ssid5/--key2/--key5 TEXT  reported texts; {n} is the device number\n"
        "  --single-band         report no 5 GHz values\n"
        "  --output DIR          keep every received file as DIR/<MAC>-<kind>-<n>: the MAC\n"
        "                        with '-' separators (02-00-00-00-00-01), the kind para or\n"
        "                        logo, n counting that device's files of that kind from 1\n"
        "  --verdict success|fail|none   verdict after the last chunk (default success)\n"
        "  --verdict-delay MS    delay of the verdict\n"
        "  --drop-data P         share of data frames ignored (0..1)\n"
        "  --drop-ack P          share of acknowledgements not sent (0..1)\n"
        "  --ack-delay MS        delay of every acknowledgement\n"
        "  --duplicate-ack       send every acknowledgement twice\n"
        "  --stale-seq           acknowledge with the previous sequence number\n"
        "  --ack-ffff            acknowledge with sequence 0xFFFF\n"
        "  --silent N            the first N devices never answer data\n"
        "  --stop-after K        devices stop answering data after K chunks\n"
        "  --seed S              seed of the fault draws (default 1)\n"
        "  --ready-file PATH     written once the interface is open\n"
        "  -h, --help            show this text and exit\n"
        "  --version             print the version text and exit\n\n"
        "Output: \"serving N devices on IFACE\" once the interface is open; at SIGINT or\n"
        "SIGTERM a summary, one \"name count\" line each (devices, discovery-requests,\n"
        "replies, data-frames, duplicates, acks, dropped-data, dropped-acks, files,\n"
        "verdicts-success, verdicts-fail, ignored).\n\n"
        "Exit codes: 0 stopped by a signal, 1 the interface cannot be opened, 2 usage error.\n");
}

enum class Parsed { Run, Help, Version, Error };

Parsed ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--single-band") {
            o.singleBand = true;
            continue;
        }
        if (a == "--duplicate-ack") {
            o.duplicateAck = true;
            continue;
        }
        if (a == "--stale-seq") {
            o.staleSeq = true;
            continue;
        }
        if (a == "--ack-ffff") {
            o.ackFfff = true;
            continue;
        }
        if (a == "--help" || a == "-h")
            return Parsed::Help;
        if (a == "--version")
            return Parsed::Version;
        if ((v = value()) == nullptr) {
            std::fprintf(stderr, "%s needs a value\n", a.c_str());
            return Parsed::Error;
        }
        if (a == "--interface")
            o.interface = v;
        else if (a == "--count")
            o.count = std::atoi(v);
        else if (a == "--first-mac") {
            std::string t = v;
            std::transform(t.begin(), t.end(), t.begin(), ::toupper);
            if (!ParseMacText(t, o.firstMac)) {
                std::fprintf(stderr, "bad MAC: %s\n", v);
                return Parsed::Error;
            }
        } else if (a == "--ssid2")
            o.ssid2 = v;
        else if (a == "--ssid5")
            o.ssid5 = v;
        else if (a == "--key2")
            o.key2 = v;
        else if (a == "--key5")
            o.key5 = v;
        else if (a == "--output")
            o.outputDir = v;
        else if (a == "--verdict") {
            const std::string t = v;
            o.verdictFail = t == "fail";
            o.noVerdict = t == "none";
            if (t != "fail" && t != "none" && t != "success") {
                std::fprintf(stderr, "bad verdict: %s\n", v);
                return Parsed::Error;
            }
        } else if (a == "--verdict-delay")
            o.verdictDelayMs = std::atoi(v);
        else if (a == "--drop-data")
            o.dropData = std::atof(v);
        else if (a == "--drop-ack")
            o.dropAck = std::atof(v);
        else if (a == "--ack-delay")
            o.ackDelayMs = std::atoi(v);
        else if (a == "--silent")
            o.silent = std::atoi(v);
        else if (a == "--stop-after")
            o.stopAfter = std::atol(v);
        else if (a == "--seed")
            o.seed = std::strtoull(v, nullptr, 10);
        else if (a == "--ready-file")
            o.readyFile = v;
        else {
            std::fprintf(stderr, "unknown option: %s\n", a.c_str());
            return Parsed::Error;
        }
    }
    if (o.interface.empty() || o.count < 1) {
        std::fprintf(stderr, "--interface is required and --count must be at least 1\n");
        return Parsed::Error;
    }
    return Parsed::Run;
}

std::string Expand(const std::string& pattern, int n) {
    std::string out = pattern;
    const std::string number = std::to_string(n);
    for (std::size_t p; (p = out.find("{n}")) != std::string::npos;)
        out.replace(p, 3, number);
    return out;
}

void PutText(TransmitFrame& f, std::size_t offset, std::size_t width, const std::string& text) {
    std::memcpy(f.bytes + offset, text.data(), std::min(text.size(), width - 1));
}

class Simulator {
public:
    explicit Simulator(const Options& o) : o_(o), random_(o.seed) {
        std::uint64_t base = 0;
        for (int i = 0; i < 6; ++i)
            base = (base << 8) | o.firstMac[i];
        for (int i = 0; i < o.count; ++i) {
            Device d;
            const std::uint64_t m = base + static_cast<std::uint64_t>(i);
            for (int b = 0; b < 6; ++b)
                d.mac[b] = static_cast<std::uint8_t>(m >> (8 * (5 - b)));
            d.macText = MacTextUpper(d.mac);
            d.silent = i < o.silent;
            index_[Key(d.mac)] = devices_.size();
            devices_.push_back(d);
        }
    }

    int Run() {
        // The socket's ring holds a burst from thousands of transfers at once.
        std::string reason;
        socket_ = AdapterSocket::OpenDirect(o_.interface, reason);
        if (!socket_) {
            std::fprintf(stderr, "%s\n", reason.c_str());
            return 1;
        }
        if (!o_.outputDir.empty())
            std::filesystem::create_directories(o_.outputDir);
        std::printf("serving %zu devices on %s\n", devices_.size(), o_.interface.c_str());
        std::fflush(stdout);
        if (!o_.readyFile.empty())
            std::ofstream(o_.readyFile) << "ready\n";
        const auto onFrame = [this](const std::uint8_t* data, std::size_t length) {
            OnFrame(FrameFromCapture(data, length));
        };
        while (!g_stop) {
            FlushDue();
            int timeoutMs = 100;
            if (!pending_.empty()) {
                const auto until = pending_.top().at - Clock::now();
                timeoutMs = static_cast<int>(std::clamp<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(until).count() + 1, 0,
                    100));
            }
            if (socket_->ReadBatch(onFrame, 1024, timeoutMs) < 0) {
                // A failing read (an adapter gone) fails again at once: wait
                // a little instead of spinning a core.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        const AdapterSocket::Drops drops = socket_->TakeDrops();
        stats_.kernelDrops = drops.kernel;
        PrintSummary();
        return 0;
    }

private:
    static std::uint64_t Key(const std::uint8_t* mac) {
        std::uint64_t k = 0;
        for (int i = 0; i < 6; ++i)
            k = (k << 8) | mac[i];
        return k;
    }

    bool Draw(double share) {
        if (share <= 0)
            return false;
        return std::uniform_real_distribution<double>(0, 1)(random_) < share;
    }

    void SendNow(const TransmitFrame& f) {
        std::uint8_t buffer[kSendBufferSize] = {};
        std::memcpy(buffer, f.bytes, kFrameSize);
        socket_->Send(buffer, kFrameSize);
    }

    void SendAfter(const TransmitFrame& f, int delayMs) {
        if (delayMs <= 0) {
            SendNow(f);
            return;
        }
        pending_.push(Pending{Clock::now() + std::chrono::milliseconds(delayMs), order_++, f});
    }

    void FlushDue() {
        const auto now = Clock::now();
        while (!pending_.empty() && pending_.top().at <= now) {
            SendNow(pending_.top().frame);
            pending_.pop();
        }
    }

    TransmitFrame Answer(const Device& d, const TransmitFrame& to, std::uint16_t category,
                         std::uint16_t opcode) const {
        TransmitFrame f = ZeroFrame();
        std::memcpy(f.bytes, to.Source(), 6);
        std::memcpy(f.bytes + 6, d.mac, 6);
        f.Set16(frame::kEtherTypeOffset, kEtherType);
        f.Set16(frame::kCategory, category);
        f.Set16(frame::kOpcode, opcode);
        return f;
    }

    void OnFrame(const TransmitFrame& f) {
        const std::uint16_t category = f.Category();
        const std::uint16_t opcode = f.Opcode();
        if (category == Discover && opcode == DiscoverRequest) {
            ++stats_.discoveryRequests;
            for (std::size_t i = 0; i < devices_.size(); ++i)
                SendDiscoveryReply(devices_[i], f, static_cast<int>(i) + 1);
            return;
        }
        const auto it = index_.find(Key(f.Destination()));
        if (it == index_.end() || !((category == Para && opcode == ParaData) ||
                                    (category == Logo && opcode == LogoData))) {
            ++stats_.ignored;
            return;
        }
        OnData(devices_[it->second], f);
    }

    void SendDiscoveryReply(const Device& d, const TransmitFrame& request, int n) {
        TransmitFrame f = Answer(d, request, Discover, Reply);
        PutText(f, frame::kSsid2, frame::kSsid2Size, Expand(o_.ssid2, n));
        PutText(f, frame::kWpaKey2, frame::kWpaKey2Size, Expand(o_.key2, n));
        if (!o_.singleBand) {
            PutText(f, frame::kSsid5, frame::kSsid5Size, Expand(o_.ssid5, n));
            PutText(f, frame::kWpaKey5, frame::kWpaKey5Size, Expand(o_.key5, n));
        }
        SendNow(f);
        ++stats_.replies;
    }

    void OnData(Device& d, const TransmitFrame& f) {
        ++stats_.dataFrames;
        if (d.silent || (o_.stopAfter >= 0 && d.chunks >= o_.stopAfter)) {
            ++stats_.ignored;
            return;
        }
        if (Draw(o_.dropData)) {
            ++stats_.droppedData;
            return;
        }
        const std::uint16_t category = f.Category();
        Receiver& r = category == Para ? d.para : d.logo;
        const bool duplicate = r.haveLast && std::memcmp(r.lastFrame, f.bytes, kFrameSize) == 0;
        if (duplicate) {
            ++stats_.duplicates;
        } else {
            ++d.chunks;
            const std::uint16_t position = f.ChunkPositionField();
            if (position == ChunkFirst || !r.inFile) {
                r.content.clear();
                r.inFile = true;
                r.chunksInFile = 0;
            }
            ++r.chunksInFile;
            const std::size_t n = std::min<std::size_t>(f.DataLength(), kChunkSize);
            r.content.append(reinterpret_cast<const char*>(f.bytes + frame::kData), n);
            std::memcpy(r.lastFrame, f.bytes, kFrameSize);
            r.haveLast = true;
        }
        Acknowledge(d, f);
        if (!duplicate && f.ChunkPositionField() == ChunkLast) {
            r.inFile = false;
            // The same one-chunk file sent again is frame for frame its last
            // frame: forget that frame, or the new file would be taken for a
            // retransmission and never answered. The last chunk of a longer
            // file carries a later sequence number than any first chunk, so
            // it stays known and a retransmission of it is still recognised.
            if (r.chunksInFile == 1)
                r.haveLast = false;
            FileDone(d, category, r, f);
        }
    }

    void Acknowledge(const Device& d, const TransmitFrame& f) {
        if (Draw(o_.dropAck)) {
            ++stats_.droppedAcks;
            return;
        }
        TransmitFrame ack = Answer(d, f, f.Category(), Reply);
        std::uint16_t seq = f.Sequence();
        if (o_.staleSeq)
            seq = static_cast<std::uint16_t>(seq - 1);
        if (o_.ackFfff)
            seq = 0xFFFF;
        ack.Set16(frame::kSequence, seq);
        SendAfter(ack, o_.ackDelayMs);
        ++stats_.acks;
        if (o_.duplicateAck) {
            SendAfter(ack, o_.ackDelayMs);
            ++stats_.acks;
        }
    }

    void FileDone(const Device& d, std::uint16_t category, Receiver& r, const TransmitFrame& f) {
        ++stats_.files;
        ++r.filesDone;
        const bool logo = category == Logo;
        if (!o_.outputDir.empty()) {
            std::string mac = d.macText;
            std::replace(mac.begin(), mac.end(), ':', '-');
            const std::string path = o_.outputDir + "/" + mac + (logo ? "-logo-" : "-para-") +
                                     std::to_string(r.filesDone);
            std::ofstream(path, std::ios::binary) << r.content;
        }
        if (o_.noVerdict)
            return;
        bool success = !o_.verdictFail;
        if (logo && (r.content.size() < 2 || static_cast<unsigned char>(r.content[0]) != 0xFF ||
                     static_cast<unsigned char>(r.content[1]) != 0xD8))
            success = false;
        if (!logo && r.content.find("<Value") == std::string::npos)
            success = false;
        const std::uint16_t opcode =
            logo ? (success ? LogoSuccess : LogoFail) : (success ? ParaSuccess : ParaFail);
        SendAfter(Answer(d, f, category, opcode), o_.verdictDelayMs);
        ++(success ? stats_.verdictSuccess : stats_.verdictFail);
    }

    void PrintSummary() const {
        std::printf("devices %zu\ndiscovery-requests %llu\nreplies %llu\ndata-frames %llu\n"
                    "duplicates %llu\nacks %llu\ndropped-data %llu\ndropped-acks %llu\n"
                    "files %llu\nverdicts-success %llu\nverdicts-fail %llu\nignored %llu\n"
                    "kernel-drops %llu\n",
                    devices_.size(), stats_.discoveryRequests, stats_.replies, stats_.dataFrames,
                    stats_.duplicates, stats_.acks, stats_.droppedData, stats_.droppedAcks,
                    stats_.files, stats_.verdictSuccess, stats_.verdictFail, stats_.ignored,
                    stats_.kernelDrops);
        std::fflush(stdout);
    }

    Options o_;
    std::mt19937_64 random_;
    std::unique_ptr<AdapterSocket> socket_;
    std::vector<Device> devices_;
    std::unordered_map<std::uint64_t, std::size_t> index_;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending_;
    unsigned long long order_ = 0;
    Stats stats_;
};
} // namespace

int main(int argc, char** argv) {
    Options options;
    switch (ParseArgs(argc, argv, options)) {
    case Parsed::Help:
        PrintHelp(stdout);
        return 0;
    case Parsed::Version:
        std::printf("%s\n", BuildVersionText().c_str());
        return 0;
    case Parsed::Error:
        std::fprintf(stderr, "Try 'quorvantix-devsim --help' for more information.\n");
        return 2;
    case Parsed::Run:
        break;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    Simulator sim(options);
    return sim.Run();
}
