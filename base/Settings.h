#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A packed colour: red in bits 0-7, green 8-15, blue 16-23, top byte 0.
using ColorRef = std::uint32_t;

constexpr ColorRef MakeColorRef(int r, int g, int b) {
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int ColorRed(ColorRef c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int ColorGreen(ColorRef c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int ColorBlue(ColorRef c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// A font given by character-cell height in pixels, weight (0 = platform's
// choice, 400 normal, 700 bold) and face (at most 31 bytes).
struct FontSpec {
    int height = 0;
    int weight = 0;
    std::string face;

    bool operator==(const FontSpec&) const = default;
};

// The values read from Setting.ini once at start-up. Before LoadSettings every
// colour and integer is 0 and every text empty.
struct AppSettings {
    ColorRef childBkColor = 0;
    std::string fontName;
    int buttonMenuFontWeight = 0;
    int buttonMenuFontHeight = 0;
    ColorRef buttonMenuFontColor = 0;
    int buttonFontWeight = 0;
    int buttonFontHeight = 0;
    ColorRef buttonFontColor = 0;
    int staticFontWeight = 0;
    int staticFontHeight = 0;
    ColorRef staticFontTextColor = 0;
    ColorRef staticFontBkColor = 0;
    ColorRef textDownColor = 0;
    ColorRef lineColor = 0;
    ColorRef staticTextNumberColor = 0;
    int gridTitleFontWeight = 0;
    int gridTitleFontHeight = 0;
    int gridFontWeight = 0;
    int gridFontHeight = 0;
    ColorRef gridTextColor = 0;
    ColorRef gridTitleTextColor = 0;
    ColorRef gridTitleBkColor = 0;
    ColorRef textUnlineColor = 0;
    ColorRef textOnlineColor = 0;

    FontSpec gridTitleFont;       // title row of the device list
    FontSpec gridFont;            // cells of the device list
    int rowHeight = 0;            // device-list data rows: 48 after LoadSettings
    std::string versionText;      // "V0.20.6.69"
    std::string programDirectory; // ends with '/'

    bool operator==(const AppSettings&) const = default;
};

// Reads <programDirectory>Setting.ini into settings, every key with its default.
// For the program's working folder the file is the operator's own copy there,
// else the shipped one (FindResourceFile); the same holds for GetSettingString.
// Cannot fail: a missing file or key leaves the default.
void LoadSettings(AppSettings& settings, const std::string& programDirectory);

// The key's value in that section of <programDirectory>Setting.ini, or the
// default when file, section or key is missing (an empty value stays empty).
std::string GetSettingString(const std::string& programDirectory, const std::string& section,
                             const std::string& key, const std::string& defaultText);

// Parses "r,g,b" (fields 0..255). On failure returns false and leaves color as it was.
bool ParseColorText(const std::string& text, ColorRef& color);

// Decimal text to integer like the C library's atoi: leading white space, an
// optional sign, digits up to the first other character; no digits gives 0.
// Out-of-range values saturate instead of being undefined.
int TextToInt(std::string_view text);

// "V" + the compiled-in version "major.minor.patch.tweak".
std::string BuildVersionText();

// The process-wide settings, filled at start-up; read-only afterwards.
AppSettings& Settings();
