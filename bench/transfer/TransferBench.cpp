// Transfer benchmark over one veth pair against quorvantix-devsim: the
// round-trip bound of a bare adapter socket, then the device link's own
// costs: (a) one 300000-byte file, (b) one 6000-byte logo from opening to the
// last acknowledgement, (c) a scale curve of N devices with a logo and a
// configuration each, (d) a 2000-device answer burst to one broadcast,
// (e) one silent device, (f) 1000 devices through the transfer jobs with the
// record store, live progress off and on. Each scenario runs in a child process of its own, so
// its CPU seconds and peak RSS are its own. The figures depend on the load
// of the machine: run it alone for comparable ones.

#include "link/AcTransmitManage.h"
#include "link/AdapterSocket.h"
#include "link/CaptureHandle.h"
#include "link/SendFile.h"
#include "link/TransferRunner.h"
#include "link/TransmitFrame.h"
#include "link/VerdictGate.h"
#include "records/CSqlManagement.h"
#include "tests/support/NetNs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
// The filter of a handle that only keeps the adapter socket open.
constexpr const char* kNobody = "ether src 02:FF:FF:FF:FF:FF and ether proto 0x6262";

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double PeakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

struct Measure {
    Clock::time_point start = Clock::now();
    double cpu = CpuSeconds();
    double Wall() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
    double Cpu() const { return CpuSeconds() - cpu; }
    void Print(const char* name, const std::string& extra = {}) const {
        std::printf("%-36s wall %8.3f s  cpu %7.3f s  peak-rss %7.1f MB %s\n", name, Wall(), Cpu(),
                    PeakRssMb(), extra.c_str());
    }
};

std::string WriteBytes(const std::string& path, std::size_t n, unsigned salt, bool jpeg,
                       bool config) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + salt) & 0xFF);
    if (jpeg && n >= 2) {
        s[0] = static_cast<char>(0xFF);
        s[1] = static_cast<char>(0xD8);
    }
    if (config && n >= 8)
        s.replace(0, 7, "<Value ");
    std::ofstream(path, std::ios::binary) << s;
    return path;
}

struct Devsim {
    pid_t pid = -1;
    std::string out;
    Devsim(const qvtest::NetNs& ns, const std::string& dir, std::vector<std::string> options) {
        const std::string ready = dir + "/ready";
        out = dir + "/devsim.out";
        std::filesystem::remove(ready);
        std::vector<std::string> argv{std::string(QV_BIN_DIR) + "/quorvantix-devsim", "--interface",
                                      ns.deviceSide(), "--ready-file", ready};
        argv.insert(argv.end(), options.begin(), options.end());
        pid = ns.Spawn(argv, out);
        for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Stops it; returns its kernel-drops line.
    std::string Stop() {
        qvtest::StopProcess(pid);
        pid = -1;
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("kernel-drops"))
                return "devsim " + line;
        return {};
    }
    ~Devsim() {
        if (pid > 0)
            qvtest::StopProcess(pid);
    }
};

void DeviceMac(int i, std::uint8_t mac[6]) {
    const std::uint8_t base[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::memcpy(mac, base, 6);
    mac[4] = static_cast<std::uint8_t>(i >> 8);
    mac[5] = static_cast<std::uint8_t>(i & 0xFF);
}

// Runs fn in a child process (its own CPU and RSS figures) and waits for it.
void InChild(const std::function<void()>& fn) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        fn();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
}

// Median round trip of one data frame and its acknowledgement over a bare
// adapter socket (no dispatcher), read on the calling thread.
double RoundTripMicros(const std::string& iface, const std::uint8_t tool[6]) {
    std::uint8_t device[6];
    DeviceMac(0, device);
    std::string reason;
    std::unique_ptr<AdapterSocket> s = AdapterSocket::OpenDirect(iface, reason);
    if (!s)
        return -1;
    TransmitFrame f = BuildDataTemplate(device, tool, Para, 1);
    std::vector<double> samples;
    std::uint8_t buffer[kSendBufferSize] = {};
    for (int i = 1; i <= 3000; ++i) {
        const std::uint16_t seq = SequenceField(static_cast<std::uint64_t>(i));
        f.Set16(frame::kSequence, seq);
        f.Set16(frame::kDataLength, 1024);
        f.Set16(frame::kChunkPosition, ChunkMiddle);
        f.bytes[frame::kData] = static_cast<std::uint8_t>(i);
        std::memcpy(buffer, f.bytes, kFrameSize);
        const auto t0 = Clock::now();
        s->Send(buffer, kFrameSize);
        bool acked = false;
        while (!acked && Clock::now() - t0 < std::chrono::seconds(1))
            s->ReadBatch(
                [&](const std::uint8_t* data, std::size_t length) {
                    const TransmitFrame a = FrameFromCapture(data, length);
                    acked = acked || (a.Opcode() == Reply && a.Sequence() == seq);
                },
                64, 100);
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void ManyDevices(const qvtest::NetNs& ns, const std::string& dir, const std::uint8_t tool[6],
                 int count) {
    Devsim sim(ns, dir, {"--count", std::to_string(count), "--first-mac", "02:00:00:00:00:00"});
    InChild([&] {
        const std::string logo = WriteBytes(dir + "/logo.jpg", 6000, 1, true, false);
        std::vector<TransferJob> jobs;
        for (int i = 0; i < count; ++i) {
            std::uint8_t mac[6];
            DeviceMac(i, mac);
            const std::string config = WriteBytes(dir + "/c" + std::to_string(i) + ".xml", 60000,
                                                  static_cast<unsigned>(i), false, true);
            jobs.push_back(MakeTransferJob(mac, tool, 3, config, logo));
        }
        const std::string device = ns.toolSide();
        // The receive thread runs as in the programs: it reads every frame
        // to the adapter (all acknowledgements and verdicts).
        AcTransmitManage manager(nullptr);
        manager.SetAdapter(device, tool);
        manager.Init();
        CaptureHandle keep;
        keep.Open(device, 1);
        keep.SetFilter(device, kNobody);
        Measure m;
        std::vector<std::thread> threads;
        std::atomic<int> ok{0};
        for (const TransferJob& job : jobs)
            threads.emplace_back([job, device, &ok] {
                // Count both files of the job: a store-less run reports through the stats.
                TransmitFrame t = BuildDataTemplate(job.deviceMac, job.adapterMac, Logo, 2);
                const bool logoOk =
                    SendFileOn(device, t, Logo, job.logoPath, MacTextUpper(job.deviceMac));
                t = BuildDataTemplate(job.deviceMac, job.adapterMac, Para, 2);
                const bool configOk =
                    SendFileOn(device, t, Para, job.configPath, MacTextUpper(job.deviceMac));
                ok += logoOk && configOk;
            });
        for (std::thread& t : threads)
            t.join();
        const double cpu = m.Cpu();
        manager.Stop();
        char name[64], extra[160];
        std::snprintf(name, sizeof name, "(c) %d devices, 6000 + 60000", count);
        const AdapterSocket::Drops drops = keep.Socket()->TakeDrops();
        std::snprintf(extra, sizeof extra, "%d/%d ok; %.2f ms cpu/device; drops %llu+%llu",
                      ok.load(), count, cpu * 1000 / count,
                      static_cast<unsigned long long>(drops.kernel),
                      static_cast<unsigned long long>(drops.queues));
        m.Print(name, extra);
    });
    std::printf("%36s %s\n", "", sim.Stop().c_str());
}
// The programs' own road for a batch: one transfer job per device, statuses
// and counters in the record store, with the bytes acknowledged written while
// the files are sent (at most every 100 ms per device) or only at their ends.
void JobsWithStore(const qvtest::NetNs& ns, const std::string& dir, const std::uint8_t tool[6],
                   int count, bool liveProgress) {
    Devsim sim(ns, dir, {"--count", std::to_string(count), "--first-mac", "02:00:00:00:00:00"});
    InChild([&] {
        const std::string logo = WriteBytes(dir + "/logo.jpg", 6000, 1, true, false);
        const std::string storeDir = dir + "/store/";
        std::filesystem::create_directories(storeDir);
        CSqlManagement store(storeDir);
        std::vector<TransferJob> jobs;
        for (int i = 0; i < count; ++i) {
            std::uint8_t mac[6];
            DeviceMac(i, mac);
            DiscoveredDevice d;
            std::memset(&d, 0, sizeof d);
            std::memcpy(d.macText, MacTextUpper(mac).c_str(), 17);
            std::strcpy(d.time, "2026-01-01 00:00:00");
            store.SaveDiscoveredDevice(d);
            store.SetLogStatus(MacTextUpper(mac), Operating);
            store.SetParaStatus(MacTextUpper(mac), Operating);
            const std::string config = WriteBytes(dir + "/c" + std::to_string(i) + ".xml", 60000,
                                                  static_cast<unsigned>(i), false, true);
            jobs.push_back(MakeTransferJob(mac, tool, 3, config, logo));
        }
        const std::string device = ns.toolSide();
        AcTransmitManage manager(&store);
        manager.SetAdapter(device, tool);
        manager.Init();
        const std::uint64_t writesBefore = store.ProgressWrites();
        Measure m;
        std::vector<std::thread> threads;
        for (const TransferJob& job : jobs)
            threads.emplace_back([&, job] {
                RunTransferJob(
                    job, [&] { return device; }, &store, {}, liveProgress, &manager.Verdicts());
            });
        for (std::thread& t : threads)
            t.join();
        const double wall = m.Wall();
        const double cpu = m.Cpu();
        const std::uint64_t writes = store.ProgressWrites() - writesBefore;
        manager.Stop();
        int ok = 0;
        for (int i = 0; i < count; ++i) {
            std::uint8_t mac[6];
            DeviceMac(i, mac);
            const std::string text = MacTextUpper(mac);
            const auto done = [](int s) { return s == TransmitFinish || s == OperateSuccess; };
            ok += done(store.GetLogStatus(text)) && done(store.GetParaStatus(text));
        }
        char name[64], extra[160];
        std::snprintf(name, sizeof name, "(f) %d jobs, progress %s", count,
                      liveProgress ? "on" : "off");
        std::snprintf(extra, sizeof extra,
                      "%d/%d ok; %.2f ms cpu/device; %llu progress writes, %.0f writes/s", ok,
                      count, cpu * 1000 / count, static_cast<unsigned long long>(writes),
                      static_cast<double>(writes) / wall);
        m.Print(name, extra);
    });
    sim.Stop();
}
} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::signal(SIGPIPE, SIG_IGN); // a closed output must not skip the clean-up
    if (!qvtest::IsRoot()) {
        std::printf("bench_transfer: run as root (it makes a network namespace)\n");
        return 1;
    }
    qvtest::NetNs ns;
    if (!ns.ok()) {
        std::printf("bench_transfer: cannot make a network namespace\n");
        return 1;
    }
    char tmpl[] = "/tmp/qvbench-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    qvtest::NetNs::Entered inside(ns);
    std::uint8_t tool[6];
    std::string macText = ns.toolSideMac();
    std::transform(macText.begin(), macText.end(), macText.begin(), ::toupper);
    ParseMacText(macText, tool);
    std::uint8_t device[6];
    DeviceMac(0, device);

    double rtt = 0;
    {
        Devsim sim(ns, dir, {"--verdict", "none", "--first-mac", "02:00:00:00:00:00"});
        rtt = RoundTripMicros(ns.toolSide(), tool);
        const int chunks = (300000 + 1023) / 1024;
        const double boundMs = rtt * chunks / 1000.0;
        std::printf("bound: bare-socket round trip (median of 3000) %.1f us; 300000 bytes "
                    "(%d chunks) %.2f ms\n",
                    rtt, chunks, boundMs);
        InChild([&] {
            const std::string path = WriteBytes(dir + "/big.xml", 300000, 3, false, true);
            CaptureHandle keep;
            keep.Open(ns.toolSide(), 1);
            keep.SetFilter(ns.toolSide(), kNobody);
            SendFileStats stats;
            Measure m;
            const bool ok = SendFileOn(ns.toolSide(), BuildDataTemplate(device, tool, Para, 1),
                                       Para, path, MacTextUpper(device), {}, &stats);
            char extra[160];
            std::snprintf(extra, sizeof extra, "%s; chunk loop %.2f ms (%.2fx bound)",
                          ok ? "ok" : "FAILED", stats.chunkLoopSeconds * 1000,
                          stats.chunkLoopSeconds * 1000 / boundMs);
            m.Print("(a) one device, 300000 bytes", extra);
        });
        InChild([&] {
            const std::string path = WriteBytes(dir + "/logo6000.jpg", 6000, 5, true, false);
            CaptureHandle keep;
            keep.Open(ns.toolSide(), 1);
            keep.SetFilter(ns.toolSide(), kNobody);
            std::vector<double> samples;
            bool all = true;
            for (int i = 0; i < 200; ++i) {
                const auto t0 = Clock::now();
                all = SendFileOn(ns.toolSide(), BuildDataTemplate(device, tool, Logo, 1), Logo,
                                 path, MacTextUpper(device)) &&
                      all;
                samples.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            }
            std::sort(samples.begin(), samples.end());
            std::printf("(b) one device, 6000-byte logo, whole SendFile: median %.3f ms, "
                        "90th %.3f ms over 200 (%s)\n",
                        samples[100], samples[180], all ? "all ok" : "SOME FAILED");
        });
    }
    for (const int n : {50, 200, 1000, 2000})
        ManyDevices(ns, dir, tool, n);
    {
        Devsim sim(ns, dir, {"--count", "2000", "--first-mac", "02:00:00:00:00:00"});
        InChild([&] {
            CSqlManagement store(dir + "/");
            AcTransmitManage manager(&store);
            manager.SetAdapter(ns.toolSide(), tool);
            manager.Init();
            Measure m;
            manager.ClearDeviceTable();
            store.ClearDevices();
            manager.SendDiscovery();
            const auto until = Clock::now() + std::chrono::seconds(5);
            while (manager.DeviceTableSize() < 2000 && Clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const double wall = m.Wall();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            char extra[160];
            std::snprintf(extra, sizeof extra, "%zu/2000 in the table after %.3f s; drops %llu",
                          manager.DeviceTableSize(), wall,
                          static_cast<unsigned long long>(manager.ReportReceiveDrops()));
            m.Print("(d) 2000-device answer burst", extra);
            manager.Stop();
        });
        std::printf("%36s %s\n", "", sim.Stop().c_str());
    }
    {
        Devsim sim(ns, dir, {"--silent", "1", "--first-mac", "02:00:00:00:00:00"});
        InChild([&] {
            const std::string path = WriteBytes(dir + "/small.xml", 3000, 4, false, true);
            SendFileStats stats;
            Measure m;
            const bool ok = SendFileOn(ns.toolSide(), BuildDataTemplate(device, tool, Para, 1),
                                       Para, path, MacTextUpper(device), {}, &stats);
            char extra[96];
            std::snprintf(extra, sizeof extra, "%s after %llu transmissions",
                          ok ? "UNEXPECTED true" : "false",
                          static_cast<unsigned long long>(stats.transmissions));
            m.Print("(e) one silent device", extra);
        });
    }
    // Alternated, twice each, so a change of the machine's load shows.
    for (int round = 0; round < 2; ++round)
        for (const bool live : {false, true})
            JobsWithStore(ns, dir, tool, 1000, live);
    std::filesystem::remove_all(dir);
    return 0;
}
