// Transfer benchmark: the round-trip bound of the capture wrapper, one
// 300000-byte file, 50 and 200 devices with a logo and a configuration each,
// and one silent device, all over one veth pair against quorvantix-devsim;
// then 1000 devices with the store's live progress off and on, and the
// store's progress writes per second. Prints wall time, CPU seconds of this
// process, and peak RSS.

#include "link/CaptureHandle.h"
#include "link/SendFile.h"
#include "link/TransferRunner.h"
#include "link/TransmitFrame.h"
#include "records/CSqlManagement.h"
#include "tests/support/NetNs.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

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
    void Print(const char* name, const char* extra = "") const {
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("%-34s wall %8.3f s  cpu %7.3f s  peak-rss %7.1f MB %s\n", name, wall,
                    CpuSeconds() - cpu, PeakRssMb(), extra);
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
    Devsim(const qvtest::NetNs& ns, const std::string& dir, std::vector<std::string> options) {
        const std::string ready = dir + "/ready";
        std::filesystem::remove(ready);
        std::vector<std::string> argv{std::string(QV_BIN_DIR) + "/quorvantix-devsim", "--interface",
                                      ns.deviceSide(), "--ready-file", ready};
        argv.insert(argv.end(), options.begin(), options.end());
        pid = ns.Spawn(argv, dir + "/devsim.out");
        for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Devsim() { qvtest::StopProcess(pid); }
};

void DeviceMac(int i, std::uint8_t mac[6]) {
    const std::uint8_t base[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::memcpy(mac, base, 6);
    mac[4] = static_cast<std::uint8_t>(i >> 8);
    mac[5] = static_cast<std::uint8_t>(i & 0xFF);
}

// Median round trip of one data frame and its acknowledgement.
double RoundTripMicros(const std::string& iface, const std::uint8_t tool[6]) {
    std::uint8_t device[6];
    DeviceMac(0, device);
    CaptureHandle h;
    if (!h.Open(iface, 100))
        return -1;
    h.SetFilter(iface, "ether src " + MacTextUpper(device) + " and ether proto 0x6262");
    h.SetNonBlocking();
    TransmitFrame f = BuildDataTemplate(device, tool, Para, 1);
    std::vector<double> samples;
    std::uint8_t buffer[kSendBufferSize] = {};
    for (int i = 1; i <= 3000; ++i) {
        f.Set16(frame::kSequence, SequenceField(static_cast<std::uint64_t>(i)));
        f.Set16(frame::kDataLength, 1024);
        f.Set16(frame::kChunkPosition, ChunkMiddle);
        f.bytes[frame::kData] = static_cast<std::uint8_t>(i);
        std::memcpy(buffer, f.bytes, kFrameSize);
        const auto t0 = Clock::now();
        h.Send(buffer, kFrameSize);
        for (;;) {
            const std::uint8_t* data = nullptr;
            std::size_t length = 0;
            if (h.Next(data, length) == 1)
                break;
            h.WaitReadable(100000000);
            if (Clock::now() - t0 > std::chrono::seconds(1))
                break;
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Runs one job per device at once. With a store, every device has a row
// marked Operating, and liveProgress says whether the transfers publish
// their bytes into it while they run.
void ManyDevices(const qvtest::NetNs& ns, const std::string& dir, const std::uint8_t tool[6],
                 int count, const char* name, std::size_t configBytes = 60000,
                 CSqlManagement* store = nullptr, bool liveProgress = false) {
    Devsim sim(ns, dir, {"--count", std::to_string(count), "--first-mac", "02:00:00:00:00:00"});
    const std::string logo = WriteBytes(dir + "/logo.jpg", 6000, 1, true, false);
    std::vector<TransferJob> jobs;
    for (int i = 0; i < count; ++i) {
        std::uint8_t mac[6];
        DeviceMac(i, mac);
        const std::string config = WriteBytes(dir + "/c" + std::to_string(i) + ".xml", configBytes,
                                              static_cast<unsigned>(i), false, true);
        jobs.push_back(MakeTransferJob(mac, tool, 3, config, logo));
        if (store != nullptr) {
            DiscoveredDevice d{};
            std::memcpy(d.macText, MacTextUpper(mac).c_str(), 17);
            std::strcpy(d.time, "2026-01-01 00:00:00");
            store->SaveDiscoveredDevice(d);
            store->SetLogStatus(MacTextUpper(mac), Operating);
            store->SetParaStatus(MacTextUpper(mac), Operating);
        }
    }
    const std::string device = ns.toolSide();
    const std::uint64_t writesBefore = store != nullptr ? store->ProgressWrites() : 0;
    Measure m;
    std::vector<std::thread> threads;
    for (const TransferJob& job : jobs)
        threads.emplace_back([job, device, store, liveProgress] {
            RunTransferJob(
                job, [device] { return device; }, store, {}, liveProgress);
        });
    for (std::thread& t : threads)
        t.join();
    char extra[96] = "";
    if (store != nullptr) {
        const double wall = std::chrono::duration<double>(Clock::now() - m.start).count();
        const std::uint64_t writes = store->ProgressWrites() - writesBefore;
        std::snprintf(extra, sizeof extra, "progress writes %llu (%.0f/s)",
                      static_cast<unsigned long long>(writes), writes / wall);
    }
    m.Print(name, extra);
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

    double boundMs = 0;
    {
        Devsim sim(ns, dir, {"--verdict", "none", "--first-mac", "02:00:00:00:00:00"});
        const double rtt = RoundTripMicros(ns.toolSide(), tool);
        const int chunks = (300000 + 1023) / 1024;
        boundMs = rtt * chunks / 1000.0;
        std::printf("round trip (median of 3000)        %8.1f us; bound for 300000 bytes (%d "
                    "chunks) %.2f ms\n",
                    rtt, chunks, boundMs);

        std::uint8_t device[6];
        DeviceMac(0, device);
        const std::string path = WriteBytes(dir + "/big.xml", 300000, 3, false, true);
        SendFileStats stats;
        Measure m;
        const bool ok = SendFileOn(ns.toolSide(), BuildDataTemplate(device, tool, Para, 1), Para,
                                   path, MacTextUpper(device), {}, &stats);
        char extra[160];
        std::snprintf(extra, sizeof extra, "%s; chunk loop %.2f ms (%.2fx bound)",
                      ok ? "ok" : "FAILED", stats.chunkLoopSeconds * 1000,
                      stats.chunkLoopSeconds * 1000 / boundMs);
        m.Print("(a) one device, 300000 bytes", extra);
    }
    ManyDevices(ns, dir, tool, 50, "(b) 50 devices, 6000 + 60000");
    ManyDevices(ns, dir, tool, 200, "(c) 200 devices, 6000 + 60000");
    {
        // The store's progress costs next to nothing beside the transfers.
        CSqlManagement store(dir + "/");
        ManyDevices(ns, dir, tool, 1000, "(e) 1000 devices, progress off", 30000, &store, false);
        ManyDevices(ns, dir, tool, 1000, "(e) 1000 devices, progress on", 30000, &store, true);
    }
    {
        Devsim sim(ns, dir, {"--silent", "1", "--first-mac", "02:00:00:00:00:00"});
        std::uint8_t device[6];
        DeviceMac(0, device);
        const std::string path = WriteBytes(dir + "/small.xml", 3000, 4, false, true);
        SendFileStats stats;
        Measure m;
        const bool ok = SendFileOn(ns.toolSide(), BuildDataTemplate(device, tool, Para, 1), Para,
                                   path, MacTextUpper(device), {}, &stats);
        char extra[96];
        std::snprintf(extra, sizeof extra, "%s after %llu transmissions",
                      ok ? "UNEXPECTED true" : "false", (unsigned long long)stats.transmissions);
        m.Print("(d) one silent device", extra);
    }
    if (std::system("command -v atftp >/dev/null 2>&1 && command -v in.tftpd >/dev/null 2>&1") == 0)
        std::printf("TFTP comparison: not run by this benchmark build\n");
    else
        std::printf("TFTP comparison: atftp/tftpd-hpa not installed, skipped\n");
    std::filesystem::remove_all(dir);
    return 0;
}
