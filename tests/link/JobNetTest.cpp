// Transfer jobs on a veth pair against quorvantix-devsim: kinds, statuses,
// and many devices at once over a lossy link.

#include "base/ProgramDirectory.h"
#include "link/AcTransmitManage.h"
#include "link/CaptureHandle.h"
#include "link/TransferRunner.h"
#include "records/CSqlManagement.h"
#include "tests/link/LinkNetFixture.h"

#include <algorithm>
#include <sys/wait.h>
#include <thread>

namespace qvtest {
namespace {

class JobNetTest : public LinkNetTest {
protected:
    void SetUp() override {
        LinkNetTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        store_ = std::make_unique<CSqlManagement>(dir_.path());
        ASSERT_TRUE(store_->IsOpen());
    }
    void TearDown() override {
        store_.reset();
        LinkNetTest::TearDown();
    }
    static void DeviceMac(int i, std::uint8_t mac[6]) {
        const std::uint8_t base[6] = {0x02, 0x00, 0x00, 0x00, 0x10, 0x00};
        std::memcpy(mac, base, 6);
        mac[5] = static_cast<std::uint8_t>(i);
    }
    void AddRow(const std::uint8_t mac[6]) {
        DiscoveredDevice d;
        std::memset(&d, 0, sizeof d);
        std::memcpy(d.macText, MacTextUpper(mac).c_str(), 17);
        std::strcpy(d.time, "2026-01-01 00:00:00");
        ASSERT_TRUE(store_->SaveDiscoveredDevice(d));
    }
    void Run(const TransferJob& job, const TransferTiming& timing = {},
             VerdictGate* gate = nullptr) {
        RunTransferJob(
            job, [this] { return ns_->toolSide(); }, store_.get(), timing, true, gate);
    }
    static std::string Logo(std::size_t n) {
        std::string s = PatternBytes(n, 9);
        s[0] = static_cast<char>(0xFF);
        s[1] = static_cast<char>(0xD8);
        return s;
    }
    static std::string Config(std::size_t n, unsigned salt) {
        std::string s = PatternBytes(n, salt);
        s.replace(0, 20, "<Value Name=\"x\" />\n");
        return s;
    }
    std::string Received(const std::uint8_t mac[6], const char* kind, int n = 1) const {
        std::string text = MacTextUpper(mac);
        std::replace(text.begin(), text.end(), ':', '-');
        return ReadFileBytes(dir_.file("out/" + text + "-" + kind + "-" + std::to_string(n)));
    }
    std::unique_ptr<CSqlManagement> store_;
};

TEST_F(JobNetTest, KindsSendTheirFilesAndSetStatuses) {
    StartDevsim({"--count", "3", "--first-mac", "02:00:00:00:10:00", "--output", dir_.file("out")});
    const std::string logo = Logo(3000);
    const std::string config = Config(5000, 1);
    const std::string logoPath = WriteFile("logo.jpg", logo);
    const std::string configPath = WriteFile("c.xml", config);
    struct Case {
        int kind;
        bool logoSent, configSent;
    };
    const Case cases[] = {{1, true, false}, {2, false, true}, {7, true, true}};
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.kind);
        std::uint8_t mac[6];
        DeviceMac(i, mac);
        AddRow(mac);
        Run(MakeTransferJob(mac, toolMac_, c.kind, configPath, logoPath));
        const std::string text = MacTextUpper(mac);
        EXPECT_EQ(store_->GetLogStatus(text), c.logoSent ? TransmitFinish : WaitOperate);
        EXPECT_EQ(store_->GetParaStatus(text), c.configSent ? TransmitFinish : WaitOperate);
        // The emulator keeps a file just after it acknowledged its last chunk.
        const auto received = [&](const char* kind, const std::string& bytes) {
            return WaitFor([&] { return Received(mac, kind) == bytes; }, 2000);
        };
        EXPECT_EQ(received("logo", logo), c.logoSent);
        EXPECT_EQ(received("para", config), c.configSent);
    }
}

TEST_F(JobNetTest, BothKindsStillSendTheConfigurationWhenTheLogoFails) {
    StartDevsim({"--first-mac", "02:00:00:00:10:00", "--output", dir_.file("out")});
    std::uint8_t mac[6];
    DeviceMac(0, mac);
    AddRow(mac);
    const std::string config = Config(2500, 2);
    Run(MakeTransferJob(mac, toolMac_, 3, WriteFile("c.xml", config), dir_.file("missing.jpg")));
    const std::string text = MacTextUpper(mac);
    EXPECT_EQ(store_->GetLogStatus(text), TransmitFail);
    EXPECT_EQ(store_->GetParaStatus(text), TransmitFinish);
    EXPECT_EQ(Received(mac, "para"), config);
}

TEST_F(JobNetTest, FiftyDevicesOverALossyLinkReceiveIdenticalFiles) {
    const int devices = 50;
    StartDevsim({"--count", std::to_string(devices), "--first-mac", "02:00:00:00:10:00",
                 "--drop-data", "0.05", "--drop-ack", "0.05", "--seed", "7", "--output",
                 dir_.file("out")});
    const std::string logo = Logo(6000);
    const std::string logoPath = WriteFile("logo.jpg", logo);
    std::vector<std::string> configs;
    std::vector<TransferJob> jobs;
    for (int i = 0; i < devices; ++i) {
        std::uint8_t mac[6];
        DeviceMac(i, mac);
        AddRow(mac);
        configs.push_back(Config(60000, static_cast<unsigned>(i)));
        const std::string path = WriteFile("c" + std::to_string(i) + ".xml", configs.back());
        jobs.push_back(MakeTransferJob(mac, toolMac_, 3, path, logoPath));
    }
    TransferTiming timing;
    timing.retransmitInterval = std::chrono::milliseconds(200);
    std::vector<std::thread> threads;
    for (const TransferJob& job : jobs)
        threads.emplace_back([&, job] { Run(job, timing); });
    for (std::thread& t : threads)
        t.join();
    for (int i = 0; i < devices; ++i) {
        std::uint8_t mac[6];
        DeviceMac(i, mac);
        SCOPED_TRACE(MacTextUpper(mac));
        EXPECT_EQ(store_->GetLogStatus(MacTextUpper(mac)), TransmitFinish);
        EXPECT_EQ(store_->GetParaStatus(MacTextUpper(mac)), TransmitFinish);
        EXPECT_TRUE(Received(mac, "logo") == logo);
        EXPECT_TRUE(Received(mac, "para") == configs[static_cast<std::size_t>(i)]);
        EXPECT_TRUE(Received(mac, "logo", 2).empty());
    }
    const std::string summary = StopDevsim();
    EXPECT_EQ(summary.find("dropped-data 0\n"), std::string::npos) << summary;
}

// A thousand transfers at once over the one adapter socket: every device
// receives its own bytes, none another's.
TEST_F(JobNetTest, AThousandDevicesEachReceiveTheirOwnBytes) {
    const int devices = 1000;
    StartDevsim({"--count", std::to_string(devices), "--first-mac", "02:00:00:01:00:00",
                 "--verdict", "none", "--output", dir_.file("out")});
    CaptureHandle keep; // holds the adapter socket, as the receive thread does
    ASSERT_TRUE(keep.Open(ns_->toolSide(), 1));
    const auto mac = [](int i, std::uint8_t m[6]) {
        const std::uint8_t base[6] = {0x02, 0x00, 0x00, 0x01, 0x00, 0x00};
        std::memcpy(m, base, 6);
        m[4] = static_cast<std::uint8_t>(i >> 8);
        m[5] = static_cast<std::uint8_t>(i & 0xFF);
    };
    std::vector<std::string> configs;
    std::vector<TransferJob> jobs;
    for (int i = 0; i < devices; ++i) {
        std::uint8_t m[6];
        mac(i, m);
        AddRow(m);
        // Two chunks each, the device's number in every chunk.
        configs.push_back(Config(1500, static_cast<unsigned>(i)) + std::to_string(i));
        const std::string path = WriteFile("c" + std::to_string(i) + ".xml", configs.back());
        jobs.push_back(MakeTransferJob(m, toolMac_, 2, path, ""));
    }
    std::vector<std::thread> threads;
    threads.reserve(jobs.size());
    for (const TransferJob& job : jobs)
        threads.emplace_back([&, job] { Run(job); });
    for (std::thread& t : threads)
        t.join();
    int wrong = 0;
    for (int i = 0; i < devices; ++i) {
        std::uint8_t m[6];
        mac(i, m);
        const bool ok = store_->GetParaStatus(MacTextUpper(m)) == TransmitFinish &&
                        Received(m, "para") == configs[static_cast<std::size_t>(i)] &&
                        Received(m, "para", 2).empty();
        if (!ok && ++wrong <= 5)
            ADD_FAILURE() << MacTextUpper(m) << " status "
                          << store_->GetParaStatus(MacTextUpper(m));
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(keep.Socket()->TakeDrops().kernel, 0u);
}

// The whole road: the files are sent (4), then the device's verdicts arrive
// at the receive thread (2 for the configuration, 3 for a logo that is not a
// JPEG). A verdict may reach this side before the last acknowledgement (here
// the acknowledgements are held back while the verdict is not): it must
// still win over the transfer's own status.
struct VerdictTiming {
    const char* name;
    int verdictDelayMs, ackDelayMs;
};

class VerdictTimingTest : public JobNetTest, public ::testing::WithParamInterface<VerdictTiming> {};

TEST_P(VerdictTimingTest, VerdictsFollowTheTransfer) {
    StartDevsim({"--first-mac", "02:00:00:00:10:00", "--verdict-delay",
                 std::to_string(GetParam().verdictDelayMs), "--ack-delay",
                 std::to_string(GetParam().ackDelayMs)});
    AcTransmitManage link(store_.get());
    link.SetAdapter(ns_->toolSide(), toolMac_);
    ASSERT_TRUE(link.Init());
    std::uint8_t mac[6];
    DeviceMac(0, mac);
    AddRow(mac);
    const std::string text = MacTextUpper(mac);
    Run(MakeTransferJob(mac, toolMac_, 3, WriteFile("c.xml", Config(3000, 1)),
                        WriteFile("logo.jpg", PatternBytes(3000))),
        {}, &link.Verdicts());
    EXPECT_TRUE(WaitFor([&] { return store_->GetParaStatus(text) == OperateSuccess; }, 3000))
        << StatusText(store_->GetParaStatus(text));
    EXPECT_TRUE(WaitFor([&] { return store_->GetLogStatus(text) == OperateFail; }, 3000))
        << StatusText(store_->GetLogStatus(text));
    link.Stop();
}

INSTANTIATE_TEST_SUITE_P(Timings, VerdictTimingTest,
                         ::testing::Values(VerdictTiming{"VerdictAfterTheLastAck", 50, 0},
                                           VerdictTiming{"VerdictWithTheLastAck", 0, 0},
                                           VerdictTiming{"VerdictBeforeTheLastAck", 0, 30}),
                         [](const auto& info) { return std::string(info.param.name); });

// The program ends while transfer threads still wait for acknowledgements:
// no crash, and the database file is removed.
TEST_F(JobNetTest, ProgressRisesToTheFileSizeAtMostEveryHundredMilliseconds) {
    // Slow acknowledgements stretch 40 chunks over about half a second.
    StartDevsim({"--count", "1", "--first-mac", "02:00:00:00:10:00", "--ack-delay", "12"});
    const std::size_t size = 40 * 1024 - 100;
    const std::string logoPath = WriteFile("logo.jpg", Logo(size));
    std::uint8_t mac[6];
    DeviceMac(0, mac);
    AddRow(mac);
    const std::string text = MacTextUpper(mac);
    ASSERT_TRUE(store_->SetLogStatus(text, Operating));
    const std::uint64_t writesBefore = store_->ProgressWrites();

    const auto start = std::chrono::steady_clock::now();
    std::thread sender([&] { Run(MakeTransferJob(mac, toolMac_, 1, "", logoPath)); });
    std::vector<std::int64_t> seen;
    while (store_->GetLogStatus(text) == Operating) {
        const TransferProgress p = store_->GetProgress(text, TransferFile::Logo);
        if (seen.empty() || seen.back() != p.bytesDone)
            seen.push_back(p.bytesDone);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    sender.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const TransferProgress end = store_->GetProgress(text, TransferFile::Logo);
    EXPECT_EQ(end.bytesDone, static_cast<std::int64_t>(size));
    EXPECT_EQ(end.bytesTotal, static_cast<std::int64_t>(size));
    EXPECT_EQ(ProgressPercent(end), 100);
    EXPECT_EQ(end.transmissions, 40u);
    EXPECT_EQ(end.retransmissions, 0u);
    EXPECT_GT(end.startMs, 0);
    ASSERT_GE(seen.size(), 3u) << "values between the first and the last chunk";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    // Throttled per device, never once per chunk.
    const std::uint64_t writes = store_->ProgressWrites() - writesBefore;
    EXPECT_GE(writes, 2u);
    EXPECT_LE(writes, static_cast<std::uint64_t>(seconds / 0.1) + 2) << seconds << " s";
    EXPECT_LT(writes, 40u);
}

TEST_F(JobNetTest, LeavingWhileTransfersRunEndsCleanly) {
    StartDevsim({"--count", "5", "--silent", "5", "--first-mac", "02:00:00:00:10:00"});
    const std::string logoPath = WriteFile("logo.jpg", Logo(3000));
    const std::string configPath = WriteFile("c.xml", Config(3000, 1));
    const std::string home = dir_.path() + "child/";
    std::filesystem::create_directories(home);
    const pid_t pid = fork();
    if (pid == 0) {
        SetProgramDirectory(home);
        AcTransmitManage* link = AcTransmitManage::GetInstance();
        link->SetAdapter(ns_->toolSide(), toolMac_);
        link->Init();
        for (int i = 0; i < 5; ++i) {
            std::uint8_t mac[6];
            DeviceMac(i, mac);
            StartTransferJob(MakeTransferJob(mac, toolMac_, 3, configPath, logoPath));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::exit(std::filesystem::exists(home + "data.db") ? 0 : 3);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(home + "data.db"));
}

} // namespace
} // namespace qvtest
