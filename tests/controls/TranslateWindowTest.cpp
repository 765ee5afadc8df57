#include "shell/TranslateWindow.h"
#include "base/Language.h"
#include "base/Settings.h"
#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"
#include "controls/CTEdit.h"
#include "controls/CTStatic.h"
#include "shell/CApplicationDlg.h"
#include "shell/CMenuDlg.h"
#include "shell/SkinPaths.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QGlyphRun>
#include <QListWidget>
#include <QMenu>
#include <QRawFont>
#include <QSpinBox>
#include <QTextLayout>
#include <QToolTip>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A language file of its own, chosen through the locale environment.
class TranslateWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        qvtest::WidgetApp();
        dir.write("Languages/Language.ini", "[LCID]\r\n2052=Test\r\n");
        dir.write("Languages/Test.lng", "[ProgramOutStr]\r\n"
                                        "search=SEARCH\r\n"
                                        "modify=MODIFY\r\n"
                                        "device status=DEVICE STATUS\r\n"
                                        "...=DOTS\r\n"
                                        "window title=WINDOW TITLE\r\n"
                                        "show utility=SHOW\r\n"
                                        "exit=EXIT\r\n"
                                        "more=MORE\r\n");
        for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(var);
            saved.emplace_back(var, value ? std::optional<std::string>(value) : std::nullopt);
        }
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", "zh_CN.UTF-8", 1);
        InitLanguage(LanguageHome());
        if (LanguageHome() != dir.path())
            return;
        ASSERT_EQ(TranslateText(QStringLiteral("Search")), QStringLiteral("SEARCH"));
    }
    virtual std::string LanguageHome() const { return dir.path(); }
    void TearDown() override {
        for (const auto& [var, value] : saved) {
            if (value)
                setenv(var.c_str(), value->c_str(), 1);
            else
                unsetenv(var.c_str());
        }
        InitLanguage(std::string()); // back to English for the other tests
    }
    qvtest::TempProgramDir dir;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(TranslateWindowTest, TranslatesCaptionsOnceAndLeavesContentsAlone) {
    CTDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Window title"));
    auto* button = new CTButtonPicture(&dialog);
    button->setText(QStringLiteral("Search"));
    auto* dots = new QPushButton(QStringLiteral("..."), &dialog);
    auto* label = new CTStatic(&dialog);
    label->setText(QStringLiteral("Device status"));
    auto* unknown = new QLabel(QStringLiteral("No entry"), &dialog);
    auto* edit = new CTEdit(&dialog);
    edit->setText(QStringLiteral("Search"));
    auto* list = new QListWidget(&dialog);
    list->addItem(QStringLiteral("Search"));
    auto* spin = new QSpinBox(&dialog);
    spin->setSuffix(QStringLiteral("Search"));
    auto* combo = new QComboBox(&dialog);
    combo->addItem(QStringLiteral("Search"), 48);
    combo->addItem(QStringLiteral("Modify"));
    combo->setCurrentIndex(1);
    auto* none = new QComboBox(&dialog);
    none->addItem(QStringLiteral("Search"));
    none->setCurrentIndex(-1);

    TranslateWindow(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("WINDOW TITLE"));
    EXPECT_EQ(button->text(), QStringLiteral("SEARCH"));
    EXPECT_EQ(dots->text(), QStringLiteral("...")) << "\"...\" is kept";
    EXPECT_EQ(label->text(), QStringLiteral("DEVICE STATUS"));
    EXPECT_EQ(unknown->text(), QStringLiteral("No entry"));
    EXPECT_EQ(edit->text(), QStringLiteral("Search"));
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Search"));
    EXPECT_EQ(spin->suffix(), QStringLiteral("Search"));
    EXPECT_EQ(combo->itemText(0), QStringLiteral("SEARCH"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("MODIFY"));
    EXPECT_EQ(combo->currentIndex(), 1) << "selection kept";
    EXPECT_EQ(combo->itemData(0).toInt(), 48);
    EXPECT_EQ(none->currentIndex(), -1) << "no selection stays none";

    // Texts the dialog sets afterwards survive a second call.
    button->setText(QStringLiteral("Search"));
    label->setText(QStringLiteral("Modify"));
    combo->setItemText(0, QStringLiteral("Search"));
    auto* later = new QPushButton(QStringLiteral("Modify"), &dialog);
    TranslateWindow(&dialog);
    EXPECT_EQ(button->text(), QStringLiteral("Search"));
    EXPECT_EQ(label->text(), QStringLiteral("Modify"));
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Search"));
    EXPECT_EQ(later->text(), QStringLiteral("Modify")) << "the dialog was handled already";

    // A new dialog is translated even where an old one's memory is reused.
    for (int i = 0; i < 3; ++i) {
        auto* fresh = new CTDialog;
        auto* b = new QPushButton(QStringLiteral("Search"), fresh);
        TranslateWindow(fresh);
        EXPECT_EQ(b->text(), QStringLiteral("SEARCH"));
        delete fresh;
    }
    TranslateWindow(nullptr);
}

TEST_F(TranslateWindowTest, TranslatesMenusAndTheirSubmenus) {
    QMenu menu;
    menu.addAction(QStringLiteral("Show Utility"));
    menu.addSeparator();
    QMenu* sub = menu.addMenu(QStringLiteral("More"));
    QAction* inner = sub->addAction(QStringLiteral("Exit"));
    QAction* other = menu.addAction(QStringLiteral("Unlisted"));
    TranslateMenu(&menu);
    EXPECT_EQ(menu.actions()[0]->text(), QStringLiteral("SHOW"));
    EXPECT_EQ(sub->title(), QStringLiteral("MORE"));
    EXPECT_EQ(menu.actions()[2]->menu<QMenu*>(), sub) << "keeps its submenu";
    EXPECT_EQ(inner->text(), QStringLiteral("EXIT"));
    EXPECT_EQ(other->text(), QStringLiteral("Unlisted"));
}

// Whether the glyphs that drawing text in font would use all exist: every
// character comes out of a real font (the chosen one or a fallback), none as
// the empty box of a missing glyph.
::testing::AssertionResult Drawable(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    qsizetype glyphs = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        for (quint32 index : run.glyphIndexes()) {
            ++glyphs;
            if (index == 0)
                return ::testing::AssertionFailure()
                       << "a missing glyph in \"" << text.toStdString() << "\" drawn with "
                       << raw.familyName().toStdString();
        }
    }
    for (const QChar c : text)
        if (!c.isSpace() && c.unicode() > 0x2e80) {
            bool covered = false;
            for (const QGlyphRun& run : layout.glyphRuns())
                covered = covered || run.rawFont().supportsCharacter(c);
            if (!covered)
                return ::testing::AssertionFailure()
                       << "no font covers U+" << std::hex << int(c.unicode()) << " of \""
                       << text.toStdString() << "\"";
        }
    if (glyphs == 0)
        return ::testing::AssertionFailure()
               << "nothing drawn for \"" << text.toStdString() << "\"";
    return ::testing::AssertionSuccess();
}

// The program folder's own language files.
class ShippedChineseTest : public TranslateWindowTest {
protected:
    std::string LanguageHome() const override { return qvtest::BinDir(); }
};

TEST_F(ShippedChineseTest, CoversTheTextsOfTheShellAndThePages) {
    EXPECT_EQ(CurrentLocaleId(), 2052);
    for (const char* text : {"Min",
                             "Close",
                             "Show Utility",
                             "Exit",
                             "About Quorvantix...",
                             "Device status",
                             "Device Modify Para ",
                             "Device Modify Logo",
                             "Search",
                             "Stop",
                             "Modify",
                             "NetCard",
                             "Serial",
                             "MAC",
                             "Time",
                             "Status",
                             "ParaStatus",
                             "LogoStatus",
                             "WaitOperate",
                             "Operating",
                             "OperateSuccess",
                             "OperateFail",
                             "TransmitFinish",
                             "TransmitFail",
                             "Scan",
                             "Clear",
                             "ConfigurationModify",
                             "ConfigurationSubmit",
                             "ModifyLogo",
                             "ChooseXmlFile",
                             "ChoosePictureFile",
                             "Example",
                             "Please select the devices!",
                             "Are you sure you want to submit logo?",
                             "Picture file cannot be larger than 6000 bytes!"}) {
        const QString source = QString::fromUtf8(text);
        EXPECT_NE(TranslateText(source), source) << text;
    }
    EXPECT_TRUE(
        TranslateText(QStringLiteral("Online device count:%d")).contains(QStringLiteral("%d")))
        << "the count placeholder survives";
    EXPECT_EQ(TranslateText(QStringLiteral("Quorvantix")), QStringLiteral("Quorvantix"));
}

TEST_F(ShippedChineseTest, ScreenshotOfTheChineseMainWindow) {
    Settings() = AppSettings();
    LoadSettings(Settings(), qvtest::BinDir());
    BuildSkinPaths(Skin(), qvtest::BinDir());
    CApplicationDlg window;
    window.show();
    EXPECT_EQ(window.MenuPanel()->Button(1004)->text(), QStringLiteral("设备状态"));
    EXPECT_EQ(window.CloseButton()->toolTip(), QStringLiteral("关闭"));
    EXPECT_EQ(window.TrayMenu()->actions().value(0)->text(), QStringLiteral("显示主界面"));
    // A font on the machine draws the texts: boxes where characters should be
    // make the picture worthless.
    for (int id : {1004, 1006}) {
        CTButtonPicture* button = window.MenuPanel()->Button(id);
        EXPECT_TRUE(Drawable(button->CaptionFont(), button->text())) << id;
    }
    EXPECT_TRUE(Drawable(QToolTip::font(), window.CloseButton()->toolTip()));
    EXPECT_TRUE(Drawable(window.TrayMenu()->font(), window.TrayMenu()->actions().value(0)->text()));
    const QString dir =
        QString::fromStdString(qvtest::BinDir()) + QStringLiteral("/../screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(qvtest::Grab(window).save(dir + QStringLiteral("/main_zh.png")));
}

} // namespace
