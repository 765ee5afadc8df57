// quorvantix-cli push against emulated devices on a veth pair inside a
// namespace of the test's own: search, submission, statuses, exit codes.

#include "link/CaptureHandle.h"
#include "link/TransmitFrame.h"
#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>
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

    void StopDevices() {
        if (devsim_ > 0)
            qvtest::StopProcess(devsim_);
        devsim_ = -1;
        std::filesystem::remove(dir_->file("ready"));
    }

    // The batch reports' JSON files, oldest name first.
    std::vector<std::string> Reports() const {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(dir_->file("Log"), ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("batch-", 0) == 0 && entry.path().extension() == ".json")
                found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        return found;
    }

    static std::map<std::string, QJsonObject> ReportRows(const std::string& path) {
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray::fromStdString(ReadFileBytes(path)));
        std::map<std::string, QJsonObject> rows;
        for (const QJsonValue& v : doc.object().value(QStringLiteral("devices")).toArray())
            rows[v.toObject().value(QStringLiteral("mac")).toString().toStdString()] = v.toObject();
        return rows;
    }

    std::string Sha256Of(const std::string& relative) const {
        return QCryptographicHash::hash(QByteArray::fromStdString(dir_->read(relative)),
                                        QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    }

    std::vector<std::string> PushArgv(const std::vector<std::string>& args) const {
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
        return argv;
    }

    // Runs push in the namespace; returns its exit code, stdout in out.
    int Push(std::vector<std::string> args, std::string& out) {
        const pid_t pid = ns_->Spawn(PushArgv(args), dir_->file("push.out"));
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

TEST_F(PushNet, ReportOfABatchWithASilentDeviceAndARetryOfIt) {
    StartDevices({"--silent", "1"});
    std::string out;
    EXPECT_EQ(
        Push({"--config", dir_->file("t.xml"), "--logo", dir_->file("logo.jpg"), "--all"}, out), 1);
    std::vector<std::string> reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    const std::string csv = reports[0].substr(0, reports[0].size() - 5) + ".csv";
    EXPECT_TRUE(std::filesystem::exists(csv));

    const auto rows = ReportRows(reports[0]);
    ASSERT_EQ(rows.size(), 3u);
    const std::string logoSha = Sha256Of("logo.jpg");
    const std::string configSha = Sha256Of("t.xml");
    for (const char* mac : kMac) {
        SCOPED_TRACE(mac);
        ASSERT_EQ(rows.count(mac), 1u);
        const QJsonObject& row = rows.at(mac);
        const bool silent = std::string(mac) == kMac[0];
        const QString expected =
            silent ? QStringLiteral("TransmitFail") : QStringLiteral("OperateSuccess");
        EXPECT_EQ(row.value(QStringLiteral("logoStatus")).toString(), expected);
        EXPECT_EQ(row.value(QStringLiteral("configStatus")).toString(), expected);
        EXPECT_EQ(row.value(QStringLiteral("kind")).toInt(), 3);
        EXPECT_EQ(row.value(QStringLiteral("logoBytes")).toInteger(),
                  static_cast<qint64>(dir_->read("logo.jpg").size()));
        EXPECT_EQ(row.value(QStringLiteral("logoSha256")).toString().toStdString(), logoSha);
        EXPECT_EQ(row.value(QStringLiteral("configBytes")).toInteger(),
                  static_cast<qint64>(dir_->read("t.xml").size()));
        EXPECT_EQ(row.value(QStringLiteral("configSha256")).toString().toStdString(), configSha);
        // One chunk per file; a silent device has each sent five times.
        EXPECT_EQ(row.value(QStringLiteral("transmissions")).toInteger(), silent ? 10 : 2);
        EXPECT_EQ(row.value(QStringLiteral("retransmissions")).toInteger(), silent ? 8 : 0);
        EXPECT_GE(row.value(QStringLiteral("endMs")).toInteger(),
                  row.value(QStringLiteral("startMs")).toInteger());
        EXPECT_GT(row.value(QStringLiteral("startMs")).toInteger(), 0);
    }
    EXPECT_EQ(ReadFileBytes(reports[0]).find("assword"), std::string::npos);

    // The device answers now; a retry sends to it alone, the same files.
    StopDevices();
    std::filesystem::create_directories(dir_->file("out2"));
    StartDevices({"--output", dir_->file("out2")});
    EXPECT_EQ(Push({"--retry", reports[0]}, out), 0) << out;
    EXPECT_EQ(out, std::string(kMac[0]) + "\tOperateSuccess\tOperateSuccess\n");
    EXPECT_EQ(dir_->read(std::string("out2/") + kFile[0] + "-logo-1"), dir_->read("logo.jpg"));
    EXPECT_EQ(dir_->read(std::string("out2/") + kFile[0] + "-para-1"), dir_->read("t.xml"));
    std::size_t received = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_->file("out2")))
        received += entry.path().filename().string().rfind(kFile[0], 0) == 0 ? 1 : 100;
    EXPECT_EQ(received, 2u) << "nothing for the devices that had succeeded";
    reports = Reports();
    ASSERT_EQ(reports.size(), 2u) << "the retry writes its own report";
    const auto retryRows = ReportRows(reports[1]);
    ASSERT_EQ(retryRows.size(), 1u);
    EXPECT_EQ(retryRows.begin()->second.value(QStringLiteral("logoStatus")).toString(),
              QStringLiteral("OperateSuccess"));

    // A file changed since the batch is never sent in its place.
    dir_->write("logo.jpg", SmallJpeg() + "x");
    EXPECT_EQ(Push({"--retry", reports[0]}, out), 2);
}

TEST_F(PushNet, EventLinesOfTwoDevicesEndWithBothFinalStatuses) {
    StartDevices({});
    std::string out;
    ASSERT_EQ(Push({"--logo", dir_->file("logo.jpg"), "--mac", kMac[0], kMac[2], "--events"}, out),
              0);
    std::istringstream lines(out);
    std::string line;
    std::vector<QJsonObject> events;
    while (std::getline(lines, line)) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        ASSERT_TRUE(doc.isObject()) << line;
        events.push_back(doc.object());
    }
    ASSERT_GE(events.size(), 4u) << out; // Operating and the verdict of each
    std::map<std::string, QJsonObject> last;
    for (const QJsonObject& e : events) {
        for (const char* key : {"device", "file", "status", "bytes", "time"})
            EXPECT_TRUE(e.contains(QLatin1String(key))) << key;
        EXPECT_EQ(e.value(QStringLiteral("file")).toString(), QStringLiteral("logo"));
        last[e.value(QStringLiteral("device")).toString().toStdString()] = e;
    }
    ASSERT_EQ(last.size(), 2u);
    for (const auto& [mac, e] : last) {
        SCOPED_TRACE(mac);
        EXPECT_EQ(e.value(QStringLiteral("status")).toString(), QStringLiteral("OperateSuccess"));
        EXPECT_EQ(e.value(QStringLiteral("bytes")).toInteger(),
                  static_cast<qint64>(dir_->read("logo.jpg").size()));
    }
    EXPECT_EQ(events.back().value(QStringLiteral("status")).toString(),
              QStringLiteral("OperateSuccess"));
    EXPECT_EQ(events.front().value(QStringLiteral("status")).toString(),
              QStringLiteral("Operating"));
}

TEST_F(PushNet, AReportIsWrittenWhenPushIsStoppedDuringTheBatch) {
    StartDevices({"--silent", "3"});
    const pid_t pid =
        ns_->Spawn(PushArgv({"--logo", dir_->file("logo.jpg"), "--all", "--wait", "60"}),
                   dir_->file("push.out"));
    ASSERT_GT(pid, 0);
    // The search takes two seconds; the silent devices then hold the batch for five.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_EQ(qvtest::StopProcess(pid), 1);
    const std::vector<std::string> reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    const auto rows = ReportRows(reports[0]);
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& [mac, row] : rows) {
        SCOPED_TRACE(mac);
        EXPECT_EQ(row.value(QStringLiteral("logoStatus")).toString(), QStringLiteral("Operating"));
        EXPECT_EQ(row.value(QStringLiteral("endMs")).toInteger(), 0);
    }
}

} // namespace
