#include "base/Settings.h"

#include "base/IniFile.h"
#include "base/ProgramDirectory.h"

#include <climits>
#include <cstdint>
#include <vector>

namespace {

// A value is read into a 64-character buffer, terminator included; a face name
// in a FontSpec holds 31 characters.
constexpr std::size_t kMaxValueBytes = 63;
constexpr std::size_t kMaxFaceBytes = 31;

std::string SettingsPath(const std::string& programDirectory) {
    return FindResourceFile(programDirectory, "Setting.ini");
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string ReadSetting(const IniFile& ini, const char* section, const char* key,
                        const char* defaultText) {
    return CutUtf8(ini.Get(section, key, defaultText), kMaxValueBytes);
}

void ReadColor(const IniFile& ini, const char* key, const char* defaultText, ColorRef& color) {
    ParseColorText(ReadSetting(ini, "Color", key, defaultText), color);
}

void ReadInt(const IniFile& ini, const char* key, const char* defaultText, int& value) {
    value = TextToInt(ReadSetting(ini, "Font", key, defaultText));
}

} // namespace

int TextToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1)
            value = static_cast<std::int64_t>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(value);
}

void LoadSettings(AppSettings& s, const std::string& programDirectory) {
    const IniFile ini = IniFile::FromFile(SettingsPath(programDirectory));

    // Table order.
    ReadColor(ini, "ChildBkColor", "255,255,255", s.childBkColor);
    s.fontName = ReadSetting(ini, "Font", "FontName", "Arial");
    ReadInt(ini, "ButtonMenuFontWeight", "0", s.buttonMenuFontWeight);
    ReadInt(ini, "ButtonMenuFontHeight", "15", s.buttonMenuFontHeight);
    ReadColor(ini, "ButtonMenuFontColor", "0,0,0", s.buttonMenuFontColor);
    ReadInt(ini, "ButtonFontWeight", "0", s.buttonFontWeight);
    ReadInt(ini, "ButtonFontHeight", "15", s.buttonFontHeight);
    ReadColor(ini, "ButtonFontColor", "0,0,0", s.buttonFontColor);
    ReadInt(ini, "StaticFontWeight", "0", s.staticFontWeight);
    ReadInt(ini, "StaticFontHeight", "15", s.staticFontHeight);
    ReadColor(ini, "StaticFontTextColor", "0,0,0", s.staticFontTextColor);
    ReadColor(ini, "StaticFontBkColor", "255,255,255", s.staticFontBkColor);
    ReadColor(ini, "TextDownColor", "216,34,40", s.textDownColor);
    ReadColor(ini, "LineColor", "215,215,215", s.lineColor);
    ReadColor(ini, "StaticTextNumberColor", "142,142,142", s.staticTextNumberColor);
    ReadInt(ini, "GridTitleFontWeight", "700", s.gridTitleFontWeight);
    ReadInt(ini, "GridTitleFontHeight", "15", s.gridTitleFontHeight);
    ReadInt(ini, "GridFontWeight", "0", s.gridFontWeight);
    ReadInt(ini, "GridFontHeight", "15", s.gridFontHeight);
    ReadColor(ini, "GridTextColor", "0,0,0", s.gridTextColor);
    ReadColor(ini, "GridTitleTextColor", "237,112,32", s.gridTitleTextColor);
    ReadColor(ini, "GridTitleBkColor", "186,199,231", s.gridTitleBkColor);
    ReadColor(ini, "TextUnlineColor", "255,128,64", s.textUnlineColor);
    ReadColor(ini, "TextOnlineColor", "0,153,0", s.textOnlineColor);

    const std::string face = CutUtf8(s.fontName, kMaxFaceBytes);
    s.gridTitleFont = FontSpec{s.gridTitleFontHeight, s.gridTitleFontWeight, face};
    s.gridFont = FontSpec{s.gridFontHeight, s.gridFontWeight, face};
    s.rowHeight = 48;
    s.versionText = BuildVersionText();
    s.programDirectory = programDirectory;
}

std::string GetSettingString(const std::string& programDirectory, const std::string& section,
                             const std::string& key, const std::string& defaultText) {
    return CutUtf8(
        IniFile::FindInFile(SettingsPath(programDirectory), section, key).value_or(defaultText),
        kMaxValueBytes);
}

bool ParseColorText(const std::string& text, ColorRef& color) {
    std::vector<std::string> fields;
    std::string field;
    bool ended = false;
    for (std::size_t i = 0; i < text.size() && !ended; ++i) {
        const char c = text[i];
        if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else if (c == '"' || c == '\'') {
            // A quoted run ends at the next mark of the same kind not preceded by a
            // backslash; the backslash itself stays in the field.
            std::size_t j = i + 1;
            while (j < text.size() && !(text[j] == c && text[j - 1] != '\\'))
                ++j;
            field.append(text, i + 1, j - (i + 1));
            if (j >= text.size()) {
                fields.push_back(field);
                field.clear();
                ended = true;
            } else {
                i = j;
            }
        } else {
            field += c;
        }
    }
    if (!ended && !field.empty())
        fields.push_back(field);

    if (fields.size() != 3)
        return false;
    int rgb[3];
    for (int k = 0; k < 3; ++k) {
        rgb[k] = TextToInt(fields[static_cast<std::size_t>(k)]);
        if (rgb[k] < 0 || rgb[k] > 255)
            return false;
    }
    color = MakeColorRef(rgb[0], rgb[1], rgb[2]);
    return true;
}

std::string BuildVersionText() {
    return "V" + std::to_string(QV_VERSION_MAJOR) + "." + std::to_string(QV_VERSION_MINOR) + "." +
           std::to_string(QV_VERSION_PATCH) + "." + std::to_string(QV_VERSION_TWEAK);
}

AppSettings& Settings() {
    static AppSettings settings;
    return settings;
}
