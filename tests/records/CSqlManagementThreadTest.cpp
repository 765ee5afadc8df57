#include "records/CSqlManagement.h"

#include "RecordTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using recordtest::Device;
using recordtest::Mac;

namespace {

class StoreThreadTest : public ::testing::Test {
protected:
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink sink;
    CSqlManagement store{dir.path()};
};

} // namespace

// 16 threads x 200 updates: each device has one configuration writer and one
// logo writer; every write is read back at once, and list pages are loaded
// all the while. No update may be lost or land on the other column.
TEST_F(StoreThreadTest, ConcurrentStatusUpdatesLoseNothing) {
    constexpr int kDevices = 8, kThreads = 16, kUpdates = 200;
    for (int d = 0; d < kDevices; ++d)
        ASSERT_TRUE(store.SaveDiscoveredDevice(Device(Mac(d))));

    std::atomic<int> failures{0};
    std::atomic<bool> writing{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string mac = Mac(t % kDevices);
            const bool para = t < kDevices;
            for (int i = 0; i < kUpdates; ++i) {
                const int code = (i + t) % 6;
                const bool set =
                    para ? store.SetParaStatus(mac, code) : store.SetLogStatus(mac, code);
                const int read = para ? store.GetParaStatus(mac) : store.GetLogStatus(mac);
                if (!set || read != code)
                    ++failures;
            }
        });
    }
    std::thread reader([&] {
        while (writing) {
            std::vector<ap_info_stu> records;
            DevicePage page = store.LoadDevicePage(SortByParaStatus, records, 48, 1, true, {});
            if (!page.ok || page.total != kDevices || records.size() != kDevices)
                ++failures;
        }
    });
    for (auto& thread : threads)
        thread.join();
    writing = false;
    reader.join();

    EXPECT_EQ(failures.load(), 0);
    for (int d = 0; d < kDevices; ++d) {
        EXPECT_EQ(store.GetParaStatus(Mac(d)), (kUpdates - 1 + d) % 6);
        EXPECT_EQ(store.GetLogStatus(Mac(d)), (kUpdates - 1 + d + kDevices) % 6);
    }
}

// The manage thread and others may save the same MAC at once: one row each.
TEST_F(StoreThreadTest, ConcurrentSavesKeepOneRowPerMac) {
    constexpr int kThreads = 8, kDevices = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int d = 0; d < kDevices; ++d) {
                store.SaveDiscoveredDevice(Device(Mac(d)));
                store.SetParaStatus(Mac(d), Operating);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::vector<ap_info_stu> records;
    DevicePage page = store.LoadDevicePage(SortByMac, records, 48, 1, true, {});
    EXPECT_TRUE(page.ok);
    EXPECT_EQ(page.total, kDevices);
}

// A transfer thread may still call while the store closes at exit: its calls
// fail cleanly from then on.
TEST_F(StoreThreadTest, CallsDuringCloseFailCleanly) {
    ASSERT_TRUE(store.SaveDiscoveredDevice(Device(Mac(1))));
    std::atomic<bool> closed{false};
    std::atomic<int> successesAfterClose{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                const bool wasClosed = closed;
                const bool ok = store.SetLogStatus(Mac(1), i % 6);
                store.GetLogStatus(Mac(1));
                std::vector<ap_info_stu> records;
                store.LoadDevicePage(SortByDate, records, 48, 1, false, QStringLiteral("AA"));
                if (wasClosed && ok)
                    ++successesAfterClose;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    store.Close();
    closed = true;
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(successesAfterClose.load(), 0);
    EXPECT_FALSE(store.IsOpen());
}
