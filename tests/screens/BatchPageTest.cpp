// Progress bars in status cells, the end of a batch and "Retry failed", with
// the record store filled directly and the fake device link.
#include "base/Settings.h"
#include "controls/SkinStyle.h"
#include "records/CSqlManagement.h"
#include "screens/BatchFollower.h"
#include "screens/CModifyRouterInfoDlg.h"
#include "screens/CModifyWebLogDlg.h"
#include "tests/screens/ScreenTestSupport.h"

#include <QImage>
#include <QTableWidget>
#include <filesystem>

using namespace qvtest;

namespace {

class BatchPageTest : public ScreenFixture {
protected:
    // How much bluer than red a pixel is (the busy colour is blue).
    static int Blueness(QRgb pixel) { return qBlue(pixel) - qRed(pixel); }

    // Pixels of the left and right end of a cell's bar.
    static std::pair<QRgb, QRgb> BarEnds(CDeviceListPage& page, int row, int column) {
        QTableWidget* grid = page.Grid();
        const QRect cell = grid->visualItemRect(grid->item(row - 1, column));
        const QImage image = grid->viewport()->grab().toImage();
        const int y = cell.top() + cell.height() / 4 + 2;
        return {image.pixel(cell.left() + 10, y), image.pixel(cell.right() - 10, y)};
    }

    int CountReports() const {
        int n = 0;
        std::error_code ec;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.file("Log"), ec))
            n += e.path().extension() == ".json" ? 1 : 0;
        return n;
    }

    BatchRow LogoRow(int device) {
        BatchRow row;
        row.mac = DeviceMac(device);
        row.kind = 1;
        row.logo = BatchReport::DescribeFile(dir.file("logo.jpg"));
        return row;
    }
};

TEST_F(BatchPageTest, AnOperatingCellIsABarWithItsPercentage) {
    AddDevices(3);
    const std::string busy = DeviceMac(1), unknown = DeviceMac(2), done = DeviceMac(3);
    ASSERT_TRUE(store->SetLogStatus(busy, Operating));
    ASSERT_TRUE(store->SetProgress(busy, TransferFile::Logo, 300, 1000));
    ASSERT_TRUE(store->SetParaStatus(busy, Operating));
    ASSERT_TRUE(store->SetProgress(busy, TransferFile::Config, 1000, 1000));
    ASSERT_TRUE(store->SetLogStatus(unknown, Operating)); // length not known yet
    ASSERT_TRUE(store->SetLogStatus(done, OperateSuccess));

    CModifyRouterInfoDlg page(nullptr, store.get());
    page.resize(800, 600);
    page.show();
    page.OnHeaderClicked(2); // ascending by MAC: rows 1, 2, 3 are devices 1, 2, 3
    ASSERT_EQ(page.DataRowCount(), 3);
    EXPECT_EQ(page.CellProgress(1, 3), 30);
    EXPECT_EQ(page.CellProgress(1, 4), 100);
    EXPECT_EQ(page.CellProgress(2, 3), -1);
    EXPECT_EQ(page.CellProgress(3, 3), -1);
    // Statuses, texts and colours stay as they are.
    EXPECT_EQ(page.CellText(1, 3), QStringLiteral("Operating"));
    EXPECT_EQ(page.CellTextColor(1, 3), ToQColor(CDeviceListPage::StatusColor(Operating)));

    // The filled part of the bar is tinted with the status colour, the rest is not.
    const auto [filled, empty] = BarEnds(page, 1, 3);
    EXPECT_GT(Blueness(filled), Blueness(empty) + 20);
    const auto [full, fullEnd] = BarEnds(page, 1, 4);
    EXPECT_GT(Blueness(fullEnd), Blueness(empty) + 20) << "a full bar is filled to its end";
    const auto [plain, plainEnd] = BarEnds(page, 3, 3);
    EXPECT_EQ(plain, plainEnd) << "other statuses are text only";

    // The timer's update of a cell rises with the store and ends as text.
    ASSERT_TRUE(store->SetProgress(busy, TransferFile::Logo, 900, 1000));
    const TransferProgress rising = store->GetProgress(busy, TransferFile::Logo);
    page.UpdateStatusCell(busy, 3, Operating, &rising);
    EXPECT_EQ(page.CellProgress(1, 3), 90);
    page.UpdateStatusCell(busy, 3, OperateSuccess, &rising);
    EXPECT_EQ(page.CellProgress(1, 3), -1);
    EXPECT_EQ(page.CellText(1, 3), QStringLiteral("OperateSuccess"));
}

TEST_F(BatchPageTest, TheLogoPageDrawsItsBarToo) {
    AddDevices(1);
    ASSERT_TRUE(store->SetLogStatus(DeviceMac(1), Operating));
    ASSERT_TRUE(store->SetProgress(DeviceMac(1), TransferFile::Logo, 1, 2));
    CModifyWebLogDlg page(nullptr, store.get());
    page.RefreshPage();
    EXPECT_EQ(page.CellProgress(1, 3), 50);
    EXPECT_NE(page.RetryButton(), nullptr);
}

TEST_F(BatchPageTest, ABatchEndsWithItsReportAndNotice) {
    AddDevices(2);
    dir.write("logo.jpg", "abc");
    BatchFollower follower(store.get());
    BatchReport batch;
    batch.AddRow(LogoRow(1));
    batch.AddRow(LogoRow(2));
    store->SetLogStatus(DeviceMac(1), Operating);
    store->SetLogStatus(DeviceMac(2), Operating);
    follower.Begin(batch);
    EXPECT_FALSE(follower.Poll().has_value());
    store->SetLogStatus(DeviceMac(1), OperateSuccess);
    store->SetLogStatus(DeviceMac(2), TransmitFail);
    const std::optional<QString> notice = follower.Poll();
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(*notice, QStringLiteral("Batch done: 1 succeeded, 1 failed"));
    EXPECT_EQ(CountReports(), 1);
    EXPECT_FALSE(follower.Poll().has_value()) << "announced once";

    // Without a tray the notice is the count area's line.
    CModifyRouterInfoDlg page(nullptr, store.get());
    BatchFollower::ShowNotice(*notice, page.CountText());
    EXPECT_EQ(page.CountText()->text(), *notice);
}

TEST_F(BatchPageTest, RetryFailedSendsOnlyTheFailedDevicesAfterOneQuestion) {
    AddDevices(3);
    dir.write("logo.jpg", "abc");
    BatchFollower follower(store.get());
    BatchReport batch;
    for (int n = 1; n <= 3; ++n)
        batch.AddRow(LogoRow(n));
    follower.Begin(batch);
    store->SetLogStatus(DeviceMac(1), TransmitFail);
    store->SetLogStatus(DeviceMac(2), OperateSuccess);
    store->SetLogStatus(DeviceMac(3), OperateFail);

    std::vector<std::string> devices;
    messages.setNextAnswer(MessageAnswer::Cancel);
    EXPECT_FALSE(follower.RetryFailed(devices));
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "Retry the 2 failed devices of the last batch?");
    EXPECT_TRUE(link.jobs.empty());
    EXPECT_EQ(store->GetLogStatus(DeviceMac(1)), TransmitFail);

    messages.clear();
    ASSERT_TRUE(follower.RetryFailed(devices));
    EXPECT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(devices, (std::vector<std::string>{DeviceMac(1), DeviceMac(3)}));
    ASSERT_EQ(link.jobs.size(), 2u);
    EXPECT_EQ(std::string(link.jobs[0].logoPath), dir.file("logo.jpg"));
    EXPECT_EQ(link.jobs[1].kind, 1);
    EXPECT_EQ(store->GetLogStatus(DeviceMac(1)), Operating);
    EXPECT_EQ(store->GetLogStatus(DeviceMac(2)), OperateSuccess);
    EXPECT_EQ(follower.Last().Rows().size(), 2u) << "the retry is the new last batch";
    EXPECT_EQ(CountReports(), 1) << "the first batch's report, as it stood";
}

TEST_F(BatchPageTest, RetryWithoutFailuresOrWithAChangedFileSendsNothing) {
    AddDevices(1);
    dir.write("logo.jpg", "abc");
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.OnRetryFailed();
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "No failed device in the last batch!");

    BatchFollower follower(store.get());
    BatchReport batch;
    batch.AddRow(LogoRow(1));
    follower.Begin(batch);
    store->SetLogStatus(DeviceMac(1), TransmitFail);
    dir.write("logo.jpg", "abd");
    std::vector<std::string> devices;
    EXPECT_FALSE(follower.RetryFailed(devices));
    EXPECT_TRUE(link.jobs.empty());
}

TEST_F(BatchPageTest, AnOpenBatchIsWrittenWhenItsPageGoes) {
    AddDevices(1);
    dir.write("logo.jpg", "abc");
    {
        BatchFollower follower(store.get());
        BatchReport batch;
        batch.AddRow(LogoRow(1));
        store->SetLogStatus(DeviceMac(1), Operating);
        follower.Begin(batch);
        EXPECT_EQ(CountReports(), 0);
    }
    EXPECT_EQ(CountReports(), 1);
}

} // namespace
