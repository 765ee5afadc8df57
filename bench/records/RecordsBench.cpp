// Prints the record store's figures with 1000 discovered devices:
//   - median time of one 48-row LoadDevicePage per sort key and direction
//     (pages 1..21 in turn), unfiltered and with a filter;
//   - median time of SetParaStatus and GetParaStatus;
//   - 200 threads updating statuses at once: updates per second.
// Targets: page load <= 2 ms, status write or read <= 50 us median.

#include "records/CSqlManagement.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDevices = 1000;

std::string Mac(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "AA:BB:CC:%02X:%02X:%02X", (n >> 16) & 0xFF, (n >> 8) & 0xFF,
                  n & 0xFF);
    return text;
}

DiscoveredDevice Device(int n) {
    DiscoveredDevice d;
    std::memset(&d, 0, sizeof d);
    std::snprintf(d.macText, sizeof d.macText, "%s", Mac(n).c_str());
    std::snprintf(d.time, sizeof d.time, "2026-12-10 %02d:%02d:%02d", n / 3600 % 24, n / 60 % 60,
                  n % 60);
    std::snprintf(reinterpret_cast<char*>(d.info), 34, "ssid24-%d", n);
    std::snprintf(reinterpret_cast<char*>(d.info + 34), 34, "ssid5-%d", n);
    std::snprintf(reinterpret_cast<char*>(d.info + 68), 66, "key24-%08d-abcdefgh", n);
    std::snprintf(reinterpret_cast<char*>(d.info + 134), 66, "key5-%08d-abcdefgh", n);
    return d;
}

template <typename F> double MedianMicros(int runs, F&& run) {
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run(i);
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

} // namespace

int main() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvbench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern + "/";
    int status = 0;
    {
        CSqlManagement store(dir);
        if (!store.IsOpen()) {
            std::fprintf(stderr, "store did not open\n");
            return 1;
        }
        std::mt19937 random(42);
        for (int n = 0; n < kDevices; ++n) {
            store.SaveDiscoveredDevice(Device(n));
            store.SetParaStatus(Mac(n), static_cast<int>(random() % 6));
            store.SetLogStatus(Mac(n), static_cast<int>(random() % 6));
        }

        std::printf("record store, %d devices\n", kDevices);
        const char* keyNames[] = {"mac", "log status", "para status", "date"};
        const int pages = (kDevices + 47) / 48;
        for (const char* filter : {"", "CC:00"}) {
            for (int key = SortByMac; key <= SortByDate; ++key) {
                for (bool ascending : {true, false}) {
                    bool ok = true;
                    const double us = MedianMicros(301, [&](int i) {
                        std::vector<ap_info_stu> records;
                        DevicePage page = store.LoadDevicePage(
                            key, records, 48, 1 + i % pages, ascending, QString::fromUtf8(filter));
                        ok = ok && page.ok;
                    });
                    std::printf("  LoadDevicePage 48 rows by %-11s %-4s %-10s median %8.1f us%s\n",
                                keyNames[key], ascending ? "asc" : "desc",
                                *filter ? "filtered" : "", us, ok ? "" : "  (FAILED)");
                    status |= ok ? 0 : 1;
                }
            }
        }

        std::uniform_int_distribution<int> pick(0, kDevices - 1);
        const double setUs =
            MedianMicros(5001, [&](int i) { store.SetParaStatus(Mac(pick(random)), i % 6); });
        const double getUs =
            MedianMicros(5001, [&](int) { store.GetParaStatus(Mac(pick(random))); });
        std::printf("  SetParaStatus median %8.1f us\n", setUs);
        std::printf("  GetParaStatus median %8.1f us\n", getUs);

        constexpr int kThreads = 200, kUpdates = 100;
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::atomic<int> failed{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                const std::string mac = Mac(t * 5 % kDevices);
                ++ready;
                while (!go)
                    std::this_thread::yield();
                for (int i = 0; i < kUpdates; ++i) {
                    const bool ok =
                        (i & 1) ? store.SetLogStatus(mac, i % 6) : store.SetParaStatus(mac, i % 6);
                    if (!ok)
                        ++failed;
                }
            });
        }
        while (ready < kThreads)
            std::this_thread::yield();
        const auto start = Clock::now();
        go = true;
        for (auto& thread : threads)
            thread.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("  %d threads x %d status updates at once: %.0f updates/s (%.1f ms, %d "
                    "failed)\n",
                    kThreads, kUpdates, kThreads * kUpdates / seconds, seconds * 1000,
                    failed.load());
        status |= failed ? 1 : 0;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return status;
}
