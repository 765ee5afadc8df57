// quorvantix-cli push against emulated devices on a veth pair inside a
// namespace of the test's own: search, submission, statuses, exit codes.

#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <chrono>
#include <csignal>
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
        // A template the parameter sheet is exported from: no WAN, a login password.
        dir_->write("sheet.xml", "<Value Name=\"LOID_OLD\" Value=\"theloid\"/>\r\n"
                                 "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>\r\n");
        std::filesystem::create_directories(dir_->file("out"));
        std::filesystem::create_directories(dir_->file("ModifyExcel"));
        std::filesystem::create_directories(dir_->file("ExcelTemplate"));
        std::filesystem::copy_file(qvtest::SourceDir() +
                                       "/resources/bin/ExcelTemplate/Template.xls",
                                   dir_->file("ExcelTemplate/Template.xls"));
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

    // Starts push in the namespace: stdout to push.out, stderr to push.err.
    pid_t StartPush(std::vector<std::string> args, const char* wait = "15") {
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-cli",
                                      "--home",
                                      dir_->path(),
                                      "push",
                                      "--adapter",
                                      ns_->toolSide(),
                                      "--broadcasts",
                                      "1",
                                      "--wait",
                                      wait};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = ns_->Spawn(argv, dir_->file("push.out"), dir_->file("push.err"));
        EXPECT_GT(pid, 0);
        return pid;
    }
    int Finish(pid_t pid, std::string& out) {
        int status = 0;
        waitpid(pid, &status, 0);
        out = ReadFileBytes(dir_->file("push.out"));
        err_ = ReadFileBytes(dir_->file("push.err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Runs push in the namespace; returns its exit code, stdout in out and
    // stderr in err_.
    int Push(std::vector<std::string> args, std::string& out, const char* wait = "15") {
        return Finish(StartPush(std::move(args), wait), out);
    }
    // A sheet of the given rows exported by the command line (no search).
    std::string ExportSheet(const std::vector<std::string>& macs) {
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-cli",
                                      "--home",
                                      dir_->path(),
                                      "sheet",
                                      "export",
                                      "--template",
                                      dir_->file("sheet.xml"),
                                      "--mac"};
        argv.insert(argv.end(), macs.begin(), macs.end());
        std::string out;
        const int rc =
            Finish(ns_->Spawn(argv, dir_->file("push.out"), dir_->file("push.err")), out);
        EXPECT_EQ(rc, 0) << err_;
        return out.substr(0, out.find('\n'));
    }

    std::string err_;
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
    EXPECT_EQ(err_, "") << "no progress when stderr is not a terminal";
    EXPECT_EQ(dir_->read("devsim.out"), "serving 3 devices on " + ns_->deviceSide() + "\n");
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
    EXPECT_EQ(err_, "");
}

TEST_F(PushNet, LogoOnlyToChosenDevices) {
    StartDevices({});
    std::string out;
    EXPECT_EQ(Push({"--logo", dir_->file("logo.jpg"), "--mac", kMac[2], kMac[0], "--json"}, out),
              0);
    // One compact JSON array, in list order; the configuration was never sent.
    EXPECT_EQ(out, std::string("[{\"configStatus\":0,\"configStatusText\":\"WaitOperate\",") +
                       "\"logoStatus\":2,\"logoStatusText\":\"OperateSuccess\",\"mac\":\"" +
                       kMac[2] +
                       "\"},{\"configStatus\":0,\"configStatusText\":\"WaitOperate\","
                       "\"logoStatus\":2,\"logoStatusText\":\"OperateSuccess\",\"mac\":\"" +
                       kMac[0] + "\"}]\n");
    EXPECT_FALSE(std::filesystem::exists(dir_->file(std::string("out/") + kFile[1] + "-logo-1")));
}

TEST_F(PushNet, WithoutMacsTheSheetsRowsAreTheBatch) {
    StartDevices({});
    const std::string sheet = ExportSheet({kMac[2], "02:00:00:00:00:99", kMac[0]});
    std::string out;
    EXPECT_EQ(Push({"--config", dir_->file("sheet.xml"), "--sheet", sheet}, out), 1);
    EXPECT_EQ(out, std::string(kMac[2]) + "\tWaitOperate\tOperateSuccess\n" + kMac[0] +
                       "\tWaitOperate\tOperateSuccess\n");
    EXPECT_EQ(err_, "push: 02:00:00:00:00:99 did not answer the search\n");
    for (int k : {0, 2})
        EXPECT_NE(dir_->read(std::string("out/") + kFile[k] + "-para-1").find("Value=\"root\""),
                  std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_->file(std::string("out/") + kFile[1] + "-para-1")));
}

TEST_F(PushNet, WithAllEveryDeviceFoundNeedsARow) {
    StartDevices({});
    const std::string sheet = ExportSheet({kMac[0], kMac[1]});
    std::string out;
    EXPECT_EQ(Push({"--config", dir_->file("sheet.xml"), "--sheet", sheet, "--all"}, out), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err_, std::string("The MAC:") + kMac[2] +
                        " has no row in the parameter sheet.\n"
                        "Obtaining excel format information is incorrect!\n"
                        "push: --sheet " +
                        sheet + ": the rows cannot be read for this batch\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir_->file("out"))) << "nothing was sent";

    // With a row for each, the same sheet goes to every device.
    const std::string all = ExportSheet({kMac[0], kMac[1], kMac[2]});
    EXPECT_EQ(Push({"--config", dir_->file("sheet.xml"), "--sheet", all, "--all"}, out), 0) << err_;
    EXPECT_EQ(err_, "");
    for (const char* file : kFile)
        EXPECT_TRUE(std::filesystem::exists(dir_->file(std::string("out/") + file + "-para-1")));
}

TEST_F(PushNet, TheSameOneChunkFileIsAnsweredEachTime) {
    StartDevices({});
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        std::string out;
        EXPECT_EQ(Push({"--config", dir_->file("t.xml"), "--mac", kMac[0]}, out, "5"), 0) << err_;
        EXPECT_EQ(out, std::string(kMac[0]) + "\tWaitOperate\tOperateSuccess\n");
        EXPECT_EQ(dir_->read(std::string("out/") + kFile[0] + "-para-" + std::to_string(round)),
                  dir_->read("t.xml"));
    }
}

TEST_F(PushNet, SigtermStopsThePushAndKeepsNothing) {
    // The devices take the first chunk of each file and then fall silent.
    StartDevices({"--stop-after", "1"});
    std::string config;
    for (int i = 0; i < 100; ++i)
        config += "<Value Name=\"LOID\" Value=\"" + std::to_string(i) + "\"/>\r\n";
    dir_->write("long.xml", config);
    const pid_t pid =
        StartPush({"--config", dir_->file("long.xml"), "--mac", kMac[0], kMac[1]}, "60");
    // The copies are written just before the transfers start.
    for (int i = 0; i < 500 && !std::filesystem::exists(dir_->file("ModifyXml/020000000002.xml"));
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(dir_->file("ModifyXml/020000000002.xml")));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(std::filesystem::exists(dir_->file("data.db")));
    kill(pid, SIGTERM);
    std::string out;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Finish(pid, out), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(out, std::string(kMac[0]) + "\tWaitOperate\tOperating\n" + kMac[1] +
                       "\tWaitOperate\tOperating\n");
    EXPECT_EQ(err_, "push: stopped by a signal; the transfers were ended\n");
    EXPECT_FALSE(std::filesystem::exists(dir_->file("data.db")));
}

} // namespace
