// quorvantix-cli push against emulated devices on a veth pair inside a
// namespace of the test's own: search, submission, statuses, exit codes.

#include "link/CaptureHandle.h"
#include "link/TransmitFrame.h"
#include "tests/link/LinkNetFixture.h"
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

    // The line naming the newest batch report, as push writes it on stderr.
    std::string ReportLine() const {
        const std::vector<std::string> reports = Reports();
        return reports.empty() ? std::string("(no report)")
                               : "push: report " + reports.back() + " (and .csv)\n";
    }

    std::string Sha256Of(const std::string& relative) const {
        return QCryptographicHash::hash(QByteArray::fromStdString(dir_->read(relative)),
                                        QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    }

    std::vector<std::string> PushArgv(const std::vector<std::string>& args,
                                      const char* wait = "15") const {
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
        return argv;
    }

    // Starts push in the namespace: stdout to push.out, stderr to push.err.
    pid_t StartPush(std::vector<std::string> args, const char* wait = "15") {
        const pid_t pid =
            ns_->Spawn(PushArgv(args, wait), dir_->file("push.out"), dir_->file("push.err"));
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
    EXPECT_EQ(err_, ReportLine()) << "no progress when stderr is not a terminal";
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
    EXPECT_EQ(err_, ReportLine());
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
    EXPECT_EQ(err_, "push: 02:00:00:00:00:99 did not answer the search\n" + ReportLine());
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
                        "push: --sheet " +
                        sheet + ": the rows cannot be read for this batch\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir_->file("out"))) << "nothing was sent";

    // With a row for each, the same sheet goes to every device.
    const std::string all = ExportSheet({kMac[0], kMac[1], kMac[2]});
    EXPECT_EQ(Push({"--config", dir_->file("sheet.xml"), "--sheet", all, "--all"}, out), 0) << err_;
    EXPECT_EQ(err_, ReportLine());
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
    EXPECT_EQ(err_, ReportLine() + "push: stopped by a signal; the transfers were ended\n");
    EXPECT_FALSE(std::filesystem::exists(dir_->file("data.db")));
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

TEST_F(PushNet, ADryRunSendsNothingAndWritesTheCopiesAPushSends) {
    StartDevices({});
    const std::string sheet = ExportSheet({kMac[0], kMac[1]});
    std::unique_ptr<qvtest::Wire> wire;
    {
        NetNs::Entered inside(*ns_);
        ASSERT_TRUE(inside.ok());
        wire = std::make_unique<qvtest::Wire>(ns_->deviceSide());
    }
    ASSERT_TRUE(wire->ok()) << "the recorder must listen for its silence to count";
    std::string out;
    EXPECT_EQ(Push({"--dry-run", "--config", dir_->file("sheet.xml"), "--logo",
                    dir_->file("logo.jpg"), "--sheet", sheet, "-o", dir_->file("dry")},
                   out),
              0)
        << err_;
    EXPECT_EQ(err_, "");
    EXPECT_NE(out.find(std::string(kMac[1]) + "\tlogo\t"), std::string::npos) << out;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const qvtest::Wire::Seen& seen : wire->seen())
        ADD_FAILURE() << "a frame reached the wire: opcode " << seen.opcode;
    {
        NetNs::Entered inside(*ns_);
        EXPECT_TRUE(qvtest::RecorderSeesAMarkedFrame(*wire, ns_->toolSide()))
            << "the recorder sees the wire";
    }
    wire->Stop();
    EXPECT_TRUE(std::filesystem::is_empty(dir_->file("out"))) << "no device received anything";
    EXPECT_TRUE(Reports().empty());

    // The real push sends exactly the copies the dry run wrote.
    EXPECT_EQ(Push({"--config", dir_->file("sheet.xml"), "--logo", dir_->file("logo.jpg"),
                    "--sheet", sheet},
                   out),
              0)
        << err_;
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(kMac[k]);
        std::string stem = kFile[k];
        stem.erase(std::remove(stem.begin(), stem.end(), '-'), stem.end());
        const std::string dry = dir_->read("dry/" + stem + ".xml");
        EXPECT_FALSE(dry.empty());
        EXPECT_EQ(dir_->read(std::string("out/") + kFile[k] + "-para-1"), dry);
        EXPECT_EQ(dir_->read("ModifyXml/" + stem + ".xml"), dry);
    }
}

} // namespace
