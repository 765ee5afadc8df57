// The whole road in the real windows, inside a network namespace of the
// test's own: search finds the emulated devices, three are checked and get
// template + sheet + logo, and the parameter page shows their success.
#include "base/Language.h"
#include "base/Settings.h"
#include "controls/SkinStyle.h"
#include "link/AcTransmitManage.h"
#include "payload/ConfigXml.h"
#include "payload/ParameterSheet.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyRouterInfoConfigDlg.h"
#include "screens/CModifyRouterInfoDlg.h"
#include "screens/CStatusDlg.h"
#include "screens/FileChooser.h"
#include "screens/ScreenSeams.h"
#include "shell/SkinPaths.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"
#include "xls/XlsWorkbook.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

// The workbook layer, except that the sheet is "edited" by the test instead
// of a spreadsheet program: opening it fills the login password column.
class EditingSheet : public ParameterSheetBackend {
public:
    bool ExportSheet(const DeviceParams& t, const std::vector<std::string>& devices,
                     std::string& sheetPath, CSqlManagement& store) override {
        templ = t;
        return ExportParameterSheet(t, devices, sheetPath, store);
    }
    void SetBatch(const std::vector<std::string>& devices) override { batch = devices; }
    bool ReadSheet(const std::string& path, const DeviceParams& t, int,
                   std::vector<DeviceParams>& records) override {
        return ReadParameterSheetByMac(path, t, batch, records);
    }
    bool WlanColumns() const override { return ::WlanColumns(); }
    bool OpenSheet(const std::string& path) override {
        auto book = XlsWorkbook::Create();
        if (!book->Load(path))
            return false;
        XlsSheet* sheet = book->GetSheet(0);
        const std::vector<std::string> headers = ParameterSheetHeaders(templ, ::WlanColumns());
        if (!sheet)
            return false;
        const std::pair<const char*, const char*> edits[] = {{"loginPassword", "Secret"},
                                                             {"ssid_2.4g", "Net"},
                                                             {"ssid_5g", "Net5-"},
                                                             {"wlanPsk_2.4g", "Passw0rd"},
                                                             {"wlanPsk_5g", "Passw0rd5-"}};
        for (size_t c = 0; c < headers.size(); ++c)
            for (const auto& [header, value] : edits)
                if (headers[c] == header)
                    for (int row = 1; row < sheet->RowCount(); ++row)
                        sheet->WriteStr(row, static_cast<int>(c), value + std::to_string(row));
        return book->Save(path);
    }

    DeviceParams templ{};
    std::vector<std::string> batch;
};

template <typename Predicate> bool WaitFor(Predicate done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        QApplication::processEvents();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

std::string FindFile(const std::string& folder, const std::string& prefix) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            return entry.path().string();
    return {};
}

TEST(EndToEnd, SearchCheckThreeSubmitAndWatchThemSucceed) {
    if (!IsRoot())
        GTEST_SKIP() << "needs root for a network namespace";
    WidgetApp();
    NetNs ns;
    ASSERT_TRUE(ns.ok());
    TempProgramDir dir;
    for (const char* folder : {"ModifyXml", "ModifyExcel", "Log", "out"})
        fs::create_directories(dir.file(folder));
    fs::create_directories(dir.file("ExcelTemplate"));
    fs::copy_file(BinDir() + "/ExcelTemplate/Template.xls", dir.file("ExcelTemplate/Template.xls"));
    InitLanguage(BinDir());
    Settings() = AppSettings();
    LoadSettings(Settings(), BinDir());
    BuildSkinPaths(Skin(), BinDir());

    const std::string ready = dir.file("ready");
    const pid_t devsim =
        ns.Spawn({BinDir() + "/quorvantix-devsim", "--interface", ns.deviceSide(), "--count", "5",
                  "--output", dir.file("out"), "--ready-file", ready, "--verdict-delay", "300"},
                 dir.file("devsim.out"));
    ASSERT_GT(devsim, 0);
    struct Stopper {
        pid_t pid;
        ~Stopper() { StopProcess(pid); }
    } stopper{devsim};
    ASSERT_TRUE(WaitFor([&] { return fs::exists(ready); }, 10));

    // This thread and every thread it starts from here on live in the namespace.
    NetNs::Entered inside(ns);
    ASSERT_TRUE(inside.ok());
    EditingSheet sheet;
    ParameterSheetBackend* previousSheet = SetParameterSheetBackend(&sheet);

    {
        CStatusDlg status(nullptr);
        // Both ends of the pair live in the namespace; the tool uses its own end.
        const QString toolMac = QString::fromStdString(ns.toolSideMac()).toUpper();
        int toolEntry = -1;
        for (int i = 0; i < status.NetCardChooser()->count(); ++i)
            if (status.NetCardChooser()->itemText(i).contains(toolMac))
                toolEntry = i;
        ASSERT_GE(toolEntry, 0);
        status.OnNetCardChanged(toolEntry);
        EXPECT_EQ(status.NetCardChooser()->currentIndex(), toolEntry);
        status.OnSearchButton();
        EXPECT_TRUE(WaitFor(
            [&] {
                status.OnTimer(CStatusDlg::kSearchTimer);
                return status.DataRowCount() == 5;
            },
            20));
        status.OnSearchButton();
        ASSERT_EQ(status.DataRowCount(), 5);
        EXPECT_EQ(status.CountText()->text(), QStringLiteral("Online device count:5"));
    }

    dir.write("template.xml", "<Value Name=\"SUSER_PASSWORD\" Value=\"old\"/>\r\n"
                              "<Value Name=\"LOID\" Value=\"\"/>\r\n");
    QImage logo(120, 40, QImage::Format_RGB32);
    logo.fill(QColor(10, 80, 160));
    ASSERT_TRUE(logo.save(QString::fromStdString(dir.file("logo.jpg")), "JPG", 60));

    CModifyRouterInfoDlg page(nullptr);
    page.RefreshPage();
    page.OnHeaderClicked(2); // ascending by MAC
    ASSERT_EQ(page.DataRowCount(), 5);
    for (int r : {1, 2, 4})
        page.OnCellClicked(r, 0);
    const std::vector<std::string> chosen = {page.CellText(1, 2).toStdString(),
                                             page.CellText(2, 2).toStdString(),
                                             page.CellText(4, 2).toStdString()};
    RecordingMessageSink messages;
    const DialogRunner previousRunner = SetDialogRunner([&](QDialog& d) {
        auto& dialog = static_cast<CModifyRouterInfoConfigDlg&>(d);
        FileChooser::setNextFileName(QString::fromStdString(dir.file("template.xml")));
        dialog.OnChooseTemplate();
        dialog.OnConfigurationModify();
        FileChooser::setNextFileName(QString::fromStdString(dir.file("logo.jpg")));
        dialog.OnChoosePicture();
        dialog.OnConfigurationSubmit();
        EXPECT_EQ(dialog.Kind(), 3);
        EXPECT_EQ(dialog.LastResult().jobsStarted, 3);
        return dialog.result();
    });
    page.OnModify();
    SetDialogRunner(previousRunner);
    SetParameterSheetBackend(previousSheet);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Are you sure you want to modify configration?",
                                        "Are you sure you want to submit logo and configration?"}));
    EXPECT_EQ(page.SelectedDevices(), chosen);
    EXPECT_TRUE(page.RefreshTimer().isActive());

    const auto allDone = [&] {
        page.OnTimer(CModifyRouterInfoDlg::kRefreshTimer);
        for (const std::string& mac : chosen)
            if (CSqlManagement::GetInstance()->GetParaStatus(mac) != OperateSuccess ||
                CSqlManagement::GetInstance()->GetLogStatus(mac) != OperateSuccess)
                return false;
        return true;
    };
    ASSERT_TRUE(WaitFor(allDone, 60));
    page.OnTimer(CModifyRouterInfoDlg::kRefreshTimer);

    const QColor online = ToQColor(Settings().textOnlineColor);
    for (int r : {1, 2, 4}) {
        for (int c : {3, 4}) {
            EXPECT_EQ(page.CellText(r, c), QStringLiteral("OperateSuccess")) << r << "," << c;
            EXPECT_EQ(page.CellTextColor(r, c), online);
        }
    }
    EXPECT_EQ(page.CellText(3, 4), QStringLiteral("WaitOperate"));

    // Each device got exactly its own rewritten copy and the logo, unchanged.
    const std::string logoBytes = ReadFileBytes(dir.file("logo.jpg"));
    for (size_t k = 0; k < chosen.size(); ++k) {
        std::string stem = chosen[k];
        std::replace(stem.begin(), stem.end(), ':', '-');
        const std::string para = FindFile(dir.file("out"), stem + "-para-");
        const std::string received = FindFile(dir.file("out"), stem + "-logo-");
        ASSERT_FALSE(para.empty()) << chosen[k];
        ASSERT_FALSE(received.empty()) << chosen[k];
        EXPECT_EQ(ReadFileBytes(received), logoBytes);
        const std::string copy = ReadFileBytes(DeviceXmlPath(chosen[k]));
        EXPECT_EQ(ReadFileBytes(para), copy);
        EXPECT_NE(copy.find("Secret"), std::string::npos);
    }
    std::string third = page.CellText(3, 2).toStdString();
    std::replace(third.begin(), third.end(), ':', '-');
    EXPECT_TRUE(FindFile(dir.file("out"), third).empty());

    // The success log has a line for both files of every device.
    std::string log;
    for (const auto& entry : fs::recursive_directory_iterator(dir.file("Log")))
        if (entry.path().filename() == "Success.txt")
            log += ReadFileBytes(entry.path().string());
    for (const std::string& mac : chosen) {
        EXPECT_NE(log.find(mac), std::string::npos) << mac;
    }
    EXPECT_NE(log.find("PARA_DATA"), std::string::npos);
    EXPECT_NE(log.find("LOG_DATA"), std::string::npos);
    AcTransmitManage::GetInstance()->Stop();
}

} // namespace
