#pragma once

#include <QString>
#include <string>

// Full paths of every image of the skin folder, built once at start-up and
// read by every window when it sets itself up. The images are not checked
// here; a missing one is the reader's to survive.
struct SkinPaths {
    QString applicationIcon;    // Application.ico
    QString mainBk;             // main_bk.jpg
    QString mainLeftBk;         // main_left_bk.jpg
    QString menuSearchNormal;   // bt_menu_search_normal.bmp
    QString menuSearchDown;     // bt_menu_search_down.bmp
    QString menuWirelessNormal; // bt_menu_wireless_normal.bmp
    QString menuWirelessDown;   // bt_menu_wireless_down.bmp
    QString minNormal;          // min_normal.bmp
    QString closeNormal;        // close_normal.bmp
    QString buttonSearch;       // btn_search.bmp
    QString buttonUpdateNormal; // btn_update_normal.bmp
    QString buttonUpdateDown;   // btn_update_down.bmp
    QString line;               // line.bmp
    QString pieLeft;            // btn_pie.bmp
    QString pieRight;           // btn_pie2.bmp
    QString waitSearch;         // wait_search.gif
    QString closeConfig;        // close_config.bmp
    QString buttonConfig;       // btn_config.bmp
    QString configButton;       // config_btn.bmp
    QString orangeLine;         // orange_line.bmp
};

// Fills paths with programDirectory + "Skin/" + file name for every file.
void BuildSkinPaths(SkinPaths& paths, const std::string& programDirectory);

// The process-wide set, filled by start-up. Header-only so that the pages
// may read it without linking the shell.
inline SkinPaths& Skin() {
    static SkinPaths paths;
    return paths;
}
