// The batch report: rows from the store, the two files, what they never
// carry, reading a report back for a retry, and LibreOffice opening the CSV.

#include "payload/BatchReport.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"
#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using qvtest::TempProgramDir;

// SHA-256 of "abc" and of the empty text, as published for the algorithm.
constexpr const char* kAbcSha256 =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr const char* kEmptySha256 =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

const char* kMacs[] = {"02:00:00:00:00:01", "02:00:00:00:00:02", "02:00:00:00:00:03"};

DeviceParams SheetRow() {
    DeviceParams p{};
    CopyToField(p.wanName[0], "=HYPERLINK(\"x\")"); // a hostile cell
    CopyToField(p.vid[0], "100");
    CopyToField(p.pppUser[0], "zoë@isp");
    CopyToField(p.pppPassword[0], "pppSecret1");
    CopyToField(p.wanName[2], "INTERNET_R_VID_300"); // with a gap before it
    CopyToField(p.vid[2], "300");
    CopyToField(p.loid, "Zürich-测试, \"A\"");
    CopyToField(p.loidPassword, "loidSecret2");
    CopyToField(p.wlanPsk24g, "wlanSecret3");
    CopyToField(p.wlanPsk5g, "wlanSecret4");
    CopyToField(p.loginPassword, "loginSecret5");
    CopyToField(p.ploamPassword, "ploamSecret6");
    return p;
}

const char* kSecrets[] = {"pppSecret1",  "loidSecret2",  "wlanSecret3",
                          "wlanSecret4", "loginSecret5", "ploamSecret6"};

class BatchReportTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = std::make_unique<TempProgramDir>();
        store_ = std::make_unique<CSqlManagement>(dir_->path());
        ASSERT_TRUE(store_->IsOpen());
        for (const char* mac : kMacs) {
            DiscoveredDevice d;
            std::memset(&d, 0, sizeof d);
            std::strcpy(d.macText, mac);
            std::strcpy(d.time, "2026-01-01 00:00:00");
            ASSERT_TRUE(store_->SaveDiscoveredDevice(d));
        }
        dir_->write("logo.jpg", "abc");
        dir_->write("ModifyXml/a.xml", "");
    }

    // Three devices of kind 3 (both files), the first with sheet values.
    BatchReport ThreeDevices() {
        BatchReport report;
        for (const char* mac : kMacs) {
            BatchRow row;
            row.mac = mac;
            row.kind = 3;
            row.logo = BatchReport::DescribeFile(dir_->file("logo.jpg"));
            row.config = BatchReport::DescribeFile(dir_->file("ModifyXml/a.xml"));
            if (row.mac == kMacs[0])
                BatchReport::TakeIdentifyingValues(SheetRow(), row);
            report.AddRow(row);
            store_->SetLogStatus(mac, Operating);
            store_->SetParaStatus(mac, Operating);
        }
        return report;
    }

    std::unique_ptr<TempProgramDir> dir_;
    std::unique_ptr<CSqlManagement> store_;
};

TEST_F(BatchReportTest, FilesAreDescribedBySizeAndSha256) {
    const BatchFile abc = BatchReport::DescribeFile(dir_->file("logo.jpg"));
    EXPECT_EQ(abc.bytes, 3);
    EXPECT_EQ(abc.sha256, kAbcSha256);
    const BatchFile empty = BatchReport::DescribeFile(dir_->file("ModifyXml/a.xml"));
    EXPECT_EQ(empty.bytes, 0);
    EXPECT_EQ(empty.sha256, kEmptySha256);
    const BatchFile missing = BatchReport::DescribeFile(dir_->file("none.jpg"));
    EXPECT_EQ(missing.bytes, -1);
    EXPECT_TRUE(missing.sha256.empty());
    const BatchFile folder = BatchReport::DescribeFile(dir_->file("ModifyXml"));
    EXPECT_EQ(folder.bytes, -1);
}

TEST_F(BatchReportTest, RowsFollowTheStoreUntilEveryFileIsFinal) {
    BatchReport report = ThreeDevices();
    store_->SetLogTransferStatus(kMacs[0], TransmitFinish);
    store_->SetLogStatus(kMacs[0], OperateSuccess);
    store_->SetParaStatus(kMacs[0], OperateSuccess);
    store_->AddTransmissions(kMacs[0], TransferFile::Logo, 5, 1);
    store_->AddTransmissions(kMacs[0], TransferFile::Config, 3, 0);
    store_->SetLogStatus(kMacs[1], TransmitFail);
    store_->SetParaStatus(kMacs[1], TransmitFinish); // no verdict yet
    report.Update(*store_);

    const std::vector<BatchRow>& rows = report.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].Final());
    EXPECT_TRUE(rows[0].Succeeded());
    EXPECT_EQ(rows[0].transmissions, 8u);
    EXPECT_EQ(rows[0].retransmissions, 1u);
    EXPECT_GT(rows[0].startMs, 0);
    EXPECT_GE(rows[0].endMs, rows[0].startMs);
    EXPECT_FALSE(rows[1].Final());
    EXPECT_TRUE(rows[1].Failed()) << "one failed file makes the device a retry";
    EXPECT_EQ(rows[1].endMs, 0) << "no end while a file is still open";
    EXPECT_EQ(rows[2].logoStatus, Operating);
    EXPECT_FALSE(report.AllFinal());
    EXPECT_EQ(report.SucceededCount(), 1);
    EXPECT_EQ(report.FailedCount(), 2);

    store_->SetParaStatus(kMacs[1], OperateFail);
    store_->SetLogStatus(kMacs[2], OperateSuccess);
    store_->SetParaStatus(kMacs[2], OperateFail);
    report.Update(*store_);
    EXPECT_TRUE(report.AllFinal());
    const std::vector<BatchRow> failed = report.FailedRows();
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].mac, kMacs[1]);
    EXPECT_EQ(failed[1].mac, kMacs[2]);
}

TEST_F(BatchReportTest, KindsOnlyWaitForTheFilesTheySend) {
    BatchReport report;
    BatchRow logoOnly;
    logoOnly.mac = kMacs[0];
    logoOnly.kind = 1;
    report.AddRow(logoOnly);
    store_->SetLogStatus(kMacs[0], OperateSuccess);
    store_->SetParaStatus(kMacs[0], Operating); // another batch's file
    report.Update(*store_);
    EXPECT_TRUE(report.AllFinal());
    EXPECT_EQ(report.SucceededCount(), 1);
}

TEST_F(BatchReportTest, BothFilesCarryTheRowsAndNoSecret) {
    BatchReport report = ThreeDevices();
    store_->SetLogStatus(kMacs[0], OperateSuccess);
    store_->SetParaStatus(kMacs[0], OperateSuccess);
    report.Update(*store_);
    std::string jsonPath;
    ASSERT_TRUE(report.Write(dir_->path(), &jsonPath));
    ASSERT_TRUE(jsonPath.size() > 5 && jsonPath.substr(jsonPath.size() - 5) == ".json");
    const std::string csvPath = jsonPath.substr(0, jsonPath.size() - 5) + ".csv";
    EXPECT_NE(jsonPath.find("/Log/"), std::string::npos);
    EXPECT_NE(jsonPath.find("/batch-"), std::string::npos);

    for (const std::string& path : {jsonPath, csvPath}) {
        SCOPED_TRACE(path);
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        const std::string text = qvtest::ReadFileBytes(path);
        for (const char* secret : kSecrets)
            EXPECT_EQ(text.find(secret), std::string::npos) << secret;
        EXPECT_NE(text.find(kAbcSha256), std::string::npos);
        EXPECT_NE(text.find("zoë@isp"), std::string::npos);
    }

    const std::string csv = qvtest::ReadFileBytes(csvPath);
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF\"MAC\",\"Kind\",", 0), 0u);
    EXPECT_NE(csv.find("\"'=HYPERLINK(\"\"x\"\"); ; INTERNET_R_VID_300\""), std::string::npos)
        << "a formula-like value is never a formula";

    const QJsonObject top =
        QJsonDocument::fromJson(QByteArray::fromStdString(qvtest::ReadFileBytes(jsonPath)))
            .object();
    const QJsonArray devices = top.value(QStringLiteral("devices")).toArray();
    ASSERT_EQ(devices.size(), 3);
    const QJsonObject first = devices.at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("logoBytes")).toInt(), 3);
    EXPECT_EQ(first.value(QStringLiteral("configSha256")).toString(), QLatin1String(kEmptySha256));
    EXPECT_EQ(first.value(QStringLiteral("logoStatus")).toString(),
              QStringLiteral("OperateSuccess"));
    const QJsonArray wans = first.value(QStringLiteral("wanNames")).toArray();
    ASSERT_EQ(wans.size(), 3) << "WAN 1 to the last one in use, positions kept";
    EXPECT_EQ(wans.at(1).toString(), QString());
    EXPECT_EQ(first.value(QStringLiteral("vlanIds")).toArray().at(2).toString(),
              QStringLiteral("300"));
    EXPECT_EQ(devices.at(1).toObject().value(QStringLiteral("configStatus")).toString(),
              QStringLiteral("Operating"));

    // A second batch in the same second keeps its own files.
    std::string second;
    ASSERT_TRUE(report.Write(dir_->path(), &second));
    EXPECT_NE(second, jsonPath);
    EXPECT_EQ(qvtest::ReadFileBytes(second), qvtest::ReadFileBytes(jsonPath));
}

TEST_F(BatchReportTest, AReportReadsBackForARetry) {
    BatchReport report = ThreeDevices();
    store_->SetLogStatus(kMacs[1], TransmitFail);
    store_->SetParaStatus(kMacs[1], TransmitFail);
    report.Update(*store_);
    std::string path;
    ASSERT_TRUE(report.Write(dir_->path(), &path));

    BatchReport back;
    std::string error;
    ASSERT_TRUE(BatchReport::ReadJson(path, back, error)) << error;
    ASSERT_EQ(back.Rows().size(), 3u);
    const BatchRow& row = back.Rows()[0];
    EXPECT_EQ(row.mac, kMacs[0]);
    EXPECT_EQ(row.kind, 3);
    EXPECT_EQ(row.logo.path, dir_->file("logo.jpg"));
    EXPECT_EQ(row.logo.bytes, 3);
    EXPECT_EQ(row.logo.sha256, kAbcSha256);
    EXPECT_EQ(row.loid, "Zürich-测试, \"A\"");
    const std::vector<BatchRow> failed = back.FailedRows();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].mac, kMacs[1]);
    EXPECT_EQ(back.JsonText(), report.JsonText());
}

TEST_F(BatchReportTest, WhatIsNotAReportIsRefused) {
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"not json", "MAC,Kind\n"},
        {"other json", "{\"devices\": []}"},
        {"bad mac", "{\"format\":\"quorvantix-batch-report\",\"version\":1,"
                    "\"devices\":[{\"mac\":\"x\",\"kind\":1}]}"},
        {"bad kind", "{\"format\":\"quorvantix-batch-report\",\"version\":1,"
                     "\"devices\":[{\"mac\":\"02:00:00:00:00:01\",\"kind\":9}]}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir_->write("r.json", c.text);
        BatchReport report;
        std::string error;
        EXPECT_FALSE(BatchReport::ReadJson(dir_->file("r.json"), report, error));
        EXPECT_FALSE(error.empty());
    }
    BatchReport report;
    std::string error;
    EXPECT_FALSE(BatchReport::ReadJson(dir_->file("ModifyXml"), report, error));
}

std::vector<std::vector<std::string>> SplitTabs(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            cells.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST_F(BatchReportTest, LibreOfficeOpensTheCsvWithItsColumnsAndCharacters) {
    if (!std::filesystem::exists("/usr/bin/soffice"))
        GTEST_SKIP() << "LibreOffice is not installed";
    BatchReport report = ThreeDevices();
    report.Update(*store_);
    std::string jsonPath;
    ASSERT_TRUE(report.Write(dir_->path(), &jsonPath));
    const std::string csvPath = jsonPath.substr(0, jsonPath.size() - 5) + ".csv";
    std::filesystem::copy_file(csvPath, dir_->file("in.csv"));

    // Read as UTF-8 comma-separated text, written back tab-separated in UTF-8,
    // so each cell Calc made can be compared.
    const std::string out = dir_->file("lo");
    const std::string command =
        "cd '" + dir_->path() + "' && HOME='" + dir_->path() +
        "' timeout 180 soffice --headless --norestore '-env:UserInstallation=file://" +
        dir_->path() +
        "profile' --infilter='CSV:44,34,76' --convert-to "
        "'csv:Text - txt - csv (StarCalc):9,0,76' --outdir '" +
        out + "' in.csv >/dev/null 2>&1";
    ASSERT_TRUE(qvtest::RunCommand(command));
    const auto rows = SplitTabs(qvtest::ReadFileBytes(out + "/in.csv"));
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& row : rows)
        EXPECT_EQ(row.size(), 19u);
    EXPECT_EQ(rows[0][0], "MAC") << "the byte-order mark is not part of the first header";
    EXPECT_EQ(rows[0][11], "LOID");
    EXPECT_EQ(rows[0][18], "Config status");
    EXPECT_EQ(rows[1][0], kMacs[0]);
    EXPECT_EQ(rows[1][4], kAbcSha256);
    EXPECT_EQ(rows[1][8], "'=HYPERLINK(\"x\"); ; INTERNET_R_VID_300");
    EXPECT_EQ(rows[1][10], "zoë@isp; ; ");
    EXPECT_EQ(rows[1][11], "Zürich-测试, \"A\"");
    EXPECT_EQ(rows[1][17], "Operating");
    EXPECT_EQ(rows[3][0], kMacs[2]);
}

} // namespace
