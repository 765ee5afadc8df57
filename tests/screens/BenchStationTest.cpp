// "Keep provisioning new devices" in the window: the station's rounds with
// the fake device link (answers handed in per round, jobs recorded), the
// record store filled directly, and the logo page's switch end to end.
#include "screens/BenchStation.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyWebLogConfigDlg.h"
#include "screens/CModifyWebLogDlg.h"
#include "tests/screens/ScreenTestSupport.h"

#include <QCheckBox>
#include <filesystem>

using namespace qvtest;

namespace {

class BenchStationTest : public ScreenFixture {
protected:
    BenchStationTest() { dir.write("logo.jpg", "\xFF\xD8logo"); }

    SubmissionInput LogoPayload() const {
        SubmissionInput payload;
        payload.picturePath = dir.file("logo.jpg");
        return payload;
    }
    BatchReport SubmittedBatch(std::initializer_list<int> devices) {
        BatchReport batch;
        for (int n : devices) {
            BatchRow row;
            row.mac = DeviceMac(n);
            row.kind = 1;
            row.logo = BatchReport::DescribeFile(dir.file("logo.jpg"));
            batch.AddRow(row);
            store->SetLogStatus(row.mac, Operating);
        }
        return batch;
    }
    // The devices the jobs so far went to, in order.
    std::vector<std::string> JobDevices() const {
        std::vector<std::string> macs;
        for (const TransferJob& job : link.jobs)
            macs.push_back(MacTextUpper(job.deviceMac));
        return macs;
    }
    // A device that answers after the run began, as the receive thread stores it.
    void Appears(int n) {
        AddDevice(n, n);
        link.answered.push_back(DeviceMac(n));
    }
    int CountReports() const {
        int n = 0;
        std::error_code ec;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.file("Log"), ec))
            n += e.path().extension() == ".json" ? 1 : 0;
        return n;
    }
};

// A new device gets the payload once; the devices of the dialog's batch and
// the ones the operator left unticked get nothing from the station.
TEST_F(BenchStationTest, EachNewDeviceIsProvisionedOnce) {
    AddDevices(2); // device 1 ticked and submitted, device 2 left unticked
    CBenchStation station(store.get());
    ASSERT_TRUE(station.Start(LogoPayload(), SubmittedBatch({1})));
    EXPECT_TRUE(station.Running());
    EXPECT_EQ(link.discoveries, 1) << "the search goes on";
    EXPECT_EQ(link.clears, 0) << "the statuses shown stay";

    link.answered = {DeviceMac(1), DeviceMac(2)};
    Appears(3);
    EXPECT_EQ(station.Round(), std::vector<std::string>{DeviceMac(3)});
    EXPECT_EQ(JobDevices(), std::vector<std::string>{DeviceMac(3)});
    EXPECT_EQ(std::string(link.jobs[0].logoPath), dir.file("logo.jpg"));
    EXPECT_EQ(link.jobs[0].kind, 1);
    EXPECT_EQ(store->GetLogStatus(DeviceMac(3)), Operating);
    EXPECT_EQ(store->GetLogStatus(DeviceMac(2)), WaitOperate);
    EXPECT_TRUE(messages.texts().empty()) << "no question and no window for the station's batches";

    // It keeps answering: nothing is sent again. A later device gets its turn.
    link.answered = {DeviceMac(3), DeviceMac(1)};
    EXPECT_TRUE(station.Round().empty());
    Appears(4);
    EXPECT_EQ(station.Round(), std::vector<std::string>{DeviceMac(4)});
    EXPECT_EQ(JobDevices(), (std::vector<std::string>{DeviceMac(3), DeviceMac(4)}));
    EXPECT_EQ(link.discoveries, 4);

    store->SetLogStatus(DeviceMac(1), OperateSuccess);
    store->SetLogStatus(DeviceMac(3), OperateSuccess);
    store->SetLogStatus(DeviceMac(4), TransmitFail);
    station.Round();
    EXPECT_EQ(station.StatusLine(),
              QStringLiteral("Provisioning new devices: 2 provisioned, 1 failed, 0 skipped"));
    EXPECT_EQ(CountReports(), 0);
    station.Stop();
    EXPECT_FALSE(station.Running());
    EXPECT_EQ(CountReports(), 1) << "the run's report";
    EXPECT_TRUE(station.Round().empty()) << "a stopped station sends nothing";
    EXPECT_EQ(link.jobs.size(), 2u);
}

// A device that failed is tried again only after it was away for three
// rounds and answers again; one that keeps answering is left as it is.
TEST_F(BenchStationTest, AFailedDeviceIsTriedAgainWhenItComesBack) {
    CBenchStation station(store.get());
    ASSERT_TRUE(station.Start(LogoPayload(), BatchReport()));
    Appears(5);
    Appears(6);
    ASSERT_EQ(station.Round().size(), 2u);
    store->SetLogStatus(DeviceMac(5), TransmitFail);
    store->SetLogStatus(DeviceMac(6), OperateFail);
    for (int round = 0; round < 4; ++round) {
        link.answered = {DeviceMac(6)}; // never away
        EXPECT_TRUE(station.Round().empty()) << round;
    }
    link.answered = {DeviceMac(5), DeviceMac(6)};
    EXPECT_EQ(station.Round(), std::vector<std::string>{DeviceMac(5)});
    ASSERT_EQ(link.jobs.size(), 3u);
    EXPECT_EQ(MacTextUpper(link.jobs[2].deviceMac), DeviceMac(5));
    EXPECT_EQ(std::string(link.jobs[2].logoPath), dir.file("logo.jpg"));
    EXPECT_EQ(store->GetLogStatus(DeviceMac(5)), Operating);
}

// With a sheet only the devices that have a row get the payload.
class RowsSheet : public ParameterSheetBackend {
public:
    std::vector<std::string> rows;
    bool readable = true;
    bool ExportSheet(const DeviceParams&, const std::vector<std::string>&, std::string&,
                     CSqlManagement&) override {
        return false;
    }
    bool ReadSheet(const std::string&, const DeviceParams&, int deviceCount,
                   std::vector<DeviceParams>& records) override {
        records.assign(static_cast<std::size_t>(deviceCount), DeviceParams{});
        return true;
    }
    bool WlanColumns() const override { return false; }
    bool OpenSheet(const std::string&) override { return true; }
    bool SheetMacs(const std::string&, std::vector<std::string>& macs) override {
        macs = rows;
        return readable;
    }
};

TEST_F(BenchStationTest, WithASheetADeviceWithoutARowIsSkipped) {
    RowsSheet sheet;
    sheet.rows = {DeviceMac(7)};
    ParameterSheetBackend* previous = SetParameterSheetBackend(&sheet);
    SubmissionInput payload = LogoPayload();
    payload.sheetPath = dir.file("rows.xls");
    CBenchStation station(store.get());
    sheet.readable = false;
    EXPECT_FALSE(station.Start(payload, BatchReport()));
    EXPECT_FALSE(station.Running());
    sheet.readable = true;
    ASSERT_TRUE(station.Start(payload, BatchReport()));
    Appears(8);
    EXPECT_TRUE(station.Round().empty());
    EXPECT_TRUE(link.jobs.empty());
    EXPECT_EQ(store->GetLogStatus(DeviceMac(8)), WaitOperate);
    EXPECT_EQ(station.Count(ProvisionWatch::State::Skipped), 1u);
    EXPECT_TRUE(station.StatusLine().contains(QStringLiteral("1 skipped")));
    SetParameterSheetBackend(previous);
}

// The logo page end to end: the switch is only enabled with a picture, and
// once on, the page's timer ticks and provisions a device that appears.
TEST_F(BenchStationTest, TheLogoPagesSwitchProvisionsNewDevicesOnItsTimer) {
    AddDevices(1);
    CModifyWebLogDlg page(nullptr, store.get());
    page.resize(800, 600);
    page.show();
    page.OnHeaderClicked(2);
    page.OnCellClicked(1, 0);
    const DialogRunner previousRunner = SetDialogRunner([&](QDialog& d) {
        auto& dialog = static_cast<CModifyWebLogConfigDlg&>(d);
        EXPECT_FALSE(dialog.KeepProvisioningSwitch()->isEnabled()) << "no payload yet";
        dialog.PictureField()->setText(QString::fromStdString(dir.file("logo.jpg")));
        EXPECT_TRUE(dialog.KeepProvisioningSwitch()->isEnabled());
        dialog.KeepProvisioningSwitch()->setChecked(true);
        dialog.OnModifyLogo();
        return dialog.result();
    });
    page.OnModify();
    SetDialogRunner(previousRunner);
    ASSERT_EQ(link.jobs.size(), 1u);
    ASSERT_TRUE(page.Station().Running());
    EXPECT_FALSE(page.StopProvisioningButton()->isHidden());

    Appears(2);
    page.OnTimer(CModifyWebLogDlg::kRefreshTimer);
    ASSERT_EQ(link.jobs.size(), 2u);
    EXPECT_EQ(MacTextUpper(link.jobs[1].deviceMac), DeviceMac(2));
    ASSERT_EQ(page.DataRowCount(), 2);
    int ticked = 0;
    for (int r = 1; r <= 2; ++r)
        ticked += page.RowChecked(r) ? 1 : 0;
    EXPECT_EQ(ticked, 2) << "the new device is ticked beside the first";
    EXPECT_TRUE(page.CountText()->text().startsWith(QStringLiteral("Provisioning new devices")))
        << page.CountText()->text().toStdString();

    page.OnStopProvisioning();
    EXPECT_FALSE(page.Station().Running());
    EXPECT_TRUE(page.StopProvisioningButton()->isHidden());
    Appears(3);
    page.OnTimer(CModifyWebLogDlg::kRefreshTimer);
    EXPECT_EQ(link.jobs.size(), 2u);
}

} // namespace
