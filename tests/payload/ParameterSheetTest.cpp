#include "payload/ParameterSheet.h"
#include "payload/ConfigXml.h"
#include "records/CSqlManagement.h"
#include "tests/support/TestSupport.h"
#include "tests/xls/SheetTools.h"
#include "xls/XlsWorkbook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace sheettest;

namespace {

DeviceParams TwoWanTemplate() {
    DeviceParams t{};
    ZeroDeviceParams(t);
    t.wanCount = 2;
    CopyToField(t.wanName[0], "1_INTERNET_R_VID_10");
    CopyToField(t.vid[0], "10");
    CopyToField(t.channelMode[0], "2");
    CopyToField(t.pppUser[0], "user0");
    CopyToField(t.pppPassword[0], "pass0");
    CopyToField(t.wanName[1], "2_TR069_B");
    CopyToField(t.vid[1], "0");
    CopyToField(t.channelMode[1], "1");
    CopyToField(t.loid, "loid0");
    CopyToField(t.loginPassword, "admin");
    t.dualBand = 1;
    return t;
}

const std::vector<std::string> kMacs = {"00:11:22:33:44:01", "00:11:22:33:44:02",
                                        "00:11:22:33:44:03"};

class ParameterSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("ExcelTemplate"));
        std::filesystem::create_directories(dir.file("ModifyExcel"));
        std::filesystem::copy_file(SourceDir() + "/resources/bin/ExcelTemplate/Template.xls",
                                   dir.file("ExcelTemplate/Template.xls"));
        store = std::make_unique<CSqlManagement>(dir.path());
        SetWlanColumns(false);
    }
    static std::string SourceDir() { return qvtest::SourceDir(); }
    void AddDevice(const std::string& mac, const std::string& ssid2, const std::string& ssid5,
                   const std::string& key2 = "key2-12345", const std::string& key5 = "key5-12345") {
        // Stored as the store keeps fixed-width columns: blank-padded, NULL when empty.
        auto q = [](const std::string& s, size_t width) {
            return s.empty() ? std::string("NULL")
                             : "'" + s + std::string(width - s.size(), ' ') + "'";
        };
        ASSERT_TRUE(store->ExecuteSql(
            "INSERT INTO ap_info(mac,ap_para_status,ap_log_status,ap_ssid2,ap_ssid5,ap_wpakey2,"
            "ap_wpakey5) VALUES(" +
            q(mac, 18) + ",0,0," + q(ssid2, 33) + "," + q(ssid5, 33) + "," + q(key2, 64) + "," +
            q(key5, 64) + ")"));
    }
    std::vector<std::string> Row(const std::string& path, int row, int cols) {
        auto book = XlsWorkbook::Create();
        EXPECT_TRUE(book->Load(path));
        std::vector<std::string> out;
        for (int c = 0; c < cols; ++c)
            out.push_back(book->GetSheet(0)->ReadStr(row, c).value_or("<none>"));
        return out;
    }
    // A sheet made by LibreOffice from CSV lines, as an operator's edit.
    std::string SheetFromCsv(const std::string& csv) {
        if (!HaveLibreOffice())
            return {};
        dir.write("edit/sheet.csv", csv);
        return LibreOfficeToXls(dir.file("edit/sheet.csv"), dir.file("edit"));
    }
    qvtest::TempProgramDir dir;
    qvtest::RecordingMessageSink messages;
    std::unique_ptr<CSqlManagement> store;
};

} // namespace

TEST(ParameterSheetHeaders, FollowTheTemplateAndTheRadioFlag) {
    DeviceParams t = TwoWanTemplate();
    EXPECT_EQ(
        ParameterSheetHeaders(t, false),
        (std::vector<std::string>{"mac(*This column cannot be modified*)",
                                  "WanName1(*This column cannot be modified*)", "vid1", "pppUser1",
                                  "pppPassword1", "WanName2(*This column cannot be modified*)",
                                  "loid", "loidPassword", "ploamPassword", "loginPassword"}));
    std::vector<std::string> radio = ParameterSheetHeaders(t, true);
    EXPECT_EQ(std::vector<std::string>(radio.begin() + 6, radio.begin() + 10),
              (std::vector<std::string>{"ssid_5g", "wlanPsk_5g", "ssid_2.4g", "wlanPsk_2.4g"}));
    // A single-band template has one radio, the 2.4 GHz one, in its place.
    t.dualBand = 0;
    EXPECT_EQ(ParameterSheetHeaders(t, true),
              (std::vector<std::string>{
                  "mac(*This column cannot be modified*)",
                  "WanName1(*This column cannot be modified*)", "vid1", "pppUser1", "pppPassword1",
                  "WanName2(*This column cannot be modified*)", "ssid_2.4g", "wlanPsk_2.4g", "loid",
                  "loidPassword", "ploamPassword", "loginPassword"}));
}

TEST_F(ParameterSheetTest, SingleBandExportCarriesTheOneRadioAndReadsBack) {
    AddDevice(kMacs[0], "net24", "net5");
    AddDevice(kMacs[1], "two24", "two5", "key2-two-1", "key5-two-1");
    DeviceParams t = TwoWanTemplate();
    t.dualBand = 0;
    std::string path;
    ASSERT_TRUE(ExportParameterSheet(t, {kMacs[0], kMacs[1]}, path, *store));
    ASSERT_TRUE(WlanColumns());
    EXPECT_EQ(Row(path, 0, 12), ParameterSheetHeaders(t, true));
    EXPECT_EQ(Row(path, 1, 12), (std::vector<std::string>{kMacs[0], "1_INTERNET_R_VID_10", "10",
                                                          "user0", "pass0", "2_TR069_B", "net24",
                                                          "key2-12345", "loid0", "", "", "admin"}))
        << "the 5 GHz values are not exported for a single-band template";
    std::vector<DeviceParams> records;
    ASSERT_TRUE(ReadParameterSheet(path, t, 2, records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(FieldText(records[1].ssid24g), "two24");
    EXPECT_EQ(FieldText(records[1].wlanPsk24g), "key2-two-1");
    EXPECT_EQ(FieldText(records[1].ssid5g), "");
    EXPECT_EQ(FieldText(records[1].loid), "loid0");
    EXPECT_EQ(FieldText(records[1].loginPassword), "admin");
}

TEST_F(ParameterSheetTest, ExportWritesTheLayoutAndReadsBack) {
    AddDevice(kMacs[0], "net24", "net5");
    AddDevice(kMacs[2], "other24", "other5");
    DeviceParams t = TwoWanTemplate();
    std::string path;
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    ASSERT_TRUE(ExportParameterSheet(t, kMacs, path, *store, when));
    EXPECT_EQ(path, dir.file("ModifyExcel/ExcelFiels2026-03-04-05-06-07.xls"));
    EXPECT_TRUE(WlanColumns());
    const std::vector<std::string> headers = ParameterSheetHeaders(t, true);
    EXPECT_EQ(Row(path, 0, int(headers.size())), headers);
    EXPECT_EQ(Row(path, 1, 14),
              (std::vector<std::string>{kMacs[0], "1_INTERNET_R_VID_10", "10", "user0", "pass0",
                                        "2_TR069_B", "net5", "key5-12345", "net24", "key2-12345",
                                        "loid0", "", "", "admin"}));
    // A device without a stored row gets empty radio cells.
    EXPECT_EQ(Row(path, 2, 10)[6], "");

    std::vector<DeviceParams> records(1);
    ASSERT_TRUE(ReadParameterSheet(path, t, 3, records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(FieldText(records[2].mac), kMacs[2]);
    EXPECT_EQ(records[0].wanCount, 2);
    EXPECT_EQ(FieldText(records[0].vid[0]), "10");
    EXPECT_EQ(FieldText(records[0].pppUser[0]), "user0");
    EXPECT_EQ(FieldText(records[0].ssid5g), "net5");
    EXPECT_EQ(FieldText(records[2].ssid24g), "other24");
    EXPECT_EQ(FieldText(records[1].wlanPsk24g), "");
    EXPECT_EQ(FieldText(records[1].loginPassword), "admin");
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(ParameterSheetTest, LinkAtTheNextSheetNameIsReplacedNotFollowed) {
    AddDevice(kMacs[0], "net24", "net5");
    dir.write("secret", "root only\n");
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    const std::string next = dir.file("ModifyExcel/ExcelFiels2026-03-04-05-06-07.xls");
    ASSERT_EQ(::symlink(dir.file("secret").c_str(), next.c_str()), 0);
    const mode_t old = ::umask(0);
    std::string path;
    const bool exported = ExportParameterSheet(TwoWanTemplate(), kMacs, path, *store, when);
    ::umask(old);
    ASSERT_TRUE(exported);
    EXPECT_EQ(path, next);
    EXPECT_EQ(qvtest::ReadFileBytes(dir.file("secret")), "root only\n");
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u); // the stored Wi-Fi keys are in it
    EXPECT_EQ(Row(path, 1, 1)[0], kMacs[0]);
}

TEST_F(ParameterSheetTest, ACutTemplateValueIsNeverExported) {
    DeviceParams t = TwoWanTemplate();
    t.overflow.pppUser[0] = true;
    std::string path;
    EXPECT_FALSE(ExportParameterSheet(t, kMacs, path, *store));
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{
                  "The template's entry pppUser of WAN connection 1 is longer than 63 bytes!"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("ModifyExcel")));
}

TEST_F(ParameterSheetTest, ASheetOfAnotherTemplateIsRefusedByColumn) {
    AddDevice(kMacs[0], "net24", "net5");
    AddDevice(kMacs[1], "b24", "b5");
    AddDevice(kMacs[2], "c24", "c5");
    DeviceParams dual = TwoWanTemplate();
    DeviceParams single = TwoWanTemplate();
    single.dualBand = 0;
    DeviceParams oneWan = TwoWanTemplate();
    oneWan.wanCount = 1;
    int second = 0;
    // Exports the sheet from one template (with or without the radio columns),
    // optionally with one more header cell, as another process would find it.
    auto sheetOf = [&](const DeviceParams& t, bool radio, const std::string& extra) {
        if (!radio)
            store->ClearDevices();
        std::string path;
        EXPECT_TRUE(ExportParameterSheet(t, kMacs, path, *store,
                                         QDateTime(QDate(2026, 1, 1), QTime(0, 0, second++))));
        if (!extra.empty()) {
            auto book = XlsWorkbook::Create();
            EXPECT_TRUE(book->Load(path));
            EXPECT_TRUE(book->GetSheet(0)->WriteStr(0, 40, extra));
            EXPECT_TRUE(book->Save(path));
        }
        if (!radio)
            for (const std::string& mac : kMacs)
                AddDevice(mac, "x24", "x5");
        return path;
    };
    struct Case {
        const char* what;
        DeviceParams exportedFrom;
        bool radio;
        std::string extra;
        DeviceParams pushedWith;
        std::string message; // empty: read, radio columns as exported
    } cases[] = {
        {"the same dual-band template", dual, true, "", dual, ""},
        {"the same template, no radio columns", dual, false, "", dual, ""},
        {"single-band sheet, dual-band template", single, true, "", dual,
         "Column 7 of the parameter sheet's header is \"ssid_2.4g\" where this template has "
         "\"ssid_5g\"."},
        {"dual-band sheet, single-band template", dual, true, "", single,
         "Column 7 of the parameter sheet's header is \"ssid_5g\" where this template has "
         "\"ssid_2.4g\"."},
        {"one WAN connection fewer in the template", dual, false, "", oneWan,
         "Column 6 of the parameter sheet's header is \"WanName2(*This column cannot be "
         "modified*)\" where this template has \"loid\"."},
        {"a column added after the last", dual, true, "note", dual,
         "Column 41 of the parameter sheet's header is \"note\" where this template has "
         "nothing."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = sheetOf(c.exportedFrom, c.radio, c.extra);
        SetWlanColumns(!c.radio);
        messages.clear();
        std::vector<DeviceParams> records;
        EXPECT_EQ(ReadParameterSheetByMac(path, c.pushedWith, kMacs, records, true),
                  c.message.empty());
        if (c.message.empty()) {
            EXPECT_TRUE(messages.texts().empty());
            EXPECT_EQ(WlanColumns(), c.radio);
            ASSERT_EQ(records.size(), 3u);
            EXPECT_EQ(FieldText(records[0].loid), "loid0");
        } else {
            EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
            EXPECT_TRUE(records.empty());
        }
    }
}

TEST_F(ParameterSheetTest, RadioColumnsFollowTheFirstDeviceOnly) {
    AddDevice(kMacs[0], "only24", "");
    AddDevice(kMacs[1], "both24", "both5");
    std::string path;
    ASSERT_TRUE(ExportParameterSheet(TwoWanTemplate(), kMacs, path, *store));
    EXPECT_FALSE(WlanColumns());
    EXPECT_EQ(Row(path, 0, 7)[6], "loid");
    EXPECT_EQ(Row(path, 2, 7)[6], "loid0");
}

TEST_F(ParameterSheetTest, MissingFolderFailsWithTheLoadMessage) {
    std::filesystem::remove_all(dir.file("ModifyExcel"));
    std::string path;
    EXPECT_FALSE(ExportParameterSheet(TwoWanTemplate(), kMacs, path, *store));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Failed to load the excel file!"});
}

TEST_F(ParameterSheetTest, ExportKeepsTheTemplatesFormatsWidthsAndHelpSheet) {
    if (!HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    std::string path;
    ASSERT_TRUE(ExportParameterSheet(TwoWanTemplate(), kMacs, path, *store));
    const std::string probe = R"(
b = xlrd.open_workbook(path, formatting_info=True)
s = b.sheet_by_index(0)
def fmt(r, c):
    return b.format_map[b.xf_list[s.cell_xf_index(r, c)].format_key].format_str
def weight(r, c):
    return b.font_list[b.xf_list[s.cell_xf_index(r, c)].font_index].weight
print(b.sheet_names())
print([s.colinfo_map[c].width for c in (0, 1, 9, 48)])
if s.nrows > 1:
    print(weight(0, 0), weight(0, 9), weight(1, 0), fmt(0, 0), fmt(1, 0), fmt(3, 9))
else:
    print(weight(0, 0), weight(0, 48), fmt(0, 0))
h = b.sheet_by_index(1)
print(h.nrows, h.cell_value(0, 1), h.cell_value(3, 0))
)";
    std::string exported = XlrdRun(path, probe);
    std::string original = XlrdRun(dir.file("ExcelTemplate/Template.xls"), probe);
    // Widths and the Help sheet as in the template; written cells bold in the
    // header row and text below it.
    auto lines = [](const std::string& s) {
        std::vector<std::string> v;
        std::string line;
        for (char c : s) {
            if (c == '\n') {
                v.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        return v;
    };
    auto e = lines(exported), o = lines(original);
    ASSERT_EQ(e.size(), 4u) << exported;
    ASSERT_EQ(o.size(), 4u) << original;
    EXPECT_EQ(e[0], "['Parameters', 'Help']");
    EXPECT_EQ(e[1], o[1]);
    EXPECT_EQ(e[3], o[3]);
    EXPECT_EQ(e[2], "700 700 400 @ @ @");
    EXPECT_EQ(o[2], "700 700 @");
}

TEST_F(ParameterSheetTest, OperatorsLibreOfficeSaveReadsBack) {
    if (!HaveLibreOffice())
        GTEST_SKIP() << "LibreOffice is not installed";
    DeviceParams t = TwoWanTemplate();
    std::string path;
    ASSERT_TRUE(ExportParameterSheet(t, kMacs, path, *store));
    std::filesystem::create_directories(dir.file("saved"));
    std::string saved = LibreOfficeToXls(path, dir.file("saved"));
    ASSERT_FALSE(saved.empty());
    std::vector<DeviceParams> records;
    ASSERT_TRUE(ReadParameterSheetByMac(saved, t, kMacs, records));
    ASSERT_EQ(records.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(FieldText(records[k].mac), kMacs[k]);
        EXPECT_EQ(FieldText(records[k].pppPassword[0]), "pass0");
    }
}

TEST_F(ParameterSheetTest, HeaderScanAndMacMatching) {
    DeviceParams t = TwoWanTemplate();
    const std::string head =
        "mac(*This column cannot be modified*),WanName1,vid1,pppUser1,"
        "pppPassword1,WanName2,loid,loidPassword,ploamPassword,loginPassword\n";
    struct Case {
        const char* what;
        std::string csv;
        bool ok;
        std::vector<std::string> users; // pppUser1 per device, in device order
        std::string message;
    } cases[] = {
        {"rows in order",
         head + kMacs[0] + ",w,10,u1,p,w2,,,,a\n" + kMacs[1] + ",w,10,u2,p,w2,,,,a\n" + kMacs[2] +
             ",w,10,u3,p,w2,,,,a\n",
         true,
         {"u1", "u2", "u3"},
         ""},
        {"rows sorted the other way",
         head + kMacs[2] + ",w,10,u3,p,w2,,,,a\n" + kMacs[1] + ",w,10,u2,p,w2,,,,a\n " + kMacs[0] +
             " ,w,10,u1,p,w2,,,,a\n",
         true,
         {"u1", "u2", "u3"},
         ""},
        {"a device without a row",
         head + kMacs[0] + ",w,10,u1,p,w2,,,,a\n" + kMacs[2] + ",w,10,u3,p,w2,,,,a\n",
         false,
         {},
         "The MAC:" + kMacs[1] + " has no row in the parameter sheet."},
        {"a MAC twice",
         head + kMacs[0] + ",w,10,u1,p,w2,,,,a\n" + kMacs[1] + ",w,10,u2,p,w2,,,,a\n" + kMacs[1] +
             ",w,10,u9,p,w2,,,,a\n" + kMacs[2] + ",w,10,u3,p,w2,,,,a\n",
         false,
         {},
         "The MAC:" + kMacs[1] + " appears in more than one row of the parameter sheet."},
        {"upper-case MAC header",
         "MAC" + head.substr(3) + kMacs[0] + ",w,10,u1,p,w2,,,,a\n",
         false,
         {},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string sheet = SheetFromCsv(c.csv);
        if (sheet.empty())
            GTEST_SKIP() << "LibreOffice is not installed";
        messages.clear();
        std::vector<DeviceParams> records;
        ASSERT_EQ(ReadParameterSheetByMac(sheet, t, kMacs, records), c.ok);
        if (c.ok) {
            ASSERT_EQ(records.size(), 3u);
            for (size_t k = 0; k < 3; ++k) {
                EXPECT_EQ(FieldText(records[k].mac), kMacs[k]);
                EXPECT_EQ(FieldText(records[k].pppUser[0]), c.users[k]);
            }
        } else if (!c.message.empty()) {
            EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message});
        }
    }
    // A deleted vid column: no WAN group matches, the rest reads from the wrong places.
    std::string sheet = SheetFromCsv("mac,WanName1,pppUser1,pppPassword1,WanName2,loid\n" +
                                     kMacs[0] + ",w,u1,p,w2,l\n");
    ASSERT_FALSE(sheet.empty());
    std::vector<DeviceParams> records;
    ASSERT_TRUE(ReadParameterSheet(sheet, t, 1, records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].wanCount, 0);
    EXPECT_EQ(FieldText(records[0].loid), "w");
}

TEST_F(ParameterSheetTest, LongCellsAreCutButStayMarked) {
    DeviceParams t = TwoWanTemplate();
    std::string path;
    ASSERT_TRUE(ExportParameterSheet(t, {kMacs[0]}, path, *store));
    auto book = XlsWorkbook::Create();
    ASSERT_TRUE(book->Load(path));
    std::string longUser;
    for (int i = 0; i < 50; ++i)
        longUser += "用"; // 150 bytes
    book->GetSheet(0)->WriteStr(1, 3, longUser);
    book->GetSheet(0)->WriteStr(1, 9, std::string(40, 'x'));
    ASSERT_TRUE(book->Save(path));
    bool cut = false;
    EXPECT_EQ(ReadCell(*book->GetSheet(0), 1, 3, &cut).size(), 126u);
    EXPECT_TRUE(cut);
    std::vector<DeviceParams> records;
    ASSERT_TRUE(ReadParameterSheet(path, t, 1, records));
    EXPECT_TRUE(records[0].overflow.pppUser[0]);
    EXPECT_LE(FieldText(records[0].pppUser[0]).size(), 63u);
    EXPECT_TRUE(records[0].overflow.loginPassword);
    EXPECT_FALSE(records[0].overflow.vid[0]);
}

// The whole road: export, the operator sorts the rows the other way, the
// submission reads the sheet through CParameterSheet and each device's
// configuration copy carries its own PPPoE account.
TEST_F(ParameterSheetTest, SortedRowsReachTheRightDevicesThroughTheSubmission) {
    dir.write("t.xml", "<Value Name=\"LOID_OLD\" Value=\"theloid\"/>\r\n"
                       "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>\r\n"
                       "<ATM_VC_TBL>\r\n"
                       "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
                       "  <Value Name=\"vid\" Value=\"41\"/>\r\n"
                       "  <Value Name=\"pppUser\" Value=\"alice\"/>\r\n"
                       "  <Value Name=\"pppPasswd\" Value=\"secret\"/>\r\n"
                       "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n");
    dir.write("ModifyXml/.keep", "");
    for (const std::string& mac : kMacs)
        AddDevice(mac, "", "");
    SubmissionInput input;
    input.devices = kMacs;
    input.templatePath = dir.file("t.xml");
    ASSERT_TRUE(ParseTemplateXml(input.templatePath, input.templateParams));
    std::string exported;
    ASSERT_TRUE(ExportParameterSheet(input.templateParams, kMacs, exported, *store));

    // Rows 1..3 rewritten in reverse order, each with its device's own account.
    auto book = XlsWorkbook::Create();
    ASSERT_TRUE(book->Load(exported));
    for (int k = 0; k < 3; ++k) {
        const int row = 3 - k;
        book->GetSheet(0)->WriteStr(row, 0, kMacs[k]);
        book->GetSheet(0)->WriteStr(row, 3, "user-of-" + std::to_string(k));
    }
    input.sheetPath = dir.file("ModifyExcel/sorted.xls");
    ASSERT_TRUE(book->Save(input.sheetPath));

    CParameterSheet sheet(kMacs);
    std::vector<TransferJob> jobs;
    CParameterSubmission submission(
        *store, {1, 2, 3, 4, 5, 6},
        [&](const TransferJob& job) {
            jobs.push_back(job);
            return true;
        },
        &sheet);
    SubmissionResult result = submission.Submit(input);
    ASSERT_EQ(result.outcome, SubmissionOutcome::Started)
        << ::testing::PrintToString(messages.texts());
    ASSERT_EQ(result.configPaths.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        std::string copy = qvtest::ReadFileBytes(result.configPaths[size_t(k)]);
        EXPECT_NE(copy.find("Value=\"user-of-" + std::to_string(k) + "\""), std::string::npos)
            << kMacs[size_t(k)] << "\n"
            << copy;
    }
}

// A sheet that lost a device's row or carries one twice is refused with the
// message that names the MAC, and only that one: no general message follows.
TEST_F(ParameterSheetTest, SubmissionShowsOnlyTheRowMessage) {
    dir.write("t.xml", "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>\r\n");
    dir.write("ModifyXml/.keep", "");
    SubmissionInput input;
    input.devices = kMacs;
    input.templatePath = dir.file("t.xml");
    ASSERT_TRUE(ParseTemplateXml(input.templatePath, input.templateParams));
    std::string exported;
    ASSERT_TRUE(ExportParameterSheet(input.templateParams, kMacs, exported, *store));
    struct Case {
        const char* what;
        std::string row2Mac; // what the operator left in row 2's MAC cell
        std::string message;
    } cases[] = {
        {"a row lost", "00:11:22:33:44:99",
         "The MAC:" + kMacs[1] + " has no row in the parameter sheet."},
        {"a row doubled", kMacs[0],
         "The MAC:" + kMacs[0] + " appears in more than one row of the parameter sheet."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto book = XlsWorkbook::Create();
        ASSERT_TRUE(book->Load(exported));
        book->GetSheet(0)->WriteStr(2, 0, c.row2Mac);
        input.sheetPath = dir.file("ModifyExcel/edited.xls");
        ASSERT_TRUE(book->Save(input.sheetPath));
        CParameterSheet sheet(kMacs);
        CParameterSubmission submission(
            *store, {1, 2, 3, 4, 5, 6}, [](const TransferJob&) { return true; }, &sheet);
        messages.clear();
        const SubmissionResult result = submission.Submit(input);
        EXPECT_EQ(result.outcome, SubmissionOutcome::Refused);
        EXPECT_EQ(messages.texts(),
                  (std::vector<std::string>{"Are you sure you want to submit configration?",
                                            c.message}));
    }
    // A sheet that cannot be read at all still gets the general message.
    input.sheetPath = dir.file("ModifyExcel/missing.xls");
    CParameterSheet sheet(kMacs);
    CParameterSubmission submission(
        *store, {1, 2, 3, 4, 5, 6}, [](const TransferJob&) { return true; }, &sheet);
    messages.clear();
    submission.Submit(input);
    ASSERT_FALSE(messages.texts().empty());
    EXPECT_EQ(messages.texts().back(), "Obtaining excel format information is incorrect!");
}
