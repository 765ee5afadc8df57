// quorvantix-cli watch against emulated devices plugged in while it runs, on
// a veth pair inside a namespace of the test's own.

#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"
#include "xls/XlsWorkbook.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
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

const char* kTemplate = "<Value Name=\"LOID_OLD\" Value=\"theloid\"/>\r\n"
                        "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>\r\n"
                        "<ATM_VC_TBL>\r\n"
                        "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
                        "  <Value Name=\"vid\" Value=\"41\"/>\r\n"
                        "  <Value Name=\"pppUser\" Value=\"alice\"/>\r\n"
                        "  <Value Name=\"pppPasswd\" Value=\"secret\"/>\r\n"
                        "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n";

std::string Mac(int n) {
    return "02:00:00:00:00:0" + std::to_string(n);
}
std::string FileOf(int n) {
    return "02-00-00-00-00-0" + std::to_string(n);
}

class WatchNet : public testing::Test {
protected:
    void SetUp() override {
        if (!qvtest::IsRoot())
            GTEST_SKIP() << "needs root for a network namespace";
        ns_ = std::make_unique<NetNs>();
        ASSERT_TRUE(ns_->ok());
        dir_ = std::make_unique<TempProgramDir>();
        dir_->write("ModifyXml/.keep", "");
        dir_->write("t.xml", kTemplate);
        for (const char* folder : {"out", "out2", "ModifyExcel", "ExcelTemplate"})
            std::filesystem::create_directories(dir_->file(folder));
        std::filesystem::copy_file(qvtest::SourceDir() +
                                       "/resources/bin/ExcelTemplate/Template.xls",
                                   dir_->file("ExcelTemplate/Template.xls"));
    }
    void TearDown() override {
        if (watch_ > 0)
            qvtest::StopProcess(watch_);
        for (pid_t pid : devsims_)
            qvtest::StopProcess(pid);
    }

    // Emulated devices from first on: they are "plugged in" now.
    void PlugIn(int first, int count, const std::string& out, std::vector<std::string> extra = {}) {
        const std::string ready = dir_->file("ready" + std::to_string(devsims_.size()));
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-devsim",
                                      "--interface",
                                      ns_->deviceSide(),
                                      "--first-mac",
                                      Mac(first),
                                      "--count",
                                      std::to_string(count),
                                      "--output",
                                      dir_->file(out),
                                      "--ready-file",
                                      ready,
                                      "--verdict-delay",
                                      "0"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        const pid_t pid = ns_->Spawn(argv);
        ASSERT_GT(pid, 0);
        devsims_.push_back(pid);
        for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::exists(ready));
    }
    void UnplugAll() {
        for (pid_t pid : devsims_)
            qvtest::StopProcess(pid);
        devsims_.clear();
    }

    void StartWatch(std::vector<std::string> args) {
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-cli",
                                      "--home",
                                      dir_->path(),
                                      "watch",
                                      "--adapter",
                                      ns_->toolSide(),
                                      "--interval",
                                      "1"};
        argv.insert(argv.end(), args.begin(), args.end());
        watch_ = ns_->Spawn(argv, dir_->file("watch.out"), dir_->file("watch.err"));
        ASSERT_GT(watch_, 0);
        ASSERT_TRUE(WaitForText("watch.err", "watch: searching")) << Err();
    }
    // SIGTERM; the exit code.
    int StopWatch() {
        kill(watch_, SIGTERM);
        int status = 0;
        waitpid(watch_, &status, 0);
        watch_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Out() const { return ReadFileBytes(dir_->file("watch.out")); }
    std::string Err() const { return ReadFileBytes(dir_->file("watch.err")); }
    bool WaitForText(const char* file, const std::string& text, int seconds = 20) const {
        for (int i = 0; i < seconds * 20; ++i) {
            if (ReadFileBytes(dir_->file(file)).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(Out());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::string OutcomeLine(int n, const char* outcome, int attempt, const char* logo,
                            const char* config) const {
        return Mac(n) + "\t" + outcome + "\t" + std::to_string(attempt) + "\t" + logo + "\t" +
               config;
    }

    // The run's report named on stderr: its rows in order.
    std::vector<QJsonObject> ReportRows() const {
        const std::string err = Err();
        const std::string tag = "watch: report ";
        const std::size_t at = err.find(tag);
        if (at == std::string::npos)
            return {};
        const std::size_t end = err.find(" (and .csv)", at);
        const std::string path = err.substr(at + tag.size(), end - at - tag.size());
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray::fromStdString(ReadFileBytes(path)));
        std::vector<QJsonObject> rows;
        for (const QJsonValue& v : doc.object().value(QStringLiteral("devices")).toArray())
            rows.push_back(v.toObject());
        return rows;
    }

    // A sheet with rows for the given devices, each with its own PPPoE user.
    std::string SheetFor(const std::vector<int>& devices) {
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-cli",
                                      "--home",
                                      dir_->path(),
                                      "sheet",
                                      "export",
                                      "--template",
                                      dir_->file("t.xml"),
                                      "--mac"};
        for (int n : devices)
            argv.push_back(Mac(n));
        const pid_t pid = ns_->Spawn(argv, dir_->file("export.out"));
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::string exported = dir_->read("export.out");
        exported = exported.substr(0, exported.find('\n'));
        auto book = XlsWorkbook::Create();
        EXPECT_TRUE(book->Load(exported));
        for (std::size_t k = 0; k < devices.size(); ++k)
            book->GetSheet(0)->WriteStr(static_cast<int>(k) + 1, 3,
                                        "user" + std::to_string(devices[k]));
        EXPECT_TRUE(book->Save(dir_->file("rows.xls")));
        return dir_->file("rows.xls");
    }

    std::unique_ptr<NetNs> ns_;
    std::unique_ptr<TempProgramDir> dir_;
    std::vector<pid_t> devsims_;
    pid_t watch_ = -1;
};

TEST_F(WatchNet, ArrivalsGetTheirOwnRowOnceAndADeviceWithoutARowNothing) {
    const std::string sheet = SheetFor({1, 2, 3, 4});
    StartWatch({"--config", dir_->file("t.xml"), "--sheet", sheet});
    std::this_thread::sleep_for(std::chrono::seconds(2)); // a few empty rounds first
    PlugIn(1, 2, "out");
    ASSERT_TRUE(
        WaitForText("watch.out", OutcomeLine(2, "succeeded", 1, "WaitOperate", "OperateSuccess")))
        << Out() << Err();
    ASSERT_TRUE(
        WaitForText("watch.out", OutcomeLine(1, "succeeded", 1, "WaitOperate", "OperateSuccess")))
        << Out() << Err();
    PlugIn(3, 3, "out"); // the second rack: 3 and 4 have rows, 5 has none
    for (int n : {3, 4})
        ASSERT_TRUE(WaitForText("watch.out",
                                OutcomeLine(n, "succeeded", 1, "WaitOperate", "OperateSuccess")))
            << Out() << Err();
    ASSERT_TRUE(
        WaitForText("watch.out", OutcomeLine(5, "skipped", 0, "WaitOperate", "WaitOperate")));
    // More rounds in which all of them answer: nothing is sent again.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(StopWatch(), 0) << Err();

    EXPECT_EQ(Lines().size(), 5u) << Out();
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        const std::string got = dir_->read("out/" + FileOf(n) + "-para-1");
        EXPECT_NE(got.find("Value=\"user" + std::to_string(n) + "\""), std::string::npos) << got;
        EXPECT_FALSE(std::filesystem::exists(dir_->file("out/" + FileOf(n) + "-para-2")));
        EXPECT_FALSE(std::filesystem::exists(dir_->file("out/" + FileOf(n) + "-logo-1")));
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(dir_->file("out")))
        ++files;
    EXPECT_EQ(files, 4u) << "nothing for the device without a row";

    const std::vector<QJsonObject> rows = ReportRows();
    ASSERT_EQ(rows.size(), 4u) << Err();
    for (const QJsonObject& row : rows)
        EXPECT_EQ(row.value(QStringLiteral("configStatus")).toString(),
                  QStringLiteral("OperateSuccess"));
    EXPECT_NE(Err().find("watch: stopped by a signal\n"), std::string::npos) << Err();
}

TEST_F(WatchNet, AFailedDeviceIsProvisionedWhenItComesBackAfterAPause) {
    dir_->write("plain.xml", "<Value Name=\"LOID\" Value=\"x\"/>\r\n");
    StartWatch({"--config", dir_->file("plain.xml"), "--events"});
    PlugIn(1, 1, "out", {"--silent", "1"}); // answers the search, never a data frame
    ASSERT_TRUE(WaitForText("watch.out", "\"outcome\":\"failed\"")) << Out() << Err();
    // Still plugged in: a failed device that never went away is left alone.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    UnplugAll();
    std::this_thread::sleep_for(std::chrono::seconds(4)); // more than three silent rounds
    PlugIn(1, 1, "out2");
    ASSERT_TRUE(WaitForText("watch.out", "\"outcome\":\"succeeded\"")) << Out() << Err();
    EXPECT_EQ(StopWatch(), 0) << Err();
    EXPECT_EQ(dir_->read("out2/" + FileOf(1) + "-para-1"), dir_->read("plain.xml"));

    // Every line is JSON; the outcomes are the two attempts.
    std::vector<std::string> outcomes;
    for (const std::string& line : Lines()) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        const QJsonObject o = doc.object();
        if (o.contains(QStringLiteral("outcome")))
            outcomes.push_back(o.value(QStringLiteral("outcome")).toString().toStdString() +
                               std::to_string(o.value(QStringLiteral("attempt")).toInt()));
        else
            EXPECT_EQ(o.value(QStringLiteral("file")).toString(), QStringLiteral("config"));
    }
    EXPECT_EQ(outcomes, (std::vector<std::string>{"failed1", "succeeded2"})) << Out();

    const std::vector<QJsonObject> rows = ReportRows();
    ASSERT_EQ(rows.size(), 2u) << Err();
    EXPECT_EQ(rows[0].value(QStringLiteral("configStatus")).toString(),
              QStringLiteral("TransmitFail"));
    EXPECT_EQ(rows[1].value(QStringLiteral("configStatus")).toString(),
              QStringLiteral("OperateSuccess"));
    for (const QJsonObject& row : rows)
        EXPECT_EQ(row.value(QStringLiteral("mac")).toString().toStdString(), Mac(1));
}

TEST_F(WatchNet, SigtermDuringATransferWritesTheReportAndExitsOne) {
    dir_->write("plain.xml", "<Value Name=\"LOID\" Value=\"x\"/>\r\n");
    StartWatch({"--config", dir_->file("plain.xml")});
    PlugIn(1, 1, "out", {"--silent", "1"});
    // The copy is written just before the transfer starts.
    for (int i = 0; i < 200 && !std::filesystem::exists(dir_->file("ModifyXml/020000000001.xml"));
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(std::filesystem::exists(dir_->file("ModifyXml/020000000001.xml")));
    EXPECT_EQ(StopWatch(), 1);
    EXPECT_EQ(Out(), OutcomeLine(1, "unfinished", 1, "WaitOperate", "Operating") + "\n");
    const std::vector<QJsonObject> rows = ReportRows();
    ASSERT_EQ(rows.size(), 1u) << Err();
    EXPECT_EQ(rows[0].value(QStringLiteral("configStatus")).toString(),
              QStringLiteral("Operating"));
    EXPECT_FALSE(std::filesystem::exists(dir_->file("data.db")));
}

TEST_F(WatchNet, RefusedInputSendsNothing) {
    dir_->write("bad.txt", "x");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--config", dir_->file("bad.txt")},
         "watch: --config " + dir_->file("bad.txt") + ": the name must end in .xml\n"},
        {{}, "watch: give --config FILE.xml, --logo FILE.jpg or both\n"},
        {{"--logo", dir_->file("missing.jpg")},
         "watch: --logo " + dir_->file("missing.jpg") + ": no such file\n"},
    };
    PlugIn(1, 1, "out");
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(message);
        std::vector<std::string> argv{qvtest::BinDir() + "/quorvantix-cli",
                                      "--home",
                                      dir_->path(),
                                      "watch",
                                      "--adapter",
                                      ns_->toolSide()};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = ns_->Spawn(argv, dir_->file("watch.out"), dir_->file("watch.err"));
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
        EXPECT_NE(Err().find(message), std::string::npos) << Err();
        EXPECT_EQ(Out(), "");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir_->file("out"))) << "nothing was sent";
}

} // namespace
