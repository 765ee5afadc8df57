// The two submission dialogs, answered through the message and file-chooser
// seams; the device link is the fake, the sheet layer a recording stand-in.
#include "payload/ConfigXml.h"
#include "records/CSqlManagement.h"
#include "screens/CBatchPreviewDlg.h"
#include "screens/CLogoPreview.h"
#include "screens/CModifyRouterInfoConfigDlg.h"
#include "screens/CModifyWebLogConfigDlg.h"
#include "screens/FileChooser.h"
#include "tests/screens/ScreenTestSupport.h"

#include <QImage>
#include <QListWidget>
#include <QTableWidget>

#include <cstdio>
#include <filesystem>

using namespace qvtest;

namespace {

DeviceParams ValidRecord(const std::string& mac, const char* ssid) {
    DeviceParams r{};
    std::snprintf(r.mac, sizeof r.mac, "%s", mac.c_str());
    std::snprintf(r.ssid24g, sizeof r.ssid24g, "%s", ssid);
    std::snprintf(r.wlanPsk24g, sizeof r.wlanPsk24g, "%s", "12345678");
    std::snprintf(r.loginPassword, sizeof r.loginPassword, "Pw%s", ssid);
    return r;
}

class FakeSheet : public ParameterSheetBackend {
public:
    bool ExportSheet(const DeviceParams&, const std::vector<std::string>& devices,
                     std::string& sheetPath, CSqlManagement&) override {
        ++exports;
        exportedFor = devices;
        if (!exportOk)
            return false;
        sheetPath = exportPath;
        return true;
    }
    bool ReadSheet(const std::string&, const DeviceParams&, int,
                   std::vector<DeviceParams>& out) override {
        ++reads;
        out = records;
        return readOk;
    }
    bool WlanColumns() const override { return true; }
    bool OpenSheet(const std::string& path) override {
        opened.push_back(path);
        return openOk;
    }

    bool exportOk = true, readOk = true, openOk = true;
    std::string exportPath;
    std::vector<DeviceParams> records;
    int exports = 0, reads = 0;
    std::vector<std::string> exportedFor;
    std::vector<std::string> opened;
};

class SubmissionDialogTest : public ScreenFixture {
protected:
    SubmissionDialogTest() : previousSheet_(SetParameterSheetBackend(&sheet)) {
        AddDevices(3);
        devices = {DeviceMac(1), DeviceMac(2), DeviceMac(3)};
        sheet.exportPath = dir.file("ModifyExcel/sheet.xls");
        templatePath = dir.file("template.xml");
        dir.write("template.xml", "<Value Name=\"SUSER_PASSWORD\" Value=\"old\"/>\r\n");
        logoPath = WriteJpeg("logo.jpg", 100, 40);
    }
    ~SubmissionDialogTest() override { SetParameterSheetBackend(previousSheet_); }

    std::string WriteJpeg(const std::string& name, int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(QColor(20, 90, 200));
        const std::string path = dir.file(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "JPG", 60));
        return path;
    }

    void ExpectNothingChanged() {
        EXPECT_TRUE(link.jobs.empty());
        for (const std::string& mac : devices) {
            EXPECT_EQ(store->GetLogStatus(mac), 0) << mac;
            EXPECT_EQ(store->GetParaStatus(mac), 0) << mac;
            EXPECT_FALSE(std::filesystem::exists(DeviceXmlPath(mac))) << mac;
        }
    }

    FakeSheet sheet;
    std::vector<std::string> devices;
    std::string templatePath;
    std::string logoPath;

private:
    ParameterSheetBackend* previousSheet_;
};

TEST_F(SubmissionDialogTest, SubmitRefusalsComeInOrder) {
    const struct {
        const char* picture;
        const char* templ;
        const char* sheetName;
        const char* message;
        const char* caption;
    } cases[] = {
        {"LOGO.JPG", "t.XML", "s.XLS", "Modify file is not .jpg file!", "Quorvantix"},
        {"logo.jpg", "t.XML", "s.XLS", "Modify file is not .xml file!", "Quorvantix"},
        {"logo.jpg", "t.xml", "s.XLS", "Modify file is not .xls file!", "Quorvantix"},
        {"", "", "", "Please choose xml or logo info!", ""},
        {"", "", "s.xls", "Please choose xml or logo info!", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        messages.clear();
        CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
        dialog.PictureField()->setText(QString::fromUtf8(c.picture));
        dialog.TemplateField()->setText(QString::fromUtf8(c.templ));
        dialog.SheetField()->setText(QString::fromUtf8(c.sheetName));
        dialog.OnConfigurationSubmit();
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].text, c.message);
        EXPECT_EQ(messages.messages()[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(messages.messages()[0].caption, c.caption);
        EXPECT_EQ(dialog.result(), 0);
        ExpectNothingChanged();
    }
}

TEST_F(SubmissionDialogTest, KindTableAskAndCancelChangesNothing) {
    const struct {
        bool templ;
        bool picture;
        int kind;
        const char* question;
    } cases[] = {
        {true, true, 3, "Are you sure you want to submit logo and configration?"},
        {false, true, 1, "Are you sure you want to submit logo?"},
        {true, false, 2, "Are you sure you want to submit configration?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        messages.clear();
        CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
        EXPECT_EQ(dialog.Kind(), 1);
        if (c.templ) {
            FileChooser::setNextFileName(QString::fromStdString(templatePath));
            dialog.OnChooseTemplate();
        }
        if (c.picture) {
            FileChooser::setNextFileName(QString::fromStdString(logoPath));
            dialog.OnChoosePicture();
        }
        messages.setNextAnswer(MessageAnswer::Cancel);
        dialog.OnConfigurationSubmit();
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].text, c.question);
        EXPECT_EQ(messages.messages()[0].icon, MessageIcon::Question);
        EXPECT_EQ(messages.messages()[0].caption, "");
        EXPECT_EQ(dialog.Kind(), c.kind);
        EXPECT_EQ(dialog.result(), 0);
        ExpectNothingChanged();
    }
}

TEST_F(SubmissionDialogTest, TemplateWithoutSheetSendsUnchangedCopies) {
    CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
    FileChooser::setNextFileName(QString::fromStdString(templatePath));
    dialog.OnChooseTemplate();
    EXPECT_EQ(FileChooser::lastFilter(), QStringLiteral("Files (*.xml);;All files (*)"));
    dialog.OnConfigurationSubmit();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Kind(), 2);
    ASSERT_EQ(link.jobs.size(), 3u);
    const std::string original = ReadFileBytes(templatePath);
    for (size_t k = 0; k < devices.size(); ++k) {
        EXPECT_EQ(ReadFileBytes(DeviceXmlPath(devices[k])), original);
        EXPECT_EQ(std::string(link.jobs[k].configPath), DeviceXmlPath(devices[k]));
        EXPECT_EQ(link.jobs[k].kind, 2);
        EXPECT_EQ(store->GetParaStatus(devices[k]), Operating);
        EXPECT_EQ(store->GetLogStatus(devices[k]), WaitOperate);
    }
    EXPECT_EQ(sheet.reads, 0);
}

TEST_F(SubmissionDialogTest, LogoOnlyMarksLogoAndIgnoresTheSheet) {
    CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
    FileChooser::setNextFileName(QString::fromStdString(logoPath));
    dialog.OnChoosePicture();
    dialog.SheetField()->setText(QString::fromStdString(sheet.exportPath));
    dialog.OnConfigurationSubmit();
    EXPECT_EQ(dialog.Kind(), 1);
    EXPECT_EQ(sheet.reads, 0);
    ASSERT_EQ(link.jobs.size(), 3u);
    for (size_t k = 0; k < devices.size(); ++k) {
        EXPECT_EQ(store->GetLogStatus(devices[k]), Operating);
        EXPECT_EQ(store->GetParaStatus(devices[k]), WaitOperate);
        EXPECT_EQ(std::string(link.jobs[k].logoPath), logoPath);
        EXPECT_EQ(link.jobs[k].kind, 1);
    }
}

TEST_F(SubmissionDialogTest, SheetFailingOnItsThirdRowMarksNothing) {
    for (const bool thirdBad : {true, false}) {
        SCOPED_TRACE(thirdBad);
        messages.clear();
        link.jobs.clear();
        sheet.opened.clear();
        sheet.records = {ValidRecord(devices[0], "Home1"), ValidRecord(devices[1], "Home2"),
                         ValidRecord(devices[2], thirdBad ? "bad ssid" : "Home3")};
        CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
        FileChooser::setNextFileName(QString::fromStdString(templatePath));
        dialog.OnChooseTemplate();
        dialog.OnConfigurationModify(); // question answered Ok
        EXPECT_EQ(sheet.exportedFor, devices);
        EXPECT_EQ(dialog.SheetField()->text().toStdString(), sheet.exportPath);
        ASSERT_EQ(sheet.opened.size(), 1u);
        dialog.OnConfigurationSubmit();
        if (thirdBad) {
            EXPECT_EQ(dialog.result(), 0);
            ExpectNothingChanged();
            EXPECT_EQ(sheet.opened.size(), 2u); // opened again for correction
            ASSERT_FALSE(messages.texts().empty());
            EXPECT_NE(messages.texts().back().find(devices[2]), std::string::npos);
        } else {
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(link.jobs.size(), 3u);
            EXPECT_NE(ReadFileBytes(DeviceXmlPath(devices[2])).find("PwHome3"), std::string::npos);
        }
    }
}

TEST_F(SubmissionDialogTest, ConfigurationModifyRefusalsAndFailures) {
    CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
    dialog.OnConfigurationModify();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Please select the xml file!"});

    messages.clear();
    dir.write("UPPER.XML", "x");
    FileChooser::setNextFileName(QString::fromStdString(dir.file("UPPER.XML")));
    dialog.OnChooseTemplate();
    dialog.OnConfigurationModify();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Modify file is not .xml file!"});
    dialog.OnConfigurationSubmit();
    EXPECT_EQ(messages.texts().back(), "Modify file is not .xml file!");

    messages.clear();
    FileChooser::setNextFileName(QString::fromStdString(templatePath));
    dialog.OnChooseTemplate();
    messages.setNextAnswer(MessageAnswer::Cancel);
    dialog.OnConfigurationModify();
    EXPECT_EQ(sheet.exports, 0);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Are you sure you want to modify configration?"});

    messages.clear();
    sheet.exportOk = false;
    dialog.OnConfigurationModify();
    EXPECT_EQ(messages.texts().back(), "Create excel fields Info error!");
    EXPECT_TRUE(dialog.SheetField()->text().isEmpty());

    messages.clear();
    sheet.exportOk = true;
    sheet.openOk = false;
    dialog.OnConfigurationModify();
    EXPECT_EQ(messages.texts().back(), "Unable to open excel file!");
    EXPECT_EQ(dialog.SheetField()->text().toStdString(), sheet.exportPath);
    EXPECT_TRUE(dialog.SheetField()->isHidden());
}

TEST_F(SubmissionDialogTest, TooLargeTemplateKeepsTheEarlierChoice) {
    dir.write("big.xml", std::string(300001, 'x'));
    dir.write("limit.xml", std::string(300000, 'x'));
    CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
    FileChooser::setNextFileName(QString::fromStdString(dir.file("limit.xml")));
    dialog.OnChooseTemplate();
    FileChooser::setNextFileName(QString::fromStdString(dir.file("big.xml")));
    dialog.OnChooseTemplate();
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Xml file cannot be larger than 300000 bytes!"});
    EXPECT_EQ(dialog.XmlPath(), dir.file("limit.xml"));
    EXPECT_EQ(dialog.TemplateField()->text().toStdString(), dir.file("limit.xml"));
    FileChooser::setNextFileName(QString()); // Cancel changes nothing
    dialog.OnChooseTemplate();
    EXPECT_EQ(dialog.XmlPath(), dir.file("limit.xml"));
}

TEST_F(SubmissionDialogTest, LogoChooserLimitsAndPreview) {
    dir.write("big.jpg", std::string(6001, 'x'));
    const std::string wide = WriteJpeg("wide.jpg", 230, 10);
    const std::string tall = WriteJpeg("tall.jpg", 100, 52);
    CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());

    FileChooser::setNextFileName(QString::fromStdString(logoPath));
    dialog.OnChoosePicture();
    EXPECT_EQ(FileChooser::lastFilter(), QStringLiteral("Files (*.jpg);;All files (*)"));
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(dialog.PictureField()->text().toStdString(), logoPath);
    EXPECT_TRUE(dialog.Preview()->HasImage());
    EXPECT_TRUE(dialog.Caption()->text().startsWith(QStringLiteral("100  x  40 Pixel     ")));

    const struct {
        std::string path;
        const char* message;
    } refusals[] = {
        {dir.file("big.jpg"), "Picture file cannot be larger than 6000 bytes!"},
        {wide, "The width and height of the image cannot exceed 229 pixels and 51 pixels, "
               "respectively!"},
        {tall, "The width and height of the image cannot exceed 229 pixels and 51 pixels, "
               "respectively!"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.path);
        messages.clear();
        FileChooser::setNextFileName(QString::fromStdString(r.path));
        dialog.OnChoosePicture();
        EXPECT_EQ(messages.texts(), std::vector<std::string>{r.message});
        EXPECT_TRUE(dialog.PictureField()->text().isEmpty());
        EXPECT_TRUE(dialog.Caption()->text().isEmpty());
        EXPECT_FALSE(dialog.Preview()->HasImage());
        EXPECT_TRUE(dialog.PicturePath().empty());
    }
}

TEST_F(SubmissionDialogTest, LogoDialogSendsToEveryDeviceInOrder) {
    // No limits here: a large picture is previewed and taken.
    const std::string large = WriteJpeg("large.jpg", 300, 200);
    CModifyWebLogConfigDlg dialog(devices, nullptr, store.get());
    FileChooser::setNextFileName(QString::fromStdString(large));
    dialog.OnChoosePicture();
    EXPECT_EQ(FileChooser::lastFilter(), QStringLiteral("Files (*);;All files (*)"));
    EXPECT_TRUE(dialog.Preview()->HasImage());
    EXPECT_TRUE(dialog.Caption()->text().startsWith(QStringLiteral("300  x  200 Pixel")));

    messages.setNextAnswer(MessageAnswer::Cancel);
    dialog.OnModifyLogo();
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Are you sure you want to moodify web logo?"});
    ExpectNothingChanged();
    EXPECT_TRUE(dialog.ScanButton()->isEnabled());

    dialog.OnModifyLogo();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(link.jobs.size(), 3u);
    for (size_t k = 0; k < devices.size(); ++k) {
        EXPECT_EQ(link.jobs[k].kind, 1);
        EXPECT_EQ(std::string(link.jobs[k].logoPath), large);
        EXPECT_EQ(std::string(link.jobs[k].configPath), "");
        EXPECT_EQ(link.jobs[k].deviceMac[5], static_cast<std::uint8_t>(k + 1));
        EXPECT_EQ(store->GetLogStatus(devices[k]), Operating);
        EXPECT_EQ(store->GetParaStatus(devices[k]), WaitOperate);
    }
    EXPECT_FALSE(dialog.ScanButton()->isEnabled());
    EXPECT_TRUE(dialog.ModifyLogoButton()->isHidden());
}

TEST_F(SubmissionDialogTest, LogoDialogRefusals) {
    CModifyWebLogConfigDlg dialog(devices, nullptr, store.get());
    dialog.OnModifyLogo();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Please select the jpg file!"});
    messages.clear();
    dir.write("LOGO.JPG", ReadFileBytes(logoPath));
    FileChooser::setNextFileName(QString::fromStdString(dir.file("LOGO.JPG")));
    dialog.OnChoosePicture();
    EXPECT_FALSE(dialog.PictureField()->text().isEmpty());
    dialog.OnModifyLogo();
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Modify file is not .jpg file!"});
    EXPECT_EQ(messages.messages()[0].caption, "Quorvantix");
    ExpectNothingChanged();
}

} // namespace

TEST_F(SubmissionDialogTest, PreviewListsTheBatchAndShowsTheSelectedDevicesChanges) {
    dir.write("template.xml", "<Value Name=\"SUSER_PASSWORD\" Value=\"old\"/>\r\n"
                              "<Value Name=\"ssid\" Value=\"tmpl\"/>\r\n");
    sheet.records = {ValidRecord(devices[0], "Home1"), ValidRecord(devices[1], "Home2"),
                     ValidRecord(devices[2], "Home3")};
    store->SetParaStatus(devices[1], OperateFail); // an earlier batch's status stays
    CModifyRouterInfoConfigDlg dialog(devices, nullptr, store.get());
    FileChooser::setNextFileName(QString::fromStdString(templatePath));
    dialog.OnChooseTemplate();
    dialog.OnConfigurationModify();
    messages.clear();
    ASSERT_NE(dialog.PreviewButton(), nullptr);
    dialog.PreviewButton()->click();
    EXPECT_TRUE(messages.texts().empty()) << "no question: nothing is sent";
    CBatchPreviewDlg* preview = dialog.OpenPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(link.jobs.empty());
    EXPECT_EQ(store->GetParaStatus(devices[0]), 0);
    EXPECT_EQ(store->GetParaStatus(devices[1]), OperateFail);
    EXPECT_EQ(dialog.result(), 0) << "the submission dialog stays open";

    QListWidget* list = preview->DeviceList();
    ASSERT_EQ(list->count(), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(list->item(k)->text().toStdString(), devices[static_cast<std::size_t>(k)]);
    const auto cell = [preview](int row, int column) {
        QTableWidgetItem* item = preview->Changes()->item(row, column);
        return item ? item->text().toStdString() : std::string("(none)");
    };
    const std::string dots = "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2";
    for (int k : {2, 0}) {
        SCOPED_TRACE(k);
        list->setCurrentRow(k);
        ASSERT_EQ(preview->Changes()->rowCount(), 2);
        EXPECT_EQ(cell(0, 0), "SUSER_PASSWORD");
        EXPECT_EQ(cell(0, 1), dots);
        EXPECT_EQ(cell(0, 2), dots);
        EXPECT_EQ(cell(1, 0), "ssid");
        EXPECT_EQ(cell(1, 1), "tmpl");
        EXPECT_EQ(cell(1, 2), "Home" + std::to_string(k + 1));
    }
    // The copies shown are those a submit would send.
    EXPECT_NE(ReadFileBytes(DeviceXmlPath(devices[0])).find("PwHome1"), std::string::npos);
}
