#include "base/ProgramDirectory.h"
#include "payload/ConfigXml.h"
#include "payload/Submission.h"
#include "records/CSqlManagement.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using qvtest::RecordingMessageSink;
using qvtest::TempProgramDir;

const std::vector<std::string> kMacs = {"00:1A:2B:3C:4D:01", "00:1A:2B:3C:4D:02",
                                        "00:1A:2B:3C:4D:03"};
const std::array<std::uint8_t, 6> kAdapter = {0x02, 0, 0, 0, 0, 0x99};

class FakeSheet : public ParameterSheetSource {
public:
    bool readOk = true;
    bool openOk = true;
    bool wlan = false;
    std::vector<DeviceParams> rows;
    int reads = 0;
    std::vector<std::string> opened;

    bool ReadSheet(const std::string&, const DeviceParams&, int,
                   std::vector<DeviceParams>& records) override {
        ++reads;
        records = rows;
        return readOk;
    }
    bool WlanColumns() const override { return wlan; }
    bool OpenSheet(const std::string& path) override {
        opened.push_back(path);
        return openOk;
    }
};

DeviceParams Row(const std::string& mac, const char* loid) {
    DeviceParams r{};
    CopyToField(r.mac, mac);
    CopyToField(r.loid, loid);
    CopyToField(r.loginPassword, "admin");
    return r;
}

class SubmissionTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = std::make_unique<TempProgramDir>();
        dir_->write("ModifyXml/.keep", "");
        store_ = std::make_unique<CSqlManagement>(dir_->path());
        ASSERT_TRUE(store_->IsOpen());
        for (const auto& mac : kMacs) {
            DiscoveredDevice d{};
            std::strncpy(d.macText, mac.c_str(), sizeof d.macText - 1);
            std::strncpy(d.time, "2026-12-10 04:00:00", sizeof d.time - 1);
            ASSERT_TRUE(store_->SaveDiscoveredDevice(d));
        }
        dir_->write("t.xml", "<Value Name=\"LOID\" Value=\"x\"/>\n");
        dir_->write("logo.jpg", "jpeg bytes");
    }

    CParameterSubmission Make(ParameterSheetSource* sheet = nullptr) {
        return CParameterSubmission(
            *store_, kAdapter,
            [this](const TransferJob& job) {
                jobs_.push_back(job);
                return true;
            },
            sheet);
    }

    SubmissionInput Input(bool logo, bool config, bool sheet = false) {
        SubmissionInput in;
        in.devices = kMacs;
        if (logo)
            in.picturePath = dir_->file("logo.jpg");
        if (config)
            in.templatePath = dir_->file("t.xml");
        if (sheet)
            in.sheetPath = dir_->file("sheet.xls");
        return in;
    }

    // Nothing written, no status changed, no job.
    void ExpectUntouched() {
        EXPECT_TRUE(jobs_.empty());
        for (const auto& mac : kMacs) {
            EXPECT_EQ(store_->GetLogStatus(mac), 0) << mac;
            EXPECT_EQ(store_->GetParaStatus(mac), 0) << mac;
            EXPECT_FALSE(std::filesystem::exists(DeviceXmlPath(mac))) << mac;
        }
    }

    std::unique_ptr<TempProgramDir> dir_;
    std::unique_ptr<CSqlManagement> store_;
    std::vector<TransferJob> jobs_;
    RecordingMessageSink sink_;
};

struct KindCase {
    const char* name;
    bool logo;
    bool config;
    int kind;
    std::string question;
    int logoStatus;
    int paraStatus;
};

class Kinds : public SubmissionTest, public testing::WithParamInterface<KindCase> {};

TEST_P(Kinds, DecidesAsksMarksAndStarts) {
    const KindCase& c = GetParam();
    CParameterSubmission s = Make();
    SubmissionResult r = s.Submit(Input(c.logo, c.config));
    ASSERT_EQ(r.outcome, SubmissionOutcome::Started);
    EXPECT_EQ(r.kind, c.kind);
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_EQ(sink_.messages()[0].text, c.question);
    EXPECT_EQ(sink_.messages()[0].icon, MessageIcon::Question);
    EXPECT_EQ(sink_.messages()[0].caption, "");
    ASSERT_EQ(jobs_.size(), kMacs.size());
    EXPECT_EQ(r.jobsStarted, 3);
    for (std::size_t k = 0; k < kMacs.size(); ++k) {
        const TransferJob& j = jobs_[k];
        std::uint8_t mac[6];
        ASSERT_TRUE(ParseMacText(kMacs[k], mac));
        EXPECT_EQ(std::memcmp(j.deviceMac, mac, 6), 0);
        EXPECT_EQ(std::memcmp(j.adapterMac, kAdapter.data(), 6), 0);
        EXPECT_EQ(j.etherType[0], 0x62);
        EXPECT_EQ(j.kind, c.kind);
        EXPECT_EQ(std::string(j.logoPath), c.logo ? dir_->file("logo.jpg") : "");
        EXPECT_EQ(std::string(j.configPath), c.config ? DeviceXmlPath(kMacs[k]) : "");
        EXPECT_EQ(store_->GetLogStatus(kMacs[k]), c.logoStatus);
        EXPECT_EQ(store_->GetParaStatus(kMacs[k]), c.paraStatus);
        // Without a sheet each device gets the template unchanged.
        EXPECT_EQ(std::filesystem::exists(DeviceXmlPath(kMacs[k])), c.config);
        if (c.config) {
            EXPECT_EQ(qvtest::ReadFileBytes(DeviceXmlPath(kMacs[k])), dir_->read("t.xml"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Kinds,
    testing::Values(KindCase{"Both", true, true, 3,
                             "Are you sure you want to submit logo and configration?", 1, 1},
                    KindCase{"Logo", true, false, 1, "Are you sure you want to submit logo?", 1, 0},
                    KindCase{"Config", false, true, 2,
                             "Are you sure you want to submit configration?", 0, 1}),
    [](const testing::TestParamInfo<KindCase>& i) { return std::string(i.param.name); });

struct RefusalCase {
    const char* name;
    std::string picture; // relative to the program folder, "" for none
    std::string xml;
    std::string sheet;
    std::string message;
    std::string caption;
};

class Refusals : public SubmissionTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, InOrderAndNothingChanges) {
    const RefusalCase& c = GetParam();
    SubmissionInput in;
    in.devices = kMacs;
    auto path = [this](const std::string& p) { return p.empty() ? p : dir_->file(p); };
    in.picturePath = path(c.picture);
    in.templatePath = path(c.xml);
    in.sheetPath = path(c.sheet);
    FakeSheet sheet;
    CParameterSubmission s = Make(&sheet);
    SubmissionResult r = s.Submit(in);
    EXPECT_EQ(r.outcome, SubmissionOutcome::Refused);
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_EQ(sink_.messages()[0].text, c.message);
    EXPECT_EQ(sink_.messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(sink_.messages()[0].caption, c.caption);
    EXPECT_EQ(sheet.reads, 0);
    ExpectUntouched();
}

INSTANTIATE_TEST_SUITE_P(Table, Refusals,
                         testing::Values(RefusalCase{"JpgFirst", "LOGO.JPG", "t.XML", "s.XLS",
                                                     "Modify file is not .jpg file!", kAppCaption},
                                         RefusalCase{"XmlSecond", "logo.jpg", "t.XML", "s.XLS",
                                                     "Modify file is not .xml file!", kAppCaption},
                                         RefusalCase{"XlsThird", "", "t.xml", "s.xlsx",
                                                     "Modify file is not .xls file!", kAppCaption},
                                         RefusalCase{"NothingChosen", "", "", "s.xls",
                                                     "Please choose xml or logo info!", ""}),
                         [](const testing::TestParamInfo<RefusalCase>& i) {
                             return std::string(i.param.name);
                         });

TEST_F(SubmissionTest, CancelChangesNothing) {
    for (auto [logo, config] : {std::pair{true, true}, {true, false}, {false, true}}) {
        sink_.clear();
        sink_.setNextAnswer(MessageAnswer::Cancel);
        FakeSheet sheet;
        CParameterSubmission s = Make(&sheet);
        SubmissionResult r = s.Submit(Input(logo, config, true));
        EXPECT_EQ(r.outcome, SubmissionOutcome::Cancelled);
        EXPECT_EQ(sink_.messages().size(), 1u);
        EXPECT_EQ(sheet.reads, 0);
        ExpectUntouched();
    }
}

TEST_F(SubmissionTest, LogoOnlyNeverReadsSheet) {
    FakeSheet sheet;
    CParameterSubmission s = Make(&sheet);
    SubmissionResult r = s.Submit(Input(true, false, true));
    EXPECT_EQ(r.kind, 1);
    EXPECT_EQ(sheet.reads, 0);
    EXPECT_EQ(jobs_.size(), 3u);
}

TEST_F(SubmissionTest, UnreadableSheetRefused) {
    FakeSheet sheet;
    sheet.readOk = false;
    CParameterSubmission s = Make(&sheet);
    SubmissionResult r = s.Submit(Input(false, true, true));
    EXPECT_EQ(r.outcome, SubmissionOutcome::Refused);
    EXPECT_EQ(sink_.texts(),
              (std::vector<std::string>{"Are you sure you want to submit configration?",
                                        "Obtaining excel format information is incorrect!"}));
    EXPECT_EQ(sink_.messages()[1].caption, "");
    ExpectUntouched();
}

TEST_F(SubmissionTest, SheetFailingOnThirdRowReopensAndChangesNothing) {
    for (int kind : {2, 3}) {
        for (bool openOk : {true, false}) {
            sink_.clear();
            FakeSheet sheet;
            sheet.openOk = openOk;
            sheet.rows = {Row(kMacs[0], "a"), Row(kMacs[1], "b"), Row(kMacs[2], "bad loid")};
            CParameterSubmission s = Make(&sheet);
            SubmissionResult r = s.Submit(Input(kind == 3, true, true));
            EXPECT_EQ(r.outcome, SubmissionOutcome::Refused);
            EXPECT_EQ(sheet.opened, std::vector<std::string>{dir_->file("sheet.xls")});
            auto m = sink_.messages();
            ASSERT_EQ(m.size(), openOk ? 2u : 3u);
            EXPECT_EQ(m[1].text.rfind("The MAC:" + kMacs[2] + " loidis is invalid", 0), 0u);
            if (!openOk) {
                EXPECT_EQ(m[2].text, "Unable to open excel file!");
                EXPECT_EQ(m[2].caption, kind == 3 ? std::string(kAppCaption) : "");
            }
            ExpectUntouched();
        }
    }
}

TEST_F(SubmissionTest, ValidSheetRewritesEachDeviceFromItsRow) {
    FakeSheet sheet;
    sheet.rows = {Row(kMacs[0], "a"), Row(kMacs[1], "b"), Row(kMacs[2], "c")};
    CParameterSubmission s = Make(&sheet);
    SubmissionInput in = Input(false, true, true);
    ParseTemplateXml(in.templatePath, in.templateParams);
    SubmissionResult r = s.Submit(in);
    ASSERT_EQ(r.outcome, SubmissionOutcome::Started);
    const char* loids[] = {"a", "b", "c"};
    for (std::size_t k = 0; k < kMacs.size(); ++k) {
        EXPECT_EQ(qvtest::ReadFileBytes(DeviceXmlPath(kMacs[k])),
                  std::string("  <Value Name=\"LOID\" Value=\"") + loids[k] + "\"/>\r\n");
        EXPECT_EQ(store_->GetParaStatus(kMacs[k]), 1);
    }
}

TEST_F(SubmissionTest, WriteCopiesWritesWhatStartWritesAndStartsNothing) {
    store_->SetLogStatus(kMacs[1], OperateFail); // a status of an earlier batch stays
    FakeSheet sheet;
    sheet.rows = {Row(kMacs[0], "a"), Row(kMacs[1], "b"), Row(kMacs[2], "c")};
    CParameterSubmission s = Make(&sheet);
    SubmissionInput in = Input(true, true, true);
    ParseTemplateXml(in.templatePath, in.templateParams);
    ASSERT_EQ(s.Prepare(in), 3);
    const auto expectNoStatus = [this] {
        EXPECT_TRUE(jobs_.empty());
        for (const auto& mac : kMacs) {
            EXPECT_EQ(store_->GetLogStatus(mac), mac == kMacs[1] ? OperateFail : 0) << mac;
            EXPECT_EQ(store_->GetParaStatus(mac), 0) << mac;
        }
    };

    // Into another folder: ModifyXml/ stays empty.
    std::filesystem::create_directories(dir_->file("preview"));
    SubmissionResult other;
    ASSERT_TRUE(s.WriteCopies(kMacs, other, dir_->file("preview")));
    expectNoStatus();
    EXPECT_EQ(other.jobsStarted, 0);
    ASSERT_EQ(other.batch.Rows().size(), 3u);
    for (std::size_t k = 0; k < kMacs.size(); ++k) {
        EXPECT_FALSE(std::filesystem::exists(DeviceXmlPath(kMacs[k])));
        EXPECT_EQ(other.configPaths[k], DeviceXmlPath(kMacs[k], dir_->file("preview")));
        EXPECT_EQ(other.batch.Rows()[k].config.path, other.configPaths[k]);
        EXPECT_EQ(other.batch.Rows()[k].logo.path, dir_->file("logo.jpg"));
    }

    // Into ModifyXml/, then the real start: the same bytes, now sent.
    SubmissionResult dry;
    ASSERT_TRUE(s.WriteCopies(kMacs, dry));
    expectNoStatus();
    std::vector<std::string> written;
    for (std::size_t k = 0; k < kMacs.size(); ++k) {
        EXPECT_EQ(dry.configPaths[k], DeviceXmlPath(kMacs[k]));
        written.push_back(qvtest::ReadFileBytes(dry.configPaths[k]));
        EXPECT_EQ(written.back(), qvtest::ReadFileBytes(other.configPaths[k]));
        EXPECT_EQ(dry.batch.Rows()[k].config.sha256, other.batch.Rows()[k].config.sha256);
    }
    EXPECT_EQ(written[1], "  <Value Name=\"LOID\" Value=\"b\"/>\r\n");
    std::filesystem::remove_all(dir_->file("ModifyXml"));
    std::filesystem::create_directories(dir_->file("ModifyXml"));
    SubmissionResult sent;
    ASSERT_TRUE(s.Start(kMacs, sent));
    ASSERT_EQ(jobs_.size(), 3u);
    for (std::size_t k = 0; k < kMacs.size(); ++k) {
        EXPECT_EQ(qvtest::ReadFileBytes(sent.configPaths[k]), written[k]);
        EXPECT_EQ(std::string(jobs_[k].configPath), dry.configPaths[k]);
        EXPECT_EQ(store_->GetParaStatus(kMacs[k]), Operating);
    }

    // Refused as Start refuses: nothing written.
    SubmissionResult refused;
    std::filesystem::remove(other.configPaths[0]);
    EXPECT_FALSE(s.WriteCopies({kMacs[0], "00:1A:2B"}, refused, dir_->file("preview")));
    EXPECT_FALSE(std::filesystem::exists(other.configPaths[0]));
}

TEST_F(SubmissionTest, FailedCopyStillStartsTransfer) {
    std::filesystem::remove_all(dir_->file("ModifyXml"));
    FakeSheet sheet;
    sheet.rows = {Row(kMacs[0], "a"), Row(kMacs[1], "b"), Row(kMacs[2], "c")};
    CParameterSubmission s = Make(&sheet);
    SubmissionResult r = s.Submit(Input(false, true, true));
    EXPECT_EQ(r.outcome, SubmissionOutcome::Started);
    EXPECT_EQ(jobs_.size(), 3u);
    auto texts = sink_.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Modify New Xml file fail!"), 3);
}

TEST_F(SubmissionTest, MalformedMacRefusesWholeBatch) {
    CParameterSubmission s = Make();
    SubmissionInput in = Input(true, true);
    in.devices.push_back("00:1A:2B:3C:4D");
    SubmissionResult r = s.Submit(in);
    EXPECT_EQ(r.outcome, SubmissionOutcome::Refused);
    ExpectUntouched();
}

TEST_F(SubmissionTest, NothingIsCutOnTheWayToTheDevices) {
    const auto pictureOf = [this](std::size_t bytes) {
        return dir_->path() + std::string(bytes - dir_->path().size() - 4, 'p') + ".jpg";
    };
    const std::string longPicture = pictureOf(260);
    DeviceParams cutTemplate{};
    cutTemplate.wanCount = 1;
    CopyToField(cutTemplate.channelMode[0], "2");
    cutTemplate.overflow.pppUser[0] = true; // as ParseTemplateXml marks a 64-byte user
    const std::string longHome = dir_->path() + std::string(250, 'h') + "/";
    struct Case {
        const char* what;
        bool logo, config, sheet;
        std::string picturePath; // replaces the logo's path when not empty
        DeviceParams templateParams;
        std::string home; // program folder while preparing, when not empty
        std::string message;
    } cases[] = {
        {"a 64-byte PPPoE user in the template", false, true, true, "", cutTemplate, "",
         "The template's entry pppUser of WAN connection 1 is longer than 63 bytes!"},
        {"a picture path of 260 bytes", true, false, false, longPicture, DeviceParams{}, "",
         "The path " + longPicture + " is longer than 259 bytes!"},
        {"device copies that would not fit", false, true, false, "", DeviceParams{}, longHome,
         "The path " + longHome + "ModifyXml/001A2B3C4D01.xml is longer than 259 bytes!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sink_.clear();
        FakeSheet sheet;
        sheet.rows = {Row(kMacs[0], "a"), Row(kMacs[1], "b"), Row(kMacs[2], "c")};
        SubmissionInput in = Input(c.logo, c.config, c.sheet);
        if (!c.picturePath.empty())
            in.picturePath = c.picturePath;
        in.templateParams = c.templateParams;
        if (!c.home.empty())
            SetProgramDirectory(c.home);
        CParameterSubmission s = Make(&sheet);
        SubmissionResult r = s.Submit(in);
        SetProgramDirectory(dir_->path());
        EXPECT_EQ(r.outcome, SubmissionOutcome::Refused);
        ASSERT_EQ(sink_.messages().size(), 2u); // the question, then the refusal
        EXPECT_EQ(sink_.messages()[1].text, c.message);
        EXPECT_EQ(sheet.reads, 0);
        ExpectUntouched();
    }
    // At the limit the path is taken whole.
    sink_.clear();
    SubmissionInput in = Input(true, false);
    in.picturePath = pictureOf(259);
    EXPECT_EQ(Make().Submit(in).outcome, SubmissionOutcome::Started);
    ASSERT_EQ(jobs_.size(), 3u);
    EXPECT_EQ(std::string(jobs_[0].logoPath), in.picturePath);
}

} // namespace
