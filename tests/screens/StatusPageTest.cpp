// The status page: network-card chooser and the search with its 40 ticks.
#include "controls/CTPicture.h"
#include "controls/PageHostLink.h"
#include "screens/CStatusDlg.h"
#include "tests/screens/ScreenTestSupport.h"

using namespace qvtest;

namespace {

class FakeHost : public CPageHostLink {
public:
    int OnPageChangeNotice(int ownerId, int page) override {
        notices.emplace_back(ownerId, page);
        return 0;
    }
    void SetAutoRefresh(bool on) override { autoRefresh = on; }
    bool AutoRefresh() const override { return autoRefresh; }
    void SetMenuButtonsEnabled(bool enabled) override { menuEnabled = enabled; }

    bool autoRefresh = true;
    bool menuEnabled = true;
    std::vector<std::pair<int, int>> notices;
};

class StatusPageTest : public ScreenFixture {
protected:
    StatusPageTest() { SetPageHostLink(&host); }
    ~StatusPageTest() override { SetPageHostLink(nullptr); }

    void ExpectLocked(CStatusDlg& page, bool locked) {
        EXPECT_EQ(page.FilterEdit()->isEnabled(), !locked);
        EXPECT_EQ(page.Grid()->isEnabled(), !locked);
        EXPECT_EQ(page.PageSizeChooser()->isEnabled(), !locked);
        EXPECT_EQ(page.NetCardChooser()->isEnabled(), !locked);
        EXPECT_EQ(host.menuEnabled, !locked);
        EXPECT_EQ(host.autoRefresh, !locked);
        EXPECT_EQ(page.BusyIndicator()->isHidden(), !locked);
        EXPECT_EQ(page.SearchTimer().isActive(), locked);
        EXPECT_EQ(page.Idle(), !locked);
        EXPECT_EQ(page.SearchButton()->Caption(),
                  locked ? QStringLiteral("Stop") : QStringLiteral("Search"));
    }

    FakeHost host;
};

TEST_F(StatusPageTest, ChooserTellsTwoCardsOfOneModelApart) {
    struct Case {
        const char* name;
        const char* description;
        const char* text;
    } cases[] = {
        {"enp3s0", "Intel I219-V", "Intel I219-V - enp3s0 (02:00:00:00:00:01)"},
        {"enp4s0", "Intel I219-V", "Intel I219-V - enp4s0 (02:00:00:00:00:01)"},
        // A description that is the interface name already is not repeated.
        {"qvd7n", "qvd7n", "qvd7n (02:00:00:00:00:01)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CStatusDlg::NetCardText(MakeAdapter(c.name, c.description, {2, 0, 0, 0, 0, 1})),
                  QString::fromUtf8(c.text))
            << c.name;
}

TEST_F(StatusPageTest, ChooserListsAdaptersAndSelectionRestartsTheLink) {
    link.adapters = {MakeAdapter("eth0", "Intel e1000", {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}),
                     MakeAdapter("eth1", "veth", {0x02, 0, 0, 0, 0, 0x0f})};
    CStatusDlg page(nullptr, store.get());
    ASSERT_EQ(page.NetCardChooser()->count(), 2);
    EXPECT_EQ(page.NetCardChooser()->itemText(0),
              QStringLiteral("Intel e1000 - eth0 (00:1A:2B:3C:4D:5E)"));
    EXPECT_EQ(page.NetCardChooser()->itemData(1).toInt(), 1);
    EXPECT_EQ(page.NetCardChooser()->currentIndex(), 0);
    EXPECT_EQ(link.selected, std::vector<std::string>{"eth0"});
    EXPECT_EQ(page.CountText()->text(), QStringLiteral("Online device count:0"));

    page.OnNetCardChanged(1);
    EXPECT_EQ(link.selected, (std::vector<std::string>{"eth0", "eth1"}));
    EXPECT_EQ(page.DataRowCount(), 0); // the change does not reload the list
    page.OnNetCardChanged(2);
    page.OnNetCardChanged(-1);
    EXPECT_EQ(link.selected.size(), 2u);
}

TEST_F(StatusPageTest, NoAdapterLeavesChooserEmpty) {
    CStatusDlg page(nullptr, store.get());
    EXPECT_EQ(page.NetCardChooser()->count(), 0);
    EXPECT_TRUE(link.selected.empty());
    page.OnSearchButton(); // a search still clears and reloads
    EXPECT_EQ(link.clears, 1);
    EXPECT_EQ(link.discoveries, 1);
    page.OnSearchButton();
}

// An adapter without a raw socket is said so, once on the selection and once
// at the start of a search, never at each broadcast.
TEST_F(StatusPageTest, AdapterWithoutRawFramesIsReportedOnce) {
    const std::string error = "cannot open eth0 for raw frames: needs CAP_NET_RAW (run as root, "
                              "or install the package and join the group quorvantix)";
    link.adapters = {MakeAdapter("eth0", "Intel e1000", {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e})};
    link.error = error;
    CStatusDlg page(nullptr, store.get());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{error});
    page.OnSearchButton();
    for (int tick = 1; tick < 5; ++tick)
        page.OnTimer(CStatusDlg::kSearchTimer);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{error, error}));
    page.OnSearchButton();

    link.error.clear();
    messages.clear();
    page.OnNetCardChanged(0);
    page.OnSearchButton();
    EXPECT_TRUE(messages.texts().empty());
    page.OnSearchButton();
}

TEST_F(StatusPageTest, SearchRunsFortyTicksThenEnds) {
    AddDevices(3);
    CStatusDlg page(nullptr, store.get());
    page.FilterEdit()->setText(QStringLiteral("ZZ"));
    ASSERT_EQ(page.DataRowCount(), 0);

    page.OnSearchButton();
    EXPECT_EQ(link.clears, 1);
    EXPECT_EQ(link.discoveries, 1);
    EXPECT_EQ(page.FilterEdit()->text(), QString());
    EXPECT_EQ(page.DataRowCount(), 0); // the store was cleared
    EXPECT_EQ(page.SearchTimer().interval(), 1000);
    ExpectLocked(page, true);

    // Replies arrive while the search runs; the newest come first.
    AddDevice(7, 5);
    AddDevice(8, 9);
    for (int tick = 1; tick < 40; ++tick)
        page.OnTimer(CStatusDlg::kSearchTimer);
    EXPECT_EQ(link.discoveries, 40);
    ASSERT_EQ(page.DataRowCount(), 2);
    EXPECT_EQ(page.CellText(1, 2).toStdString(), DeviceMac(8));
    ExpectLocked(page, true);

    page.OnTimer(CStatusDlg::kSearchTimer); // the 40th tick
    EXPECT_EQ(link.discoveries, 40);
    ExpectLocked(page, false);
    EXPECT_EQ(page.DataRowCount(), 2);
    page.OnTimer(CStatusDlg::kSearchTimer); // a stray tick does nothing
    EXPECT_EQ(link.discoveries, 40);
}

TEST_F(StatusPageTest, StopEndsTheSearchAtOnce) {
    CStatusDlg page(nullptr, store.get());
    page.SearchButton()->click();
    for (int tick = 1; tick <= 10; ++tick)
        page.OnTimer(CStatusDlg::kSearchTimer);
    EXPECT_EQ(link.discoveries, 11);
    page.SearchButton()->click();
    ExpectLocked(page, false);
    EXPECT_EQ(page.Ticks(), 10);
    page.OnTimer(CStatusDlg::kSearchTimer);
    EXPECT_EQ(link.discoveries, 11);

    // A second search clears everything found by the first.
    AddDevices(2);
    page.RefreshPage();
    ASSERT_EQ(page.DataRowCount(), 2);
    page.SearchButton()->click();
    EXPECT_EQ(page.DataRowCount(), 0);
    EXPECT_EQ(link.clears, 2);
    page.SearchButton()->click();
}

} // namespace
