// The list machinery the three pages share, driven on the parameter, logo
// and status pages with the record store filled directly.
#include "base/Settings.h"
#include "controls/SkinStyle.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyRouterInfoConfigDlg.h"
#include "screens/CModifyRouterInfoDlg.h"
#include "screens/CModifyWebLogConfigDlg.h"
#include "screens/CModifyWebLogDlg.h"
#include "screens/CStatusDlg.h"
#include "shell/CChildDlg.h"
#include "tests/screens/ScreenTestSupport.h"

#include <QTest>

using namespace qvtest;

namespace {

class ListPageTest : public ScreenFixture {};

QColor StatusQColor(int status) {
    return ToQColor(CDeviceListPage::StatusColor(status));
}

TEST_F(ListPageTest, FortyNineRecordsShowFortyEightRowsAndCountFortyNine) {
    AddDevices(49);
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.RefreshPage();
    ASSERT_EQ(page.DataRowCount(), 48);
    for (int r = 1; r <= 48; ++r)
        EXPECT_EQ(page.CellText(r, 1), QString::number(r));
    EXPECT_EQ(page.CountText()->text(), QStringLiteral("Online device count:49"));
    EXPECT_EQ(page.Total(), 49);
    // Before any header click the load is descending by MAC.
    EXPECT_EQ(page.CellText(1, 2).toStdString(), DeviceMac(49));
    EXPECT_EQ(page.Grid()->rowHeight(0), 48);
    // The hidden paging controls stay hidden; the page size is 48.
    EXPECT_TRUE(page.Pager()->isHidden());
    EXPECT_TRUE(page.PageSizeChooser()->isHidden());
    EXPECT_TRUE(page.PageSizeLabel()->isHidden());
    EXPECT_EQ(page.PageSizeChooser()->currentData().toInt(), 48);
    EXPECT_EQ(page.Pager()->PageCount(), 2);
}

TEST_F(ListPageTest, FilterWithoutMatchEmptiesGridAndCount) {
    AddDevices(5);
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.RefreshPage();
    page.OnHeaderClicked(0);
    ASSERT_TRUE(page.Header()->IsChecked());
    QTest::keyClicks(page.FilterEdit(), QStringLiteral("ZZ"));
    EXPECT_EQ(page.StoredFilter(), QStringLiteral("ZZ"));
    EXPECT_EQ(page.DataRowCount(), 0);
    EXPECT_EQ(page.CountText()->text(), QStringLiteral("Online device count:0"));
    EXPECT_FALSE(page.Header()->IsChecked());
    EXPECT_FALSE(page.AllChecked());

    // The filter is a literal substring of the MAC text and survives a refresh.
    page.FilterEdit()->setText(QStringLiteral(":03"));
    page.RefreshPage();
    EXPECT_EQ(page.FilterEdit()->text(), QStringLiteral(":03"));
    ASSERT_EQ(page.DataRowCount(), 1);
    EXPECT_EQ(page.CellText(1, 2).toStdString(), DeviceMac(3));
}

TEST_F(ListPageTest, HeaderClicksAlternateDirectionAcrossColumns) {
    AddDevices(3);
    ASSERT_TRUE(store->SetParaStatus(DeviceMac(2), OperateSuccess)); // "OperateSuccess"
    ASSERT_TRUE(store->SetParaStatus(DeviceMac(3), Operating));      // "Operating"
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.RefreshPage();

    page.OnHeaderClicked(2); // MAC, ascending
    EXPECT_EQ(page.CellText(1, 2).toStdString(), DeviceMac(1));
    EXPECT_EQ(page.Header()->sortIndicatorSection(), 2);
    EXPECT_EQ(page.Header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_FALSE(page.NextDirection());

    page.OnHeaderClicked(4); // ParaStatus, descending by the stored text
    EXPECT_EQ(page.CellText(1, 4), QStringLiteral("WaitOperate"));
    EXPECT_EQ(page.CellText(3, 4), QStringLiteral("OperateSuccess"));
    EXPECT_EQ(page.Header()->sortIndicatorSection(), 4);
    EXPECT_EQ(page.Header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_TRUE(page.NextDirection());

    // A click on the serial column orders nothing and changes no direction.
    page.OnHeaderClicked(1);
    EXPECT_EQ(page.SortColumn(), 4);
    EXPECT_TRUE(page.NextDirection());

    // Other loads use the negation of the next direction.
    page.RefreshPage();
    EXPECT_EQ(page.Header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(page.CellText(1, 4), QStringLiteral("WaitOperate"));
}

TEST_F(ListPageTest, StatusPageOrdersByDateForMacAndTime) {
    // MAC order and discovery order disagree on purpose.
    AddDevice(1, 30);
    AddDevice(2, 10);
    AddDevice(3, 20);
    CStatusDlg page(nullptr, store.get());
    for (int column : {2, 3}) {
        SCOPED_TRACE(column);
        const bool ascending = page.NextDirection();
        page.OnHeaderClicked(column);
        ASSERT_EQ(page.DataRowCount(), 3);
        const std::vector<int> expected =
            ascending ? std::vector<int>{2, 3, 1} : std::vector<int>{1, 3, 2};
        for (int r = 1; r <= 3; ++r)
            EXPECT_EQ(page.CellText(r, 2).toStdString(), DeviceMac(expected[size_t(r - 1)]));
    }
    EXPECT_EQ(page.CellText(1, 3), QStringLiteral("2026-12-10 08:00:30"));
    EXPECT_EQ(page.SortKeyFor(2), SortByDate);
    EXPECT_EQ(page.SortKeyFor(3), SortByDate);
    EXPECT_EQ(page.SortKeyFor(1), SortByParaStatus);
}

TEST_F(ListPageTest, HeaderCheckBoxOnEmptyGridTogglesOnlyItself) {
    CModifyWebLogDlg page(nullptr, store.get());
    page.RefreshPage();
    ASSERT_EQ(page.DataRowCount(), 0);
    page.OnHeaderClicked(0);
    EXPECT_TRUE(page.Header()->IsChecked());
    EXPECT_TRUE(page.AllChecked());
    EXPECT_EQ(page.SortColumn(), 2);
    page.OnHeaderClicked(0);
    EXPECT_FALSE(page.Header()->IsChecked());
    EXPECT_FALSE(page.AllChecked());
}

TEST_F(ListPageTest, HeaderCheckBoxAndRowClicksSetTheChecks) {
    AddDevices(4);
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.RefreshPage();
    page.OnHeaderClicked(0);
    for (int r = 1; r <= 4; ++r)
        EXPECT_TRUE(page.RowChecked(r));
    page.OnCellClicked(2, 0); // toggles that row only
    EXPECT_FALSE(page.RowChecked(2));
    page.OnCellClicked(3, 2); // other columns do nothing
    EXPECT_TRUE(page.RowChecked(3));
    page.CollectCheckedDevices();
    EXPECT_EQ(page.SelectedDevices(),
              (std::vector<std::string>{DeviceMac(4), DeviceMac(2), DeviceMac(1)}));
    page.OnHeaderClicked(0);
    for (int r = 1; r <= 4; ++r)
        EXPECT_FALSE(page.RowChecked(r));

    // A real click on a check-box cell goes through the grid.
    QTableWidget* grid = page.Grid();
    page.resize(800, 600);
    page.show();
    const QRect cell = grid->visualItemRect(grid->item(0, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(page.RowChecked(1));
}

TEST_F(ListPageTest, EveryReloadClearsTheChecks) {
    AddDevices(3);
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.RefreshPage();
    const std::vector<std::function<void()>> reloads = {
        [&] { page.RefreshPage(); },
        [&] { page.RefreshButton()->click(); },
        [&] { page.ShowListPage(1); },
        [&] { page.OnHeaderClicked(3); },
        [&] { page.FilterEdit()->setText(QStringLiteral("02")); },
    };
    for (size_t i = 0; i < reloads.size(); ++i) {
        SCOPED_TRACE(i);
        page.OnHeaderClicked(0);
        ASSERT_TRUE(page.RowChecked(1));
        reloads[i]();
        ASSERT_EQ(page.DataRowCount(), 3);
        for (int r = 1; r <= 3; ++r)
            EXPECT_FALSE(page.RowChecked(r));
        EXPECT_FALSE(page.Header()->IsChecked());
        EXPECT_FALSE(page.AllChecked());
    }
}

TEST_F(ListPageTest, UpdateStatusCellChangesOneCellAndItsColourOnly) {
    AddDevices(3);
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.RefreshPage();
    page.OnCellClicked(1, 0);
    std::vector<std::vector<std::pair<QString, QColor>>> before;
    for (int r = 1; r <= 3; ++r) {
        before.emplace_back();
        for (int c = 1; c <= 4; ++c)
            before.back().emplace_back(page.CellText(r, c), page.CellTextColor(r, c));
    }
    page.UpdateStatusCell(DeviceMac(2), 4, OperateSuccess); // row 2 (descending order)
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 4; ++c) {
            if (r == 2 && c == 4) {
                EXPECT_EQ(page.CellText(r, c), QStringLiteral("OperateSuccess"));
                EXPECT_EQ(page.CellTextColor(r, c), ToQColor(Settings().textOnlineColor));
            } else {
                EXPECT_EQ(page.CellText(r, c), before[size_t(r - 1)][size_t(c - 1)].first);
                EXPECT_EQ(page.CellTextColor(r, c), before[size_t(r - 1)][size_t(c - 1)].second);
            }
        }
    }
    EXPECT_TRUE(page.RowChecked(1));
    EXPECT_FALSE(page.RowChecked(2));

    // A MAC that is not listed changes nothing.
    page.UpdateStatusCell("02:00:00:00:09:99", 4, OperateFail);
    EXPECT_EQ(page.CellText(1, 4), QStringLiteral("WaitOperate"));
}

TEST_F(ListPageTest, StatusColoursFollowTheCode) {
    const AppSettings& s = Settings();
    const struct {
        int status;
        ColorRef colour;
    } cases[] = {{0, s.gridTextColor},
                 {1, CDeviceListPage::kBusyColor},
                 {2, s.textOnlineColor},
                 {3, s.textUnlineColor},
                 {4, CDeviceListPage::kBusyColor},
                 {5, s.textUnlineColor},
                 {6, s.gridTextColor},
                 {-1, s.gridTextColor}};
    for (const auto& c : cases)
        EXPECT_EQ(CDeviceListPage::StatusColor(c.status), c.colour) << c.status;

    AddDevices(1);
    ASSERT_TRUE(store->SetLogStatus(DeviceMac(1), TransmitFail));
    CModifyWebLogDlg page(nullptr, store.get());
    page.RefreshPage();
    EXPECT_EQ(page.CellText(1, 3), QStringLiteral("TransmitFail"));
    EXPECT_EQ(page.CellTextColor(1, 3), StatusQColor(TransmitFail));
}

TEST_F(ListPageTest, GridIsReadOnlyWithHorizontalLinesAndHandColumns) {
    CModifyRouterInfoDlg parameter(nullptr, store.get());
    CStatusDlg status(nullptr, store.get());
    for (CDeviceListPage* page :
         {static_cast<CDeviceListPage*>(&parameter), static_cast<CDeviceListPage*>(&status)}) {
        EXPECT_EQ(page->Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_FALSE(page->Grid()->showGrid());
        EXPECT_TRUE(page->Header()->isSortIndicatorShown());
    }
    for (int c = 0; c <= 4; ++c)
        EXPECT_TRUE(parameter.HandCursorColumn(c));
    EXPECT_TRUE(status.HandCursorColumn(0));
    EXPECT_FALSE(status.HandCursorColumn(2));
}

TEST_F(ListPageTest, ModifyWithoutChecks) {
    AddDevices(2);
    int dialogs = 0;
    std::vector<std::string> handed;
    const DialogRunner previous = SetDialogRunner([&](QDialog& dialog) {
        ++dialogs;
        if (auto* logo = qobject_cast<CModifyWebLogConfigDlg*>(&dialog))
            handed = logo->Devices();
        return 0;
    });

    CModifyRouterInfoDlg parameter(nullptr, store.get());
    parameter.RefreshPage();
    parameter.ModifyButton()->click();
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "Please select the devices!");
    EXPECT_EQ(messages.messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages.messages()[0].caption, "");
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(parameter.RefreshTimer().isActive());

    // The logo page opens its dialog with an empty list, without a message.
    messages.clear();
    CModifyWebLogDlg logo(nullptr, store.get());
    logo.RefreshPage();
    logo.ModifyButton()->click();
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(handed.empty());
    EXPECT_TRUE(logo.RefreshTimer().isActive());
    EXPECT_EQ(logo.RefreshTimer().interval(), 3000);
    SetDialogRunner(previous);
}

TEST_F(ListPageTest, ModifyHandsTheCheckedDevicesAndTimerFollowsThem) {
    AddDevices(3);
    std::vector<std::string> handed;
    const DialogRunner previous = SetDialogRunner([&](QDialog& dialog) {
        if (auto* d = qobject_cast<CModifyRouterInfoConfigDlg*>(&dialog))
            handed = d->Devices();
        return 0;
    });
    CModifyRouterInfoDlg page(nullptr, store.get());
    page.RefreshPage();
    page.OnCellClicked(1, 0);
    page.OnCellClicked(3, 0);
    page.ModifyButton()->click();
    EXPECT_EQ(handed, (std::vector<std::string>{DeviceMac(3), DeviceMac(1)}));
    EXPECT_TRUE(page.RefreshTimer().isActive());
    EXPECT_EQ(page.RefreshTimer().interval(), 2000);

    ASSERT_TRUE(store->SetParaStatus(DeviceMac(3), OperateSuccess));
    ASSERT_TRUE(store->SetLogStatus(DeviceMac(1), TransmitFinish));
    ASSERT_TRUE(store->SetParaStatus(DeviceMac(2), OperateFail)); // not selected
    page.OnTimer(CModifyRouterInfoDlg::kRefreshTimer);
    EXPECT_EQ(page.CellText(1, 4), QStringLiteral("OperateSuccess"));
    EXPECT_EQ(page.CellTextColor(1, 4), ToQColor(Settings().textOnlineColor));
    EXPECT_EQ(page.CellText(3, 3), QStringLiteral("TransmitFinish"));
    EXPECT_EQ(page.CellText(2, 4), QStringLiteral("WaitOperate"));
    SetDialogRunner(previous);
}

} // namespace

namespace {

// The pages in the real page host: a page chosen on a page selector reaches
// the page that owns it, and the host refreshes the page it shows.
TEST_F(ListPageTest, PageHostRoutesPagesAndRefreshes) {
    AddDevices(49);
    CSqlManagement* s = store.get();
    CChildDlg host(nullptr, [s](int id, QWidget* parent) -> CTPage* {
        if (id == CTPage::kParameterPage)
            return new CModifyRouterInfoDlg(parent, s);
        if (id == CTPage::kStatusPage)
            return new CStatusDlg(parent, s);
        return new CModifyWebLogDlg(parent, s);
    });
    auto* status = static_cast<CStatusDlg*>(host.Page(CTPage::kStatusPage));
    auto* parameter = static_cast<CModifyRouterInfoDlg*>(host.Page(CTPage::kParameterPage));
    host.OnTimer(CChildDlg::kRefreshOnShowTimer);
    EXPECT_EQ(status->DataRowCount(), 48);
    EXPECT_EQ(parameter->DataRowCount(), 0); // hidden pages load when shown

    host.OnPageChangeNotice(CTPage::kParameterPage, 2);
    ASSERT_EQ(parameter->DataRowCount(), 1);
    EXPECT_EQ(parameter->CellText(1, 1), QStringLiteral("49"));
    EXPECT_EQ(parameter->CountText()->text(), QStringLiteral("Online device count:49"));
    EXPECT_EQ(parameter->Pager()->CurrentPage(), 2);

    // A search switches the host's automatic refresh off until it ends.
    status->OnSearchButton();
    EXPECT_FALSE(host.AutoRefresh());
    status->OnSearchButton();
    EXPECT_TRUE(host.AutoRefresh());
}

} // namespace
