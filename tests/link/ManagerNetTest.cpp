// The transmit manager on a veth pair: searches against quorvantix-devsim,
// result frames, restarts.

#include "link/AcTransmitManage.h"
#include "link/AdapterSocket.h"
#include "records/CSqlManagement.h"
#include "tests/link/LinkNetFixture.h"

#include <algorithm>
#include <ctime>

namespace qvtest {
namespace {

class ManagerNetTest : public LinkNetTest {
protected:
    void SetUp() override {
        LinkNetTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        store_ = std::make_unique<CSqlManagement>(dir_.path());
        ASSERT_TRUE(store_->IsOpen());
        manager_ = std::make_unique<AcTransmitManage>(store_.get());
        manager_->SetAdapter(ns_->toolSide(), toolMac_);
    }
    void TearDown() override {
        manager_.reset(); // threads stop before the store goes
        store_.reset();
        LinkNetTest::TearDown();
    }

    int StoredDevices() {
        std::vector<ap_info_stu> rows;
        const DevicePage page = store_->LoadDevicePage(SortByMac, rows, 1000, 1, true, QString());
        return page.ok ? page.total : -1;
    }
    void Search(int broadcasts) {
        manager_->ClearDeviceTable();
        store_->ClearDevices();
        for (int i = 0; i < broadcasts; ++i) {
            manager_->SendDiscovery();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    std::unique_ptr<CSqlManagement> store_;
    std::unique_ptr<AcTransmitManage> manager_;
};

TEST_F(ManagerNetTest, SearchStoresEachDeviceOnceAndANewSearchAgain) {
    StartDevsim({"--count", "20", "--first-mac", "02:00:00:00:01:00"});
    ASSERT_TRUE(manager_->Init());
    Search(1);
    ASSERT_TRUE(WaitFor([&] { return StoredDevices() == 20; }, 3000))
        << StoredDevices() << " stored, table " << manager_->DeviceTableSize() << "\n"
        << StopDevsim();
    ap_info_stu row;
    ASSERT_TRUE(store_->GetDeviceByMac("02:00:00:00:01:00", row));
    EXPECT_EQ(std::string(row.ap_ssid2).substr(0, 15), "Quorvantix-2G-1");
    EXPECT_EQ(row.ap_para_status, WaitOperate);

    // Every later answer of the same search is one the table already holds:
    // saving it again would reset the device's row and its statuses.
    ASSERT_TRUE(store_->SetParaStatus("02:00:00:00:01:00", Operating));
    ASSERT_TRUE(store_->SetLogStatus("02:00:00:00:01:13", OperateSuccess));
    for (int i = 0; i < 9; ++i) {
        manager_->SendDiscovery();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(manager_->DeviceTableSize(), 20u);
    EXPECT_EQ(StoredDevices(), 20);
    EXPECT_EQ(store_->GetParaStatus("02:00:00:00:01:00"), Operating);
    EXPECT_EQ(store_->GetLogStatus("02:00:00:00:01:13"), OperateSuccess);

    // A new search start: the table and the store are empty, then filled again.
    Search(1);
    EXPECT_TRUE(WaitFor([&] { return StoredDevices() == 20; }, 3000)) << StoredDevices();
    EXPECT_EQ(manager_->DeviceTableSize(), 20u);
    const std::string summary = StopDevsim();
    EXPECT_NE(summary.find("discovery-requests 11"), std::string::npos) << summary;
}

// Searching again without clearing: every round names who answered it, and
// a known device keeps its record (a device in transfer stays Operating).
TEST_F(ManagerNetTest, EachRoundNamesItsAnswersWithoutResettingKnownDevices) {
    StartDevsim({"--count", "3", "--first-mac", "02:00:00:00:02:01"});
    ASSERT_TRUE(manager_->Init());
    Search(1);
    ASSERT_TRUE(WaitFor([&] { return StoredDevices() == 3; }, 3000)) << StopDevsim();
    std::vector<std::string> heard;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (std::string& mac : manager_->TakeAnsweredMacs())
                heard.push_back(std::move(mac));
            return heard.size() >= 3;
        },
        3000));
    std::sort(heard.begin(), heard.end());
    EXPECT_EQ(heard, (std::vector<std::string>{"02:00:00:00:02:01", "02:00:00:00:02:02",
                                               "02:00:00:00:02:03"}));
    EXPECT_TRUE(manager_->TakeAnsweredMacs().empty()) << "taken once";

    ASSERT_TRUE(store_->SetParaStatus("02:00:00:00:02:02", Operating));
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        manager_->SendDiscovery();
        std::vector<std::string> again;
        ASSERT_TRUE(WaitFor(
            [&] {
                for (std::string& mac : manager_->TakeAnsweredMacs())
                    again.push_back(std::move(mac));
                return again.size() >= 3;
            },
            3000));
        EXPECT_EQ(again.size(), 3u);
        EXPECT_EQ(store_->GetParaStatus("02:00:00:00:02:02"), Operating);
        EXPECT_EQ(manager_->DeviceTableSize(), 3u);
    }
}

TEST_F(ManagerNetTest, ResultFramesSetStatusesAndWriteLogLines) {
    const std::uint8_t device[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x07};
    const std::string mac = MacTextUpper(device);
    DiscoveredDevice d;
    std::memset(&d, 0, sizeof d);
    std::memcpy(d.macText, mac.c_str(), 17);
    std::strcpy(d.time, "2026-01-01 00:00:00");
    ASSERT_TRUE(store_->SaveDiscoveredDevice(d));
    ASSERT_TRUE(manager_->Init());
    Wire wire(ns_->deviceSide());
    ASSERT_TRUE(wire.ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const auto result = [&](std::uint16_t category, std::uint16_t opcode) {
        TransmitFrame f = ZeroFrame();
        std::memcpy(f.bytes, toolMac_, 6);
        std::memcpy(f.bytes + 6, device, 6);
        f.Set16(frame::kEtherTypeOffset, kEtherType);
        f.Set16(frame::kCategory, category);
        f.Set16(frame::kOpcode, opcode);
        wire.Send(f);
    };
    // Mismatched pairs and acknowledgements change nothing.
    result(Logo, ParaSuccess);
    result(Para, LogoFail);
    result(Para, Reply);
    result(Discover, ParaSuccess);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(store_->GetParaStatus(mac), WaitOperate);
    EXPECT_EQ(store_->GetLogStatus(mac), WaitOperate);

    // Without a transfer to that device a verdict is logged but changes nothing.
    result(Para, ParaSuccess);
    result(Logo, LogoSuccess);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(store_->GetParaStatus(mac), WaitOperate);
    EXPECT_EQ(store_->GetLogStatus(mac), WaitOperate);

    // Both files delivered: the verdicts count.
    for (const std::uint16_t category : {Para, Logo}) {
        manager_->Verdicts().Begin(AdapterSocket::MacKey(device), category);
        manager_->Verdicts().End(AdapterSocket::MacKey(device), category, true, {}, {});
    }
    result(Para, ParaSuccess);
    EXPECT_TRUE(WaitFor([&] { return store_->GetParaStatus(mac) == OperateSuccess; }, 2000));
    result(Logo, LogoFail);
    EXPECT_TRUE(WaitFor([&] { return store_->GetLogStatus(mac) == OperateFail; }, 2000));
    result(Para, ParaFail);
    EXPECT_TRUE(WaitFor([&] { return store_->GetParaStatus(mac) == OperateFail; }, 2000));
    result(Logo, LogoSuccess);
    EXPECT_TRUE(WaitFor([&] { return store_->GetLogStatus(mac) == OperateSuccess; }, 2000));

    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &t);
    const std::string success =
        ReadFileBytes(dir_.file(std::string("Log/") + day + "/Success.txt"));
    const std::string fail = ReadFileBytes(dir_.file(std::string("Log/") + day + "/Fail.txt"));
    EXPECT_NE(success.find(mac + "\tPARA_DATA"), std::string::npos) << success;
    EXPECT_NE(success.find(mac + "\tLOG_DATA"), std::string::npos) << success;
    EXPECT_NE(fail.find(mac + "\tPARA_DATA"), std::string::npos) << fail;
    EXPECT_NE(fail.find(mac + "\tLOG_DATA"), std::string::npos) << fail;
}

TEST_F(ManagerNetTest, InitTwiceLeavesOneThreadOfEach) {
    StartDevsim({"--count", "3"});
    ASSERT_TRUE(manager_->Init());
    ASSERT_TRUE(manager_->Init());
    ASSERT_TRUE(WaitFor(
        [&] {
            return manager_->RunningReceiveThreads() == 1 && manager_->RunningManageThreads() == 1;
        },
        1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(manager_->RunningReceiveThreads(), 1);
    EXPECT_EQ(manager_->RunningManageThreads(), 1);
    // And the restarted threads still work.
    Search(2);
    EXPECT_TRUE(WaitFor([&] { return StoredDevices() == 3; }, 3000)) << StoredDevices();
    manager_->Stop();
    EXPECT_EQ(manager_->RunningReceiveThreads(), 0);
    EXPECT_EQ(manager_->RunningManageThreads(), 0);
}

TEST_F(ManagerNetTest, NoAdapterMatchedSendsNothingAndTheReceiveThreadEnds) {
    const std::uint8_t none[6] = {};
    manager_->SetAdapter("", none);
    Wire wire(ns_->deviceSide());
    ASSERT_TRUE(wire.ok()) << "the recorder must listen for its silence to count";
    // No silent failure: Init says the receive thread does not listen, and why.
    EXPECT_FALSE(manager_->Init());
    EXPECT_FALSE(manager_->OpenError().empty());
    manager_->SendDiscovery();
    EXPECT_TRUE(WaitFor([&] { return manager_->RunningReceiveThreads() == 0; }, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(wire.seen().empty());
    EXPECT_TRUE(RecorderSeesAMarkedFrame(wire, ns_->toolSide())) << "the recorder sees the wire";
    wire.Stop();
}

TEST_F(ManagerNetTest, AdapterListFindsTheVethEnds) {
    std::vector<AdapterRecord> list;
    manager_->GetAdapterList(list);
    bool found = false;
    for (const AdapterRecord& r : list) {
        EXPECT_EQ(r.kind, 0);
        EXPECT_NE(std::string(r.adapterName), "lo");
        if (std::string(r.adapterName) == ns_->toolSide()) {
            found = true;
            EXPECT_EQ(std::memcmp(r.hardwareAddress, toolMac_, 6), 0);
            AdapterRecord copy = r;
            EXPECT_TRUE(manager_->FindCaptureDevice(copy));
            EXPECT_EQ(manager_->DeviceName(), ns_->toolSide());
        }
    }
    EXPECT_TRUE(found);
    AdapterRecord missing;
    std::memset(&missing, 0, sizeof missing);
    std::strcpy(missing.adapterName, "no-such-adapter-name-longer-than-any");
    EXPECT_FALSE(manager_->FindCaptureDevice(missing));
    EXPECT_EQ(manager_->DeviceName(), ns_->toolSide());
}

} // namespace
} // namespace qvtest
