#include "tests/screens/ScreenTestSupport.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "shell/SkinPaths.h"
#include "tests/controls/WidgetTestApp.h"

#include <cstdio>
#include <cstring>

namespace qvtest {

AdapterRecord MakeAdapter(const std::string& name, const std::string& description,
                          const std::array<std::uint8_t, 6>& mac) {
    AdapterRecord record{};
    std::memcpy(record.hardwareAddress, mac.data(), 6);
    std::snprintf(record.description, sizeof record.description, "%s", description.c_str());
    std::snprintf(record.adapterName, sizeof record.adapterName, "%s", name.c_str());
    return record;
}

std::string DeviceMac(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "02:00:00:00:%02X:%02X", (n >> 8) & 0xFF, n & 0xFF);
    return text;
}

ScreenFixture::ScreenFixture() : previousLink_(SetScreenLink(&link)) {
    WidgetApp();
    InitLanguage(BinDir());
    Settings() = AppSettings();
    LoadSettings(Settings(), BinDir());
    BuildSkinPaths(Skin(), BinDir());
    dir.write("ModifyXml/.keep", "");
    store = std::make_unique<CSqlManagement>(dir.path());
}

ScreenFixture::~ScreenFixture() {
    SetScreenLink(previousLink_);
}

void ScreenFixture::AddDevice(int n, int secondsAfterStart) {
    DiscoveredDevice device{};
    std::snprintf(device.macText, sizeof device.macText, "%s", DeviceMac(n).c_str());
    std::snprintf(device.time, sizeof device.time, "2026-12-10 08:%02d:%02d",
                  (secondsAfterStart / 60) % 60, secondsAfterStart % 60);
    ASSERT_TRUE(store->SaveDiscoveredDevice(device));
}

void ScreenFixture::AddDevices(int count) {
    for (int n = 1; n <= count; ++n)
        AddDevice(n, n);
}

} // namespace qvtest
