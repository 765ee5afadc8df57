// The list pages as an operator drives them with a real mouse and the
// keyboard, and the page host's periodic reload while the operator works.
#include "base/Settings.h"
#include "controls/SkinStyle.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyRouterInfoDlg.h"
#include "screens/CStatusDlg.h"
#include "shell/CApplicationDlg.h"
#include "shell/CChildDlg.h"
#include "shell/CMenuDlg.h"
#include "shell/SkinPaths.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/screens/ScreenTestSupport.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <set>

using namespace qvtest;

namespace {

class ListPageInteractionTest : public ScreenFixture {
protected:
    // Shows the page in a window of its own with the keyboard focus in it.
    void ShowActive(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    static QPoint SectionCentre(QHeaderView* header, int section) {
        return {header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                header->height() / 2};
    }
};

TEST_F(ListPageInteractionTest, ClicksOnColumnsWithoutOrderLeaveTheSortMark) {
    AddDevices(3);
    CModifyRouterInfoDlg page(nullptr, store.get());
    ShowActive(page);
    page.RefreshPage();
    CCheckHeader* header = page.Header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, SectionCentre(header, 2));
    ASSERT_EQ(header->sortIndicatorSection(), 2);
    ASSERT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    // The check-box cell and "Serial" order nothing: neither the list nor the
    // mark may change, however often they are clicked, in either direction.
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        if (header->sortIndicatorOrder() != order)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, SectionCentre(header, 2));
        ASSERT_EQ(header->sortIndicatorOrder(), order);
        const std::string first = page.CellText(1, 2).toStdString();
        for (int section : {0, 1, 0, 1, 1}) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              SectionCentre(header, section));
            EXPECT_EQ(header->sortIndicatorSection(), 2) << "after a click on " << section;
            EXPECT_EQ(header->sortIndicatorOrder(), order) << "after a click on " << section;
            EXPECT_EQ(page.CellText(1, 2).toStdString(), first);
        }
    }
    EXPECT_FALSE(page.AllChecked()) << "the check-box cell was clicked four times";
}

TEST_F(ListPageInteractionTest, ArrowsMoveTheCurrentRowAndSpaceTicksIt) {
    AddDevices(4);
    CModifyRouterInfoDlg page(nullptr, store.get());
    ShowActive(page);
    page.RefreshPage();
    QTableWidget* grid = page.Grid();
    EXPECT_NE(grid->focusPolicy() & Qt::TabFocus, 0) << "the grid is reached by Tab";
    grid->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(grid->hasFocus());
    grid->setCurrentCell(0, 0);

    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentRow(), 2);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_TRUE(page.RowChecked(3));
    QTest::keyClick(grid, Qt::Key_Up);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_TRUE(page.RowChecked(2));
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_FALSE(page.RowChecked(2)) << "a second Space clears the tick";
    EXPECT_FALSE(page.RowChecked(1));
    EXPECT_FALSE(page.RowChecked(4));
    page.CollectCheckedDevices();
    EXPECT_EQ(page.SelectedDevices(), std::vector<std::string>{page.CellText(3, 2).toStdString()});

    // Enter and Escape in the grid close nothing.
    QTest::keyClick(grid, Qt::Key_Return);
    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_TRUE(page.isVisible());
}

TEST_F(ListPageInteractionTest, TabReachesEveryControlOfTheMainWindow) {
    CSqlManagement* s = store.get();
    AddDevices(2);
    CApplicationDlg window(nullptr, [s](int id, QWidget* host) -> CTPage* {
        if (id == CTPage::kStatusPage)
            return new CStatusDlg(host, s);
        if (id == CTPage::kParameterPage)
            return new CModifyRouterInfoDlg(host, s);
        return nullptr;
    });
    link.adapters = {MakeAdapter("eth0", "e1000e", {0x02, 0, 0, 0, 0, 1})};
    ShowActive(window);
    window.PageHost()->OnTimer(CChildDlg::kRefreshOnShowTimer);

    std::set<QString> reached;
    for (int i = 0; i < 40; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        reached.insert(focus->objectName());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    for (const char* name :
         {"minimiseButton", "closeButton", "menuButton1004", "menuButton1006", "searchButton",
          "netCardChooser", "filterEdit", "deviceGrid", "refreshButton"})
        EXPECT_EQ(reached.count(QString::fromLatin1(name)), 1u) << name;
    EXPECT_EQ(reached.count(QStringLiteral("menuButton1009")), 0u) << "hidden, never reached";
    EXPECT_TRUE(window.isVisible()) << "Tab closes nothing";
}

TEST_F(ListPageInteractionTest, PictureButtonsMarkTheKeyboardFocus) {
    CStatusDlg page(nullptr, store.get());
    ShowActive(page);
    CTButtonPicture* button = page.SearchButton();
    page.RefreshButton()->setFocus(Qt::MouseFocusReason);
    const QImage unfocused = Grab(*button);
    button->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(button->ShowsFocusMark()) << "a click's focus is not marked";
    EXPECT_EQ(Grab(*button), unfocused);
    page.RefreshButton()->setFocus(Qt::TabFocusReason);
    button->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(button->ShowsFocusMark());
    EXPECT_NE(Grab(*button), unfocused) << "the focus mark is drawn";
    page.RefreshButton()->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(button->ShowsFocusMark());
    EXPECT_EQ(Grab(*button), unfocused) << "and goes with the focus";
}

TEST_F(ListPageInteractionTest, PeriodicRefreshKeepsScrollRowAndFocus) {
    AddDevices(30);
    CSqlManagement* s = store.get();
    CApplicationDlg window(nullptr, [s](int id, QWidget* host) -> CTPage* {
        return id == CTPage::kStatusPage ? new CStatusDlg(host, s) : nullptr;
    });
    ShowActive(window);
    CChildDlg* host = window.PageHost();
    host->OnTimer(CChildDlg::kRefreshOnShowTimer);
    auto* page = static_cast<CStatusDlg*>(host->Page(CTPage::kStatusPage));
    QTableWidget* grid = page->Grid();
    ASSERT_EQ(page->DataRowCount(), 30);
    grid->setFocus(Qt::TabFocusReason);
    grid->setCurrentCell(17, 0);
    QScrollBar* bar = grid->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum() / 2 + 1);
    const int scroll = bar->value();

    AddDevice(31, 31); // a new device answers meanwhile
    host->OnTimer(CChildDlg::kStatusTimer);
    EXPECT_EQ(page->DataRowCount(), 31) << "the list is reloaded";
    EXPECT_EQ(bar->value(), scroll);
    EXPECT_EQ(grid->currentRow(), 17);
    EXPECT_TRUE(grid->hasFocus()) << "the focus stays in the grid, not in the filter box";

    // The refresh button is the operator's own reload: the filter box gets
    // the focus then, as always.
    page->RefreshPage();
    EXPECT_TRUE(page->FilterEdit()->hasFocus());
}

TEST_F(ListPageInteractionTest, CountColourColumnWidthsAndFilterFrame) {
    Settings().staticTextNumberColor = MakeColorRef(200, 10, 20);
    Settings().staticFontTextColor = MakeColorRef(1, 2, 3);
    CStatusDlg page(nullptr, store.get());
    ShowActive(page);
    page.RefreshPage();
    EXPECT_EQ(page.CountText()->TextColor(), MakeColorRef(200, 10, 20));
    EXPECT_EQ(page.NetCardLabel()->TextColor(), MakeColorRef(1, 2, 3));

    // Every column keeps its own width, the last one too.
    const int widths[] = {60, 120, 264, 160};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(page.Grid()->columnWidth(c), widths[c]) << "column " << c;

    // The frame pictures stand at their own size on either side of the box.
    const QRect filter = page.FilterEdit()->geometry();
    const QImage left = LoadSkinImage(Skin().pieLeft);
    const QImage right = LoadSkinImage(Skin().pieRight);
    ASSERT_FALSE(left.isNull());
    ASSERT_FALSE(right.isNull());
    auto* leftLabel = page.findChild<QLabel*>(QStringLiteral("filterFrameLeft"));
    auto* rightLabel = page.findChild<QLabel*>(QStringLiteral("filterFrameRight"));
    ASSERT_NE(leftLabel, nullptr);
    ASSERT_NE(rightLabel, nullptr);
    EXPECT_EQ(leftLabel->size(), left.size());
    EXPECT_EQ(rightLabel->size(), right.size());
    EXPECT_EQ(leftLabel->geometry().right() + 1, filter.left());
    EXPECT_EQ(rightLabel->geometry().left(), filter.right() + 1);
}

} // namespace
