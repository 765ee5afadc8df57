// The submission dialogs as windows of their own (one title bar, dragged by
// it, closed by its X) and the texts around them in the shipped Chinese:
// message-box buttons, file-chooser filters and the MAC refusal.
#include "base/Language.h"
#include "controls/CTButtonPicture.h"
#include "controls/DialogTitleBar.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyRouterInfoConfigDlg.h"
#include "screens/CModifyWebLogConfigDlg.h"
#include "screens/FileChooser.h"
#include "screens/WidgetMessageSink.h"
#include "tests/screens/ScreenTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

using namespace qvtest;

namespace {

class DialogFinishTest : public ScreenFixture {};

// The shipped Chinese for the length of one test.
class ChineseDialogTest : public ScreenFixture {
protected:
    ChineseDialogTest() {
        const char* old = std::getenv("LC_ALL");
        saved_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("LC_ALL", "zh_CN.UTF-8", 1);
        InitLanguage(BinDir());
    }
    ~ChineseDialogTest() override {
        if (saved_)
            setenv("LC_ALL", saved_->c_str(), 1);
        else
            unsetenv("LC_ALL");
        InitLanguage(BinDir());
    }

private:
    std::optional<std::string> saved_;
};

std::vector<std::pair<const char*, std::function<std::unique_ptr<CTDialog>(CSqlManagement*)>>>
Dialogs() {
    return {
        {"parameter dialog",
         [](CSqlManagement* s) {
             return std::make_unique<CModifyRouterInfoConfigDlg>(
                 std::vector<std::string>{DeviceMac(1)}, nullptr, s);
         }},
        {"logo dialog",
         [](CSqlManagement* s) {
             return std::make_unique<CModifyWebLogConfigDlg>(std::vector<std::string>{DeviceMac(1)},
                                                             nullptr, s);
         }},
    };
}

TEST_F(DialogFinishTest, SubmissionDialogsHaveOneTitleBar) {
    for (const auto& [name, make] : Dialogs()) {
        std::unique_ptr<CTDialog> dialog = make(store.get());
        EXPECT_TRUE(dialog->windowFlags() & Qt::FramelessWindowHint) << name;
        auto* title = dialog->findChild<QLabel*>(QStringLiteral("titleText"));
        auto* close = dialog->findChild<CTButtonPicture*>(QStringLiteral("closeButton"));
        ASSERT_NE(title, nullptr) << name;
        ASSERT_NE(close, nullptr) << name;
        EXPECT_EQ(title->geometry().topLeft(), QPoint(0, 0)) << name;
        EXPECT_EQ(title->width(), dialog->width()) << name;

        dialog->move(50, 60);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        const QPoint start = dialog->pos();
        const QPoint grip(title->width() / 3, title->height() / 2);
        QTest::mousePress(dialog.get(), Qt::LeftButton, {}, grip);
        QTest::mouseMove(dialog.get(), grip + QPoint(-30, 70));
        QTest::mouseRelease(dialog.get(), Qt::LeftButton, {}, grip + QPoint(-30, 70));
        EXPECT_EQ(dialog->pos(), start + QPoint(-30, 70)) << name << " is dragged by its title";

        QSignalSpy finished(dialog.get(), &QDialog::finished);
        QTest::mouseClick(close, Qt::LeftButton);
        ASSERT_EQ(finished.count(), 1) << name;
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << name << " is closed by its X";
    }
}

TEST_F(ChineseDialogTest, MessageBoxButtonsComeFromTheLanguageFile) {
    WidgetMessageSink boxes;
    QStringList seen;
    // Answers the box once it is up: notes its buttons, then presses Cancel.
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            for (QAbstractButton* b : box->buttons())
                seen << b->text();
            box->button(QMessageBox::Cancel) ? box->button(QMessageBox::Cancel)->click()
                                             : box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start();
    EXPECT_EQ(boxes.Show("?", MessageIcon::Question, std::string()), MessageAnswer::Cancel);
    seen.sort();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("取消"), QStringLiteral("确定")}));
    seen.clear();
    EXPECT_EQ(boxes.Show("!", MessageIcon::Exclamation, "Quorvantix"), MessageAnswer::Ok);
    EXPECT_EQ(seen, QStringList{QStringLiteral("确定")});
}

TEST_F(ChineseDialogTest, FileChoosersShowTheTranslatedFilters) {
    CModifyRouterInfoConfigDlg parameter({DeviceMac(1)}, nullptr, store.get());
    FileChooser::setNextFileName(QString());
    parameter.OnChooseTemplate();
    EXPECT_EQ(FileChooser::lastFilter(), QStringLiteral("配置文件 (*.xml);;所有文件 (*)"));
    FileChooser::setNextFileName(QString());
    parameter.OnChoosePicture();
    EXPECT_EQ(FileChooser::lastFilter(), QStringLiteral("图片文件 (*.jpg);;所有文件 (*)"));
    CModifyWebLogConfigDlg logo({DeviceMac(1)}, nullptr, store.get());
    FileChooser::setNextFileName(QString());
    logo.OnChoosePicture();
    EXPECT_EQ(FileChooser::lastFilter(), QStringLiteral("图片文件 (*);;所有文件 (*)"));
}

TEST_F(ChineseDialogTest, AnInvalidMacIsRefusedInTheOperatorsLanguage) {
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QString picture = QString::fromStdString(dir.file("logo.jpg"));
    ASSERT_TRUE(image.save(picture, "JPG"));
    CModifyWebLogConfigDlg dialog({DeviceMac(1), "02:00:00:00:00:ZZ"}, nullptr, store.get());
    FileChooser::setNextFileName(picture);
    dialog.OnChoosePicture();
    messages.setNextAnswer(MessageAnswer::Ok);
    dialog.OnModifyLogo();
    ASSERT_FALSE(messages.texts().empty());
    EXPECT_EQ(messages.texts().back(), "无效的 MAC 地址： 02:00:00:00:00:ZZ");
    EXPECT_TRUE(link.jobs.empty());
}

} // namespace
