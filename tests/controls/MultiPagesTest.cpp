#include "controls/CTMultiPages.h"
#include "controls/PageHostLink.h"
#include "tests/controls/WidgetTestApp.h"

#include <QTest>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

constexpr int E = CTMultiPages::kEllipsis;

class RecordingHost : public CPageHostLink {
public:
    int OnPageChangeNotice(int ownerId, int page) override {
        notices.emplace_back(ownerId, page);
        return 0;
    }
    void SetAutoRefresh(bool) override {}
    bool AutoRefresh() const override { return true; }
    void SetMenuButtonsEnabled(bool) override {}
    std::vector<std::pair<int, int>> notices;
};

TEST(MultiPagesBoxes, ShowFirstLastCurrentAndGaps) {
    struct Case {
        int current;
        int count;
        std::vector<int> boxes;
    } cases[] = {
        {1, 0, {}},
        {1, 1, {1}},
        {2, 7, {1, 2, 3, 4, 5, 6, 7}},
        {5, 8, {1, E, 4, 5, 6, 7, 8}},
        {4, 8, {1, 2, 3, 4, 5, E, 8}},
        {1, 10, {1, 2, 3, 4, 5, E, 10}},
        {4, 10, {1, 2, 3, 4, 5, E, 10}},
        {5, 10, {1, E, 4, 5, 6, E, 10}},
        {6, 10, {1, E, 5, 6, 7, E, 10}},
        {7, 10, {1, E, 6, 7, 8, 9, 10}},
        {10, 10, {1, E, 6, 7, 8, 9, 10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTMultiPages::ComputeBoxPages(c.current, c.count), c.boxes)
            << c.current << " of " << c.count;
}

class MultiPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        qvtest::WidgetApp();
        pager.resize(400, 30);
        pager.ResetPager(&host, 137);
    }
    QPoint CentreOf(int box) const { return pager.BoxRects()[static_cast<size_t>(box)].center(); }
    void Click(QPoint press, QPoint release) {
        QTest::mousePress(&pager, Qt::LeftButton, {}, press);
        QTest::mouseRelease(&pager, Qt::LeftButton, {}, release);
    }
    RecordingHost host;
    CTMultiPages pager;
};

TEST_F(MultiPagesTest, SevenOneDigitBoxesMakeA242PixelRowCentred) {
    pager.SetPagerPages(1, 7);
    const std::vector<QRect> rects = pager.BoxRects();
    ASSERT_EQ(rects.size(), 7u);
    for (const QRect& r : rects) {
        EXPECT_EQ(r.width(), 32);
        EXPECT_EQ(r.height(), 24);
    }
    EXPECT_EQ(rects.back().right() + 1 - rects.front().left(), 242);
    EXPECT_EQ(rects.front().left(), (400 - 242) / 2);
    EXPECT_EQ(rects.front().top(), 3);
    EXPECT_EQ(rects[1].left() - rects[0].right() - 1, 3);
}

TEST_F(MultiPagesTest, StartsUnsetAndKeepsTheCurrentPageWithinTheCount) {
    CTMultiPages fresh;
    EXPECT_EQ(fresh.PageCount(), -1);
    EXPECT_TRUE(fresh.BoxRects().empty());
    EXPECT_EQ(pager.PageCount(), 0);
    pager.SetPagerPages(9, 3);
    EXPECT_EQ(pager.CurrentPage(), 1);
    pager.SetPagerPages(3, 3);
    EXPECT_EQ(pager.CurrentPage(), 3);
}

TEST_F(MultiPagesTest, OnlyAPressAndReleaseOnTheSameOtherPageSendsANotice) {
    pager.SetPagerPages(1, 10); // 1 2 3 4 5 ... 10
    Click(CentreOf(5), CentreOf(5));
    Click(CentreOf(0), CentreOf(0));
    EXPECT_TRUE(host.notices.empty()) << "\"...\" and the current page send nothing";

    Click(CentreOf(2), CentreOf(3));
    EXPECT_TRUE(host.notices.empty()) << "pressed here, released there";
    EXPECT_EQ(pager.CurrentPage(), 1);

    Click(CentreOf(3), CentreOf(3));
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_EQ(host.notices[0], std::make_pair(137, 4));
    EXPECT_EQ(pager.CurrentPage(), 4);

    Click(CentreOf(6), CentreOf(6));
    ASSERT_EQ(host.notices.size(), 2u);
    EXPECT_EQ(host.notices[1], std::make_pair(137, 10));
    EXPECT_EQ(pager.BoxPages(), (std::vector<int>{1, E, 6, 7, 8, 9, 10}));
}

TEST_F(MultiPagesTest, HoverMarksTheBoxUnderTheMouse) {
    pager.SetPagerPages(1, 3);
    pager.show();
    QTest::mouseMove(&pager, CentreOf(1));
    EXPECT_EQ(pager.HoveredBox(), 1);
    EXPECT_EQ(pager.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&pager, CentreOf(0));
    EXPECT_EQ(pager.cursor().shape(), Qt::ArrowCursor) << "the current page";
    QTest::mouseMove(&pager, QPoint(1, 1));
    EXPECT_EQ(pager.HoveredBox(), -1);
}

} // namespace
