// quorvantix-cli push against emulated devices on a veth pair inside a
// namespace of the test's own: search, submission, statuses, exit codes.

#include "link/CaptureHandle.h"
#include "link/TransmitFrame.h"
#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using qvtest::NetNs;
using qvtest::ReadFileBytes;
using qvtest::TempProgramDir;

std::string SmallJpeg() {
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 50);
    return bytes.toStdString();
}

class PushNet : public testing::Test {
protected:
    void SetUp() override {
        if (!qvtest::IsRoot())
            GTEST_SKIP() << "needs root for a network namespace";
        ns_ = std::make_unique<NetNs>();
        ASSERT_TRUE(ns_->ok());
        dir_ = std::make_unique<TempProgramDir>();
        dir_->write("ModifyXml/.keep", "");
        dir_->write("t.xml", "<Value Name=\"LOID\" Value=\"x\"/>\r\n");
        dir_->write("logo.jpg", SmallJpeg());
        std::filesystem::create_directories(dir_->file("out"));
    }
    void TearDown() override {
        if (devsim_ > 0)
            qvtest::StopProcess(devsim_);
    }

    void StartDevices(std::vector<std::string> extra) {
        const std::string ready = dir_->file("ready");
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-devsim", "--interface",
                                      ns_->deviceSide(), "--count", "3", "--output",
                                      dir_->file("out"), "--ready-file", ready,
                                      // Verdicts at once: a verdict that arrives before
                                      // the transfer's own status must still stand.
                                      "--verdict-delay", "0"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        devsim_ = ns_->Spawn(argv, dir_->file("devsim.out"));
        ASSERT_GT(devsim_, 0);
        for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::exists(ready));
    }

    // Runs push in the namespace; returns its exit code, stdout in out.
    int Push(std::vector<std::string> args, std::string& out) {
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-cli",
                                      "--home",
                                      dir_->path(),
                                      "push",
                                      "--adapter",
                                      ns_->toolSide(),
                                      "--broadcasts",
                                      "1",
                                      "--wait",
                                      "15"};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = ns_->Spawn(argv, dir_->file("push.out"));
        EXPECT_GT(pid, 0);
        int status = 0;
        waitpid(pid, &status, 0);
        out = ReadFileBytes(dir_->file("push.out"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::unique_ptr<NetNs> ns_;
    std::unique_ptr<TempProgramDir> dir_;
    pid_t devsim_ = -1;
};

const char* kMac[] = {"02:00:00:00:00:01", "02:00:00:00:00:02", "02:00:00:00:00:03"};
const char* kFile[] = {"02-00-00-00-00-01", "02-00-00-00-00-02", "02-00-00-00-00-03"};

TEST_F(PushNet, LogoAndTemplateToAllDevices) {
    StartDevices({});
    std::string out;
    EXPECT_EQ(
        Push({"--config", dir_->file("t.xml"), "--logo", dir_->file("logo.jpg"), "--all"}, out), 0);
    std::string expected;
    for (const char* mac : kMac)
        expected += std::string(mac) + "\tOperateSuccess\tOperateSuccess\n";
    EXPECT_EQ(out, expected);
    for (int k = 0; k < 3; ++k) {
        // Without a sheet every device gets the template unchanged, from its own copy.
        EXPECT_EQ(dir_->read(std::string("out/") + kFile[k] + "-para-1"), dir_->read("t.xml"));
        EXPECT_EQ(dir_->read(std::string("out/") + kFile[k] + "-logo-1"), dir_->read("logo.jpg"));
    }
    EXPECT_TRUE(std::filesystem::exists(dir_->file("ModifyXml/020000000002.xml")));
}

TEST_F(PushNet, FailedVerdictExitsOne) {
    StartDevices({"--verdict", "fail"});
    std::string out;
    EXPECT_EQ(Push({"--config", dir_->file("t.xml"), "--mac", kMac[1]}, out), 1);
    EXPECT_EQ(out, std::string(kMac[1]) + "\tWaitOperate\tOperateFail\n");
}

TEST_F(PushNet, LogoOnlyToChosenDevices) {
    StartDevices({});
    std::string out;
    EXPECT_EQ(Push({"--logo", dir_->file("logo.jpg"), "--mac", kMac[2], kMac[0], "--json"}, out),
              0);
    EXPECT_NE(out.find("\"logoStatusText\": \"OperateSuccess\""), std::string::npos) << out;
    EXPECT_EQ(out.find("\"configStatus\": 1"), std::string::npos) << out;
    EXPECT_LT(out.find(kMac[2]), out.find(kMac[0])) << "list order is kept";
    EXPECT_FALSE(std::filesystem::exists(dir_->file(std::string("out/") + kFile[1] + "-logo-1")));
}

// Any station can send result frames. A device that acknowledged nothing
// stays "TransmitFail" however many success verdicts arrive in its name.
TEST_F(PushNet, ForgedVerdictsWithoutAcknowledgementsLeaveTransmitFail) {
    StartDevices({"--silent", "3"}); // they answer the search, never a data frame
    std::string toolText = ns_->toolSideMac();
    std::transform(toolText.begin(), toolText.end(), toolText.begin(), ::toupper);
    std::uint8_t tool[6], device[6];
    ASSERT_TRUE(ParseMacText(toolText, tool));
    ASSERT_TRUE(ParseMacText(kMac[0], device));
    std::atomic<bool> stop{false};
    std::atomic<int> forged{0};
    std::thread forger([&] {
        NetNs::Entered inside(*ns_);
        CaptureHandle raw;
        if (!inside.ok() || !raw.Open(ns_->deviceSide(), 1))
            return;
        while (!stop) {
            for (const auto& [category, opcode] :
                 {std::pair{Para, ParaSuccess}, {Logo, LogoSuccess}}) {
                TransmitFrame f = ZeroFrame();
                std::memcpy(f.bytes, tool, 6);
                std::memcpy(f.bytes + 6, device, 6);
                f.Set16(frame::kEtherTypeOffset, kEtherType);
                f.Set16(frame::kCategory, category);
                f.Set16(frame::kOpcode, opcode);
                std::uint8_t buffer[kSendBufferSize] = {};
                std::memcpy(buffer, f.bytes, kFrameSize);
                if (raw.Send(buffer, kFrameSize))
                    ++forged;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    std::string out;
    const int rc = Push(
        {"--config", dir_->file("t.xml"), "--logo", dir_->file("logo.jpg"), "--mac", kMac[0]}, out);
    stop = true;
    forger.join();
    EXPECT_GT(forged.load(), 10); // the forger ran all along
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(out, std::string(kMac[0]) + "\tTransmitFail\tTransmitFail\n");
}

} // namespace
