// The main window on the desktop: where it opens, its tooltips, the About
// box's one title bar, the channel a second start uses, and the shell's
// steps of the start-up sequence.
#include "base/Language.h"
#include "base/ProgramDirectory.h"
#include "base/Settings.h"
#include "base/Startup.h"
#include "controls/CTButtonPicture.h"
#include "controls/DialogTitleBar.h"
#include "shell/CAboutDlg.h"
#include "shell/CApplicationDlg.h"
#include "shell/InstanceChannel.h"
#include "shell/MainWindow.h"
#include "shell/SkinPaths.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

#include <future>
#include <unistd.h>

namespace {

class ShellDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        qvtest::WidgetApp();
        InitLanguage(std::string());
        Settings() = AppSettings();
        LoadSettings(Settings(), qvtest::BinDir());
        BuildSkinPaths(Skin(), qvtest::BinDir());
    }
};

// Runs the event loop (the listening side) until the other side is done.
void WaitFor(std::future<bool>& other) {
    for (int i = 0;
         i < 500 && other.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

TEST(PlaceInside, TheWindowOpensInsideTheAvailableArea) {
    const QSize window(741, 675);
    struct Case {
        const char* screen;
        QRect available;
    } cases[] = {
        {"1920x1080 at 150%, panel at the top", QRect(0, 27, 1280, 693)},
        {"2560x1440 at 200%, panel at the bottom", QRect(0, 0, 1280, 680)},
        {"second screen right of the first", QRect(1920, 0, 1280, 640)},
        {"large screen", QRect(0, 0, 2560, 1400)},
        {"smaller than the window", QRect(10, 20, 600, 500)},
    };
    for (const Case& c : cases) {
        const QPoint at = CApplicationDlg::PlaceInside(c.available, window);
        const QRect placed(at, window);
        EXPECT_GE(placed.top(), c.available.top()) << c.screen;
        EXPECT_GE(placed.left(), c.available.left()) << c.screen;
        if (window.height() <= c.available.height()) {
            EXPECT_LE(placed.bottom(), c.available.bottom()) << c.screen;
        }
        if (window.width() <= c.available.width()) {
            EXPECT_LE(placed.right(), c.available.right()) << c.screen;
        }
    }
    // Where it fits it is centred.
    EXPECT_EQ(CApplicationDlg::PlaceInside(QRect(0, 0, 2560, 1400), window), QPoint(909, 362));
}

TEST_F(ShellDesktopTest, TitleButtonTipsWakeAfterHalfASecond) {
    CApplicationDlg window;
    for (CTButtonPicture* button : {window.MinimiseButton(), window.CloseButton()})
        EXPECT_EQ(button->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, button), 500)
            << button->objectName().toStdString();
}

TEST_F(ShellDesktopTest, BringToFrontShowsAWindowHiddenInTheTray) {
    CApplicationDlg window;
    window.show();
    window.hide();
    window.BringToFront();
    EXPECT_TRUE(window.isVisible());
    window.showMinimized();
    window.BringToFront();
    EXPECT_FALSE(window.isMinimized());
}

TEST_F(ShellDesktopTest, AboutBoxHasOneTitleBarDraggedByItsTitle) {
    CAboutDlg about(nullptr, QIcon());
    EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint) << "no second, system title bar";
    const DialogTitleBar& bar = about.TitleBar();
    ASSERT_NE(bar.title, nullptr);
    ASSERT_NE(bar.close, nullptr);
    EXPECT_TRUE(bar.title->text().contains(QStringLiteral("About Quorvantix")));
    EXPECT_EQ(bar.title->geometry().top(), 0);
    // The product lines stand under the title bar.
    for (QLabel* label : about.findChildren<QLabel*>())
        if (label != bar.title && label != bar.line) {
            EXPECT_GE(label->geometry().top(), DialogTitleBar::kHeight)
                << label->text().toStdString();
        }

    about.move(100, 100);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    const QPoint start = about.pos();
    const QPoint grip = bar.title->geometry().center();
    QTest::mousePress(&about, Qt::LeftButton, {}, grip);
    QTest::mouseMove(&about, grip + QPoint(40, 25));
    QTest::mouseRelease(&about, Qt::LeftButton, {}, grip + QPoint(40, 25));
    EXPECT_EQ(about.pos(), start + QPoint(40, 25)) << "dragged by its title";

    QSignalSpy finished(&about, &QDialog::finished);
    QTest::mouseClick(bar.close, Qt::LeftButton);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(about.result(), QDialog::Rejected) << "closed by its X";
}

TEST_F(ShellDesktopTest, SecondStartBringsTheRunningWindowForward) {
    qvtest::TempProgramDir runtime;
    const QString name = QString::fromStdString(runtime.file("channel.socket"));
    InstanceChannel channel;
    ASSERT_TRUE(channel.Listen(name));
    QSignalSpy asked(&channel, &InstanceChannel::activationRequested);

    // The second start runs in a process of its own; here a thread stands for it.
    std::future<bool> second =
        std::async(std::launch::async, [name] { return InstanceChannel::RequestActivation(name); });
    WaitFor(second);
    EXPECT_TRUE(second.get()) << "the running instance took the request";
    EXPECT_EQ(asked.count(), 1);

    // Anything else on the channel is no request.
    std::future<bool> stray = std::async(std::launch::async, [name] {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(1000))
            return false;
        socket.write("raise everything\n");
        socket.waitForBytesWritten(1000);
        socket.waitForDisconnected(1000);
        return true;
    });
    WaitFor(stray);
    EXPECT_TRUE(stray.get());
    EXPECT_EQ(asked.count(), 1);
}

TEST_F(ShellDesktopTest, ChannelNeedsARunningInstanceAndReplacesALeftover) {
    qvtest::TempProgramDir runtime;
    const QString name = QString::fromStdString(runtime.file("channel.socket"));
    EXPECT_FALSE(InstanceChannel::RequestActivation(name, 200)) << "nobody listens";
    {
        InstanceChannel crashed;
        ASSERT_TRUE(crashed.Listen(name));
    }
    // A socket file left behind (as by a program that was killed) is taken over.
    runtime.write("channel.socket", "");
    InstanceChannel channel;
    EXPECT_TRUE(channel.Listen(name));
    EXPECT_TRUE(channel.IsListening());
}

TEST(InstanceChannelName, IsTheUsersOwn) {
    qvtest::TempProgramDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    const QString inRuntime = InstanceChannel::ServerName();
    qputenv("XDG_RUNTIME_DIR", "/nonexistent/run");
    const QString fallback = InstanceChannel::ServerName();
    if (saved.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", saved);
    const QString user = QString::number(getuid());
    EXPECT_TRUE(inRuntime.startsWith(QString::fromStdString(runtime.path())));
    EXPECT_TRUE(inRuntime.contains(user));
    EXPECT_TRUE(fallback.startsWith(QDir::tempPath() + QLatin1Char('/')));
    EXPECT_TRUE(fallback.contains(user));
}

TEST_F(ShellDesktopTest, StartUpBuildsTheSkinPathsAfterTheSettings) {
    StartupHooks hooks;
    FillShellStartupHooks(hooks);
    ASSERT_TRUE(hooks.buildSkinPaths);
    ASSERT_TRUE(hooks.alreadyRunning);
    // The skin is read from the resource folder.
    const std::string saved = GetProgramDirectory();
    SetProgramDirectory("/opt/qv/");
    Skin() = SkinPaths();
    hooks.buildSkinPaths("/opt/qv/");
    SetProgramDirectory(saved);
    EXPECT_EQ(Skin().mainBk, QStringLiteral("/opt/qv/Skin/main_bk.jpg"));

    // Making the main window reads the paths; it builds none of its own.
    Skin() = SkinPaths();
    CApplicationDlg window;
    EXPECT_TRUE(Skin().mainBk.isEmpty());
    EXPECT_FALSE(window.HasBackgroundImage());
}

TEST_F(ShellDesktopTest, QtsOwnTextsFollowTheChosenLanguage) {
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "zh_CN.UTF-8");
    InitLanguage(qvtest::BinDir());
    ASSERT_EQ(CurrentLocaleId(), 2052);
    EXPECT_TRUE(InstallQtTranslations(qvtest::WidgetApp()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    for (QTranslator* t : qvtest::WidgetApp().findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));

    qputenv("LC_ALL", "en_US.UTF-8");
    InitLanguage(qvtest::BinDir());
    EXPECT_FALSE(InstallQtTranslations(qvtest::WidgetApp())) << "English needs none";
    if (saved.isNull())
        qunsetenv("LC_ALL");
    else
        qputenv("LC_ALL", saved);
    InitLanguage(std::string());
}

} // namespace
