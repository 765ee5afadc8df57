#include "base/Settings.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

constexpr ColorRef kUntouched = 0xABCDEF;

struct ColorCase {
    const char* text;
    bool ok;
    int r, g, b;
};

class ParseColor : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ParseColor, FollowsTheFieldRules) {
    const ColorCase& c = GetParam();
    ColorRef color = kUntouched;
    EXPECT_EQ(ParseColorText(c.text, color), c.ok);
    if (c.ok)
        EXPECT_EQ(color, MakeColorRef(c.r, c.g, c.b));
    else
        EXPECT_EQ(color, kUntouched);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseColor,
    ::testing::Values(ColorCase{"255,255,255", true, 255, 255, 255},
                      ColorCase{"216,34,40", true, 216, 34, 40},
                      ColorCase{"255,255", false, 0, 0, 0},         // two fields
                      ColorCase{"255,,0", true, 255, 0, 0},         // empty middle field
                      ColorCase{"255,0,0,", true, 255, 0, 0},       // empty trailing field
                      ColorCase{"255,0,0,,", false, 0, 0, 0},       // four fields
                      ColorCase{",0,0", true, 0, 0, 0},             // empty first field
                      ColorCase{"300,0,0", false, 0, 0, 0},         // above 255
                      ColorCase{"-1,0,0", false, 0, 0, 0},          // negative
                      ColorCase{"0,0,256", false, 0, 0, 0},         //
                      ColorCase{" 1, +2,3x", true, 1, 2, 3},        // atoi conversion
                      ColorCase{"a,b,c", true, 0, 0, 0},            // no digits = 0
                      ColorCase{"\"1,2\",3,4", true, 1, 3, 4},      // comma inside quotes
                      ColorCase{"'1',\"2\",3", true, 1, 2, 3},      //
                      ColorCase{"\"1,2,3", false, 0, 0, 0},         // unclosed: one field
                      ColorCase{"1,2,\"3", true, 1, 2, 3},          // unclosed at the end
                      ColorCase{"1,2,'3\\'4'", true, 1, 2, 3},      // escaped mark stays
                      ColorCase{"1,2,3'", true, 1, 2, 3},           // unclosed, empty rest
                      ColorCase{"99999999999,0,0", false, 0, 0, 0}, // huge, no wrap-around
                      ColorCase{"", false, 0, 0, 0},                //
                      ColorCase{",,", false, 0, 0, 0},              // two empty fields
                      ColorCase{",,,", true, 0, 0, 0}));            // three empty fields

TEST(LoadSettings, WithoutAFileEveryDefaultApplies) {
    qvtest::TempProgramDir dir;
    AppSettings s;
    LoadSettings(s, dir.path());
    EXPECT_EQ(s.childBkColor, MakeColorRef(255, 255, 255));
    EXPECT_EQ(s.fontName, "Arial");
    EXPECT_EQ(s.buttonMenuFontWeight, 0);
    EXPECT_EQ(s.buttonMenuFontHeight, 15);
    EXPECT_EQ(s.buttonMenuFontColor, MakeColorRef(0, 0, 0));
    EXPECT_EQ(s.buttonFontHeight, 15);
    EXPECT_EQ(s.staticFontHeight, 15);
    EXPECT_EQ(s.staticFontBkColor, MakeColorRef(255, 255, 255));
    EXPECT_EQ(s.textDownColor, MakeColorRef(216, 34, 40));
    EXPECT_EQ(s.lineColor, MakeColorRef(215, 215, 215));
    EXPECT_EQ(s.staticTextNumberColor, MakeColorRef(142, 142, 142));
    EXPECT_EQ(s.gridTitleFontWeight, 700);
    EXPECT_EQ(s.gridTitleTextColor, MakeColorRef(237, 112, 32));
    EXPECT_EQ(s.gridTitleBkColor, MakeColorRef(186, 199, 231));
    EXPECT_EQ(s.textUnlineColor, MakeColorRef(255, 128, 64));
    EXPECT_EQ(s.textOnlineColor, MakeColorRef(0, 153, 0));
    EXPECT_EQ(s.gridTitleFont.height, 15);
    EXPECT_EQ(s.gridTitleFont.weight, 700);
    EXPECT_EQ(s.gridTitleFont.face, "Arial");
    EXPECT_EQ(s.gridFont.weight, 0);
    EXPECT_EQ(s.rowHeight, 48);
    EXPECT_EQ(s.versionText, "V0.20.6.69");
    EXPECT_EQ(s.programDirectory, dir.path());
}

TEST(LoadSettings, ShippedFileHoldsTheDefaults) {
    qvtest::TempProgramDir dir;
    AppSettings defaults;
    LoadSettings(defaults, dir.path());
    const std::string shippedDir = qvtest::SourceDir() + "resources/bin/";
    ASSERT_NE(qvtest::ReadFileBytes(shippedDir + "Setting.ini").find("[Font]"), std::string::npos);
    AppSettings shipped;
    LoadSettings(shipped, shippedDir);
    shipped.programDirectory = defaults.programDirectory;
    EXPECT_EQ(shipped, defaults);
}

struct SettingCase {
    const char* name;
    const char* file;
    void (*check)(const AppSettings&);
};

class SettingsEdge : public ::testing::TestWithParam<SettingCase> {};

TEST_P(SettingsEdge, Reads) {
    qvtest::TempProgramDir dir;
    dir.write("Setting.ini", GetParam().file);
    AppSettings s;
    LoadSettings(s, dir.path());
    GetParam().check(s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsEdge,
    ::testing::Values(
        SettingCase{"twoFieldsLeaveBlack", "[Color]\nChildBkColor=255,255\n",
                    [](const AppSettings& s) { EXPECT_EQ(s.childBkColor, 0u); }},
        SettingCase{
            "emptyMiddleField", "[Color]\nChildBkColor=255,,0\n",
            [](const AppSettings& s) { EXPECT_EQ(s.childBkColor, MakeColorRef(255, 0, 0)); }},
        SettingCase{"outOfRangeLeavesBlack", "[Color]\nChildBkColor=300,0,0\nLineColor=-1,0,0\n",
                    [](const AppSettings& s) {
                        EXPECT_EQ(s.childBkColor, 0u);
                        EXPECT_EQ(s.lineColor, 0u);
                    }},
        SettingCase{"heightWithoutDigits", "[Font]\nButtonFontHeight=abc\nGridFontHeight=20px\n",
                    [](const AppSettings& s) {
                        EXPECT_EQ(s.buttonFontHeight, 0);
                        EXPECT_EQ(s.gridFontHeight, 20);
                        EXPECT_EQ(s.gridFont.height, 20);
                    }},
        SettingCase{"emptyFontNameStaysEmpty", "[Font]\nFontName=\n",
                    [](const AppSettings& s) {
                        EXPECT_EQ(s.fontName, "");
                        EXPECT_EQ(s.gridFont.face, "");
                    }},
        SettingCase{"caseAndQuotes",
                    "[font]\nfontname = \"DejaVu Sans\"\n[COLOR]\nlinecolor=1,2,3\n",
                    [](const AppSettings& s) {
                        EXPECT_EQ(s.fontName, "DejaVu Sans");
                        EXPECT_EQ(s.lineColor, MakeColorRef(1, 2, 3));
                    }},
        SettingCase{
            "keyInWrongSectionIgnored", "[Font]\nChildBkColor=1,2,3\n",
            [](const AppSettings& s) { EXPECT_EQ(s.childBkColor, MakeColorRef(255, 255, 255)); }},
        SettingCase{"longFaceCutOnCharacterBoundary",
                    // 30 ASCII bytes, then a three-byte character that does not fit in 31.
                    "[Font]\nFontName=abcdefghijklmnopqrstuvwxyz0123\xE8\xAE\xBE\n",
                    [](const AppSettings& s) {
                        EXPECT_EQ(s.fontName, "abcdefghijklmnopqrstuvwxyz0123\xE8\xAE\xBE");
                        EXPECT_EQ(s.gridFont.face, "abcdefghijklmnopqrstuvwxyz0123");
                        EXPECT_EQ(s.gridTitleFont.face, s.gridFont.face);
                    }},
        SettingCase{"valueCutAt63Bytes",
                    "[Font]\nFontName="
                    "0123456789012345678901234567890123456789012345678901234567890123456789\n",
                    [](const AppSettings& s) {
                        EXPECT_EQ(
                            s.fontName,
                            "012345678901234567890123456789012345678901234567890123456789012");
                    }},
        SettingCase{"hugeIntegerSaturates", "[Font]\nGridFontWeight=99999999999\n",
                    [](const AppSettings& s) { EXPECT_EQ(s.gridFontWeight, 2147483647); }}),
    [](const ::testing::TestParamInfo<SettingCase>& info) { return std::string(info.param.name); });

TEST(GetSettingString, DefaultOnlyWhenMissing) {
    qvtest::TempProgramDir dir;
    EXPECT_EQ(GetSettingString(dir.path(), "Font", "FontName", "Arial"), "Arial");
    dir.write("Setting.ini", "[Font]\nFontName=\nOther=x\n");
    EXPECT_EQ(GetSettingString(dir.path(), "Font", "FontName", "Arial"), "");
    EXPECT_EQ(GetSettingString(dir.path(), "FONT", "other", "d"), "x");
    EXPECT_EQ(GetSettingString(dir.path(), "Font", "Missing", "d"), "d");
    EXPECT_EQ(GetSettingString(dir.path(), "Color", "Other", "d"), "d");
}

TEST(LoadSettings, ReadsAUtf16LeFile) {
    qvtest::TempProgramDir dir;
    std::string bytes("\xFF\xFE", 2);
    for (char c : std::string("[Font]\r\nGridFontWeight=400\r\nFontName=Sans\r\n")) {
        bytes += c;
        bytes += '\0';
    }
    dir.write("Setting.ini", bytes);
    AppSettings s;
    LoadSettings(s, dir.path());
    EXPECT_EQ(s.gridFontWeight, 400);
    EXPECT_EQ(s.gridFont.face, "Sans");
}
