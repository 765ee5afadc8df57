#include "shell/SkinPaths.h"

void BuildSkinPaths(SkinPaths& paths, const std::string& programDirectory) {
    const QString skin = QString::fromStdString(programDirectory) + QStringLiteral("Skin/");
    auto path = [&](const char* name) -> QString { return skin + QLatin1String(name); };
    paths.applicationIcon = path("Application.ico");
    paths.mainBk = path("main_bk.jpg");
    paths.mainLeftBk = path("main_left_bk.jpg");
    paths.menuSearchNormal = path("bt_menu_search_normal.bmp");
    paths.menuSearchDown = path("bt_menu_search_down.bmp");
    paths.menuWirelessNormal = path("bt_menu_wireless_normal.bmp");
    paths.menuWirelessDown = path("bt_menu_wireless_down.bmp");
    paths.minNormal = path("min_normal.bmp");
    paths.closeNormal = path("close_normal.bmp");
    paths.buttonSearch = path("btn_search.bmp");
    paths.buttonUpdateNormal = path("btn_update_normal.bmp");
    paths.buttonUpdateDown = path("btn_update_down.bmp");
    paths.line = path("line.bmp");
    paths.pieLeft = path("btn_pie.bmp");
    paths.pieRight = path("btn_pie2.bmp");
    paths.waitSearch = path("wait_search.gif");
    paths.closeConfig = path("close_config.bmp");
    paths.buttonConfig = path("btn_config.bmp");
    paths.configButton = path("config_btn.bmp");
    paths.orangeLine = path("orange_line.bmp");
}
