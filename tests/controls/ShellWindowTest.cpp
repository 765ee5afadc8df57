#include "base/Language.h"
#include "base/Settings.h"
#include "controls/CTMultiPages.h"
#include "controls/CTPicture.h"
#include "shell/CAboutDlg.h"
#include "shell/CApplicationDlg.h"
#include "shell/CChildDlg.h"
#include "shell/CEmptyPage.h"
#include "shell/CMenuDlg.h"
#include "shell/SkinPaths.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The program folder as the build lays it out: settings, skin, languages.
class ShellWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        qvtest::WidgetApp();
        InitLanguage(std::string()); // English, whatever the machine's locale
        Settings() = AppSettings();
        LoadSettings(Settings(), qvtest::BinDir());
        BuildSkinPaths(Skin(), qvtest::BinDir());
    }
};

CEmptyPage* PageOf(CChildDlg& host, int id) {
    return static_cast<CEmptyPage*>(host.Page(id));
}

TEST(SkinPaths, NameEveryFileOfTheSkinFolder) {
    SkinPaths paths;
    BuildSkinPaths(paths, "/opt/qv/");
    EXPECT_EQ(paths.mainBk, QStringLiteral("/opt/qv/Skin/main_bk.jpg"));
    EXPECT_EQ(paths.applicationIcon, QStringLiteral("/opt/qv/Skin/Application.ico"));
    EXPECT_EQ(paths.waitSearch, QStringLiteral("/opt/qv/Skin/wait_search.gif"));
    for (const QString& p :
         {paths.mainLeftBk, paths.menuSearchNormal, paths.menuSearchDown, paths.menuWirelessNormal,
          paths.menuWirelessDown, paths.minNormal, paths.closeNormal, paths.buttonSearch,
          paths.buttonUpdateNormal, paths.buttonUpdateDown, paths.line, paths.pieLeft,
          paths.pieRight, paths.closeConfig, paths.buttonConfig, paths.configButton,
          paths.orangeLine})
        EXPECT_TRUE(p.startsWith(QStringLiteral("/opt/qv/Skin/")) && p.size() > 13)
            << p.toStdString();
}

TEST_F(ShellWindowTest, TheBuiltSkinHasEveryImage) {
    const SkinPaths& s = Skin();
    for (const QString& p : {s.applicationIcon,
                             s.mainBk,
                             s.mainLeftBk,
                             s.menuSearchNormal,
                             s.menuSearchDown,
                             s.menuWirelessNormal,
                             s.menuWirelessDown,
                             s.minNormal,
                             s.closeNormal,
                             s.buttonSearch,
                             s.buttonUpdateNormal,
                             s.buttonUpdateDown,
                             s.line,
                             s.pieLeft,
                             s.pieRight,
                             s.waitSearch,
                             s.closeConfig,
                             s.buttonConfig,
                             s.configButton,
                             s.orangeLine})
        EXPECT_FALSE(QImage(p).isNull()) << p.toStdString();
    CTPicture busy;
    ASSERT_TRUE(busy.LoadPicture(s.waitSearch));
    EXPECT_GE(busy.Frames().size(), 8u) << "the busy indicator is animated";
}

TEST_F(ShellWindowTest, SwitchingPagesRefreshesTheNewPageOnce100msLater) {
    CChildDlg host(nullptr);
    EXPECT_EQ(host.PageOnShow(), 133);
    EXPECT_TRUE(host.Page(133)->isVisibleTo(&host));
    EXPECT_FALSE(host.Page(137)->isVisibleTo(&host));
    host.OnTimer(CChildDlg::kRefreshOnShowTimer); // the tick after set-up
    EXPECT_EQ(PageOf(host, 133)->RefreshCount(), 1);

    host.ShowPage(137);
    EXPECT_TRUE(host.Page(137)->isVisibleTo(&host));
    EXPECT_FALSE(host.Page(133)->isVisibleTo(&host));
    ASSERT_TRUE(host.RefreshOnShowTimer().isActive());
    EXPECT_EQ(host.RefreshOnShowTimer().interval(), 100);
    EXPECT_EQ(PageOf(host, 137)->RefreshCount(), 0) << "not at once";
    // Let the real timer tick, and a few more periods pass.
    ASSERT_TRUE(QTest::qWaitFor([&] { return PageOf(host, 137)->RefreshCount() >= 1; }, 2000));
    QTest::qWait(350);
    EXPECT_EQ(PageOf(host, 137)->RefreshCount(), 1) << "once only";
    EXPECT_FALSE(host.RefreshOnShowTimer().isActive());
    EXPECT_EQ(PageOf(host, 136)->RefreshCount(), 0);
}

TEST_F(ShellWindowTest, TheTenSecondTimerRefreshesOnlyTheStatusPageWhileTheSwitchIsOn) {
    CChildDlg host(nullptr);
    EXPECT_TRUE(host.StatusTimer().isActive());
    EXPECT_EQ(host.StatusTimer().interval(), 10000);
    EXPECT_TRUE(host.AutoRefresh());

    host.OnTimer(CChildDlg::kStatusTimer);
    EXPECT_EQ(PageOf(host, 133)->RefreshCount(), 1);
    host.SetAutoRefresh(false);
    host.OnTimer(CChildDlg::kStatusTimer);
    EXPECT_EQ(PageOf(host, 133)->RefreshCount(), 1);
    host.SetAutoRefresh(true);

    host.ShowPage(137);
    host.OnTimer(CChildDlg::kStatusTimer);
    EXPECT_EQ(PageOf(host, 133)->RefreshCount(), 1);
    EXPECT_EQ(PageOf(host, 137)->RefreshCount(), 0);
}

TEST_F(ShellWindowTest, PageChangeNoticesReachThePageThatOwnsTheSelector) {
    CChildDlg host(nullptr);
    EXPECT_EQ(PageHostLink(), &host);
    EXPECT_EQ(host.OnPageChangeNotice(137, 3), 0);
    EXPECT_EQ(PageOf(host, 137)->LastListPage(), 3);
    EXPECT_EQ(PageOf(host, 133)->LastListPage(), 0);
    host.OnPageChangeNotice(133, 2);
    EXPECT_EQ(PageOf(host, 133)->LastListPage(), 2);
    host.OnPageChangeNotice(999, 5); // nobody's
    EXPECT_EQ(PageOf(host, 136)->LastListPage(), 0);

    // A selector on a page with the host as its owner.
    CTMultiPages pager(host.Page(136));
    pager.resize(300, 30);
    pager.ResetPager(PageHostLink(), 136);
    pager.SetPagerPages(1, 3);
    const QPoint third = pager.BoxRects()[2].center();
    QTest::mousePress(&pager, Qt::LeftButton, {}, third);
    QTest::mouseRelease(&pager, Qt::LeftButton, {}, third);
    EXPECT_EQ(PageOf(host, 136)->LastListPage(), 3);
}

TEST_F(ShellWindowTest, MenuButtonsMarkTheirPageAndSwitchTheHost) {
    CChildDlg* host = nullptr;
    QWidget parent;
    CMenuDlg menu(&parent, [&] { return host; });
    EXPECT_TRUE(menu.Button(1004)->IsSelected()) << "marked at set-up";
    EXPECT_FALSE(menu.Button(1009)->isVisibleTo(&menu)) << "the logo button is created hidden";
    EXPECT_EQ(menu.Button(1004)->text(), QStringLiteral("Device status"));
    EXPECT_EQ(menu.Button(1006)->text(), QStringLiteral("Device Modify Para "));
    EXPECT_EQ(menu.Button(1009)->text(), QStringLiteral("Device Modify Logo"));
    EXPECT_EQ(menu.Button(1004)->Alignment(), CTButtonPicture::AlignCentre);
    EXPECT_EQ(menu.VersionLabel()->text(), QStringLiteral("V0.20.6.69"));
    EXPECT_EQ(menu.VersionLabel()->TextColor(), MakeColorRef(142, 142, 142));

    menu.OnMenuCommand(1006); // no host yet: only the marks change
    EXPECT_TRUE(menu.Button(1006)->IsSelected());
    EXPECT_FALSE(menu.Button(1004)->IsSelected());

    host = new CChildDlg(&parent);
    QTest::mouseClick(menu.Button(1006), Qt::LeftButton);
    EXPECT_EQ(host->PageOnShow(), 137);
    menu.OnMenuCommand(1009);
    EXPECT_EQ(host->PageOnShow(), 136);
    EXPECT_TRUE(menu.Button(1009)->IsSelected());
    menu.OnMenuCommand(1004);
    EXPECT_EQ(host->PageOnShow(), 133);

    host->SetMenuPanel(&menu);
    host->SetMenuButtonsEnabled(false);
    EXPECT_FALSE(menu.Button(1006)->isEnabled());
    host->SetMenuButtonsEnabled(true);
    EXPECT_TRUE(menu.Button(1006)->isEnabled());
}

TEST_F(ShellWindowTest, MainWindowHasItsTipsTrayTextsAndPanels) {
    CApplicationDlg window;
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.MinimiseButton()->toolTip(), QStringLiteral("Min"));
    EXPECT_EQ(window.CloseButton()->toolTip(), QStringLiteral("Close"));
    EXPECT_EQ(window.TrayTip(), QStringLiteral("Quorvantix"));
    EXPECT_FALSE(window.ProgramIcon().isNull());
    QStringList items;
    for (QAction* a : window.TrayMenu()->actions())
        if (!a->isSeparator())
            items << a->text();
    EXPECT_TRUE(items.contains(QStringLiteral("Show Utility")));
    EXPECT_TRUE(items.contains(QStringLiteral("Exit")));
    ASSERT_NE(window.MenuPanel(), nullptr);
    ASSERT_NE(window.PageHost(), nullptr);
    EXPECT_EQ(window.MenuPanel()->pos(), QPoint(0, 158));
    EXPECT_EQ(window.PageHost()->pos(), QPoint(window.MenuPanel()->width(), 86));
    EXPECT_EQ(window.PageHost()->parentWidget(), &window);
}

TEST_F(ShellWindowTest, MinimiseKeepsTheWindowReachableAndCloseEndsIt) {
    CApplicationDlg window;
    window.show();
    QSignalSpy finished(&window, &QDialog::finished);
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible()) << "Enter and Escape do nothing";
    EXPECT_EQ(finished.count(), 0);

    window.OnCommand(CApplicationDlg::kMinimiseButton);
    if (window.TrayIcon())
        EXPECT_FALSE(window.isVisible()) << "hidden to the notification area";
    else
        EXPECT_TRUE(window.isMinimized()) << "no notification area: an ordinary minimise";
    window.OnCommand(CApplicationDlg::kShowUtility);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    QTest::mouseClick(window.CloseButton(), Qt::LeftButton);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    window.show();
    window.OnCommand(CApplicationDlg::kExit);
    EXPECT_EQ(finished.count(), 2);
}

TEST_F(ShellWindowTest, WithoutSkinSettingsOrLanguagesTheWindowsStillWork) {
    qvtest::TempProgramDir empty;
    Settings() = AppSettings();
    LoadSettings(Settings(), empty.path());
    InitLanguage(empty.path());
    BuildSkinPaths(Skin(), empty.path());
    CApplicationDlg window;
    window.show();
    EXPECT_FALSE(window.HasBackgroundImage());
    EXPECT_TRUE(window.FillsBackground());
    EXPECT_EQ(window.FillColor(), MakeColorRef(255, 255, 255));
    EXPECT_TRUE(window.ProgramIcon().isNull());
    EXPECT_EQ(window.TrayIcon(), nullptr);
    EXPECT_FALSE(window.MenuPanel()->HasBackgroundImage());
    EXPECT_TRUE(window.MenuPanel()->Button(1004)->Image(CTButtonPicture::Normal).isNull());
    EXPECT_EQ(window.MenuPanel()->Button(1004)->text(), QStringLiteral("Device status"));
    EXPECT_FALSE(window.CloseButton()->text().isEmpty()) << "a close button without a picture";
    const QImage shot = qvtest::Grab(window);
    EXPECT_EQ(QColor(shot.pixel(window.width() - 5, window.height() - 5)), QColor(Qt::white));
    window.OnCommand(CApplicationDlg::kMinimiseButton);
    EXPECT_TRUE(window.isMinimized()) << "stays reachable without a notification area";
}

TEST_F(ShellWindowTest, AboutBoxShowsTheProductAndAnOkButton) {
    CAboutDlg about(nullptr, QIcon());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quorvantix"));
    auto* ok = about.findChild<CTButtonPicture*>(QStringLiteral("aboutOk"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    bool version = false;
    for (QLabel* label : about.findChildren<QLabel*>())
        version = version || label->text().contains(QStringLiteral("V0.20.6.69"));
    EXPECT_TRUE(version);
    QSignalSpy finished(&about, &QDialog::finished);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(ShellWindowTest, ScreenshotOfTheMainWindow) {
    CApplicationDlg window;
    window.show();
    QTest::qWait(50);
    const QImage shot = qvtest::Grab(window);
    ASSERT_EQ(shot.size(), window.size());
    const QString dir =
        QString::fromStdString(qvtest::BinDir()) + QStringLiteral("/../screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(shot.save(dir + QStringLiteral("/main.png")));
}

} // namespace
