// Pictures of every page and dialog with devices listed, into
// build/screenshots/, drawn with the skin and settings of the build.
#include "controls/CTPage.h"
#include "records/CSqlManagement.h"
#include "screens/CModifyRouterInfoConfigDlg.h"
#include "screens/CModifyRouterInfoDlg.h"
#include "screens/CModifyWebLogConfigDlg.h"
#include "screens/CModifyWebLogDlg.h"
#include "screens/CStatusDlg.h"
#include "screens/FileChooser.h"
#include "shell/CApplicationDlg.h"
#include "shell/CChildDlg.h"
#include "shell/CMenuDlg.h"
#include "tests/controls/WidgetTestApp.h"
#include "tests/screens/ScreenTestSupport.h"

#include <QDir>
#include <QImage>

using namespace qvtest;

namespace {

class ScreenshotTest : public ScreenFixture {
protected:
    ScreenshotTest() {
        link.adapters = {MakeAdapter("qvd1234n", "veth", {0x02, 0x5a, 0x11, 0x3c, 0x4d, 0x5e})};
        for (int n = 1; n <= 12; ++n)
            AddDevice(n, n * 3);
        store->SetParaStatus(DeviceMac(12), OperateSuccess);
        store->SetLogStatus(DeviceMac(12), OperateSuccess);
        store->SetParaStatus(DeviceMac(11), Operating);
        store->SetLogStatus(DeviceMac(11), TransmitFinish);
        store->SetParaStatus(DeviceMac(10), OperateFail);
        store->SetLogStatus(DeviceMac(9), OperateSuccess);
        folder = QString::fromStdString(BinDir()) + QStringLiteral("/../screenshots");
        QDir().mkpath(folder);
    }

    void Save(QWidget& widget, const char* name) {
        widget.show();
        QApplication::processEvents();
        const QImage shot = Grab(widget);
        EXPECT_FALSE(shot.isNull());
        EXPECT_TRUE(shot.save(folder + QLatin1Char('/') + QLatin1String(name)));
    }

    QString folder;
};

TEST_F(ScreenshotTest, PagesInTheMainWindow) {
    CSqlManagement* s = store.get();
    CApplicationDlg window(nullptr, [s](int id, QWidget* host) -> CTPage* {
        switch (id) {
        case CTPage::kStatusPage:
            return new CStatusDlg(host, s);
        case CTPage::kParameterPage:
            return new CModifyRouterInfoDlg(host, s);
        case CTPage::kLogoPage:
            return new CModifyWebLogDlg(host, s);
        }
        return nullptr;
    });
    window.show();
    CChildDlg* host = window.PageHost();
    host->OnTimer(CChildDlg::kRefreshOnShowTimer);
    Save(window, "status-page.png");

    window.MenuPanel()->OnMenuCommand(CMenuDlg::kParameterButton);
    host->OnTimer(CChildDlg::kRefreshOnShowTimer);
    auto* parameter = static_cast<CModifyRouterInfoDlg*>(host->Page(CTPage::kParameterPage));
    parameter->OnCellClicked(1, 0);
    parameter->OnCellClicked(3, 0);
    Save(window, "parameter-page.png");

    host->ShowPage(CTPage::kLogoPage);
    host->OnTimer(CChildDlg::kRefreshOnShowTimer);
    Save(window, "logo-page.png");

    // Last: a search empties the store.
    window.MenuPanel()->OnMenuCommand(CMenuDlg::kStatusButton);
    host->OnTimer(CChildDlg::kRefreshOnShowTimer);
    auto* status = static_cast<CStatusDlg*>(host->Page(CTPage::kStatusPage));
    status->OnSearchButton();
    AddDevice(21, 100);
    AddDevice(22, 101);
    status->OnTimer(CStatusDlg::kSearchTimer);
    Save(window, "status-page-searching.png");
    status->OnSearchButton();
}

TEST_F(ScreenshotTest, SubmissionDialogs) {
    QImage logo(200, 45, QImage::Format_RGB32);
    logo.fill(QColor(0, 84, 166));
    const QString logoPath = QString::fromStdString(dir.file("logo.jpg"));
    ASSERT_TRUE(logo.save(logoPath, "JPG", 70));
    dir.write("template.xml", "<Value Name=\"WLAN_SSID\" Value=\"Home\"/>\r\n");

    CModifyRouterInfoConfigDlg parameter({DeviceMac(1), DeviceMac(2)}, nullptr, store.get());
    FileChooser::setNextFileName(logoPath);
    parameter.OnChoosePicture();
    FileChooser::setNextFileName(QString::fromStdString(dir.file("template.xml")));
    parameter.OnChooseTemplate();
    Save(parameter, "parameter-dialog.png");

    CModifyWebLogConfigDlg logoDialog({DeviceMac(1)}, nullptr, store.get());
    FileChooser::setNextFileName(logoPath);
    logoDialog.OnChoosePicture();
    Save(logoDialog, "logo-dialog.png");
}

} // namespace
