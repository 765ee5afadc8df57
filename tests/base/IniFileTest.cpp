#include "base/IniFile.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string Utf16Le(const std::u16string& text, bool bom = true) {
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

} // namespace

struct IniCase {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    const char* expected; // nullptr = not found
};

class IniSemantics : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniSemantics, ValueAsRead) {
    const IniCase& c = GetParam();
    const IniFile ini = IniFile::FromBytes(c.file);
    // The parsed file and the one-shot lookup give the same answer.
    for (const std::optional<std::string>& v :
         {ini.Find(c.section, c.key), IniFile::FindInBytes(c.file, c.section, c.key)}) {
        if (c.expected) {
            ASSERT_TRUE(v.has_value());
            EXPECT_EQ(*v, c.expected);
        } else {
            EXPECT_FALSE(v.has_value()) << *v;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniSemantics,
    ::testing::Values(IniCase{"plain", "[Color]\nA=1,2,3\n", "Color", "A", "1,2,3"},
                      IniCase{"sectionCase", "[COLOR]\nA=x\n", "color", "A", "x"},
                      IniCase{"keyCase", "[s]\nChildBkColor=x\n", "s", "CHILDBKCOLOR", "x"},
                      IniCase{"nonAsciiKeyCase", "[s]\n\xC3\x84pfel=x\n", "s", "\xC3\xA4PFEL", "x"},
                      IniCase{"blanksDropped", "[s]\n  k \t=  a b \t\n", "s", "k", "a b"},
                      IniCase{"blanksInSectionHeader", "[ s ]\nk=v\n", "s", "k", "v"},
                      IniCase{"doubleQuotes", "[s]\nk=\"  a  \"\n", "s", "k", "  a  "},
                      IniCase{"singleQuotes", "[s]\nk='a'\n", "s", "k", "a"},
                      IniCase{"onlyOnePairRemoved", "[s]\nk=\"\"a\"\"\n", "s", "k", "\"a\""},
                      IniCase{"mismatchedQuotesKept", "[s]\nk=\"a'\n", "s", "k", "\"a'"},
                      IniCase{"loneQuoteKept", "[s]\nk=\"\n", "s", "k", "\""},
                      IniCase{"emptyValueIsFound", "[s]\nk=\n", "s", "k", ""},
                      IniCase{"quotedEmptyValue", "[s]\nk=\"\"\n", "s", "k", ""},
                      IniCase{"missingKey", "[s]\nk=v\n", "s", "other", nullptr},
                      IniCase{"missingSection", "[s]\nk=v\n", "t", "k", nullptr},
                      IniCase{"keyInOtherSection", "[a]\nk=1\n[b]\nj=2\n", "b", "k", nullptr},
                      IniCase{"firstKeyWins", "[s]\nk=1\nK=2\n", "s", "k", "1"},
                      IniCase{"repeatedSectionIgnored", "[s]\nk=1\n[S]\nk=2\nj=3\n", "s", "j",
                              nullptr},
                      IniCase{"equalsInValue", "[s]\nk=a=b\n", "s", "k", "a=b"},
                      IniCase{"crlfLines", "[s]\r\nk=v\r\nj=w\r\n", "s", "j", "w"},
                      IniCase{"noTrailingNewline", "[s]\nk=v", "s", "k", "v"},
                      IniCase{"commentIgnored", "[s]\n;k=v\n", "s", ";k", nullptr},
                      IniCase{"keyBeforeAnySection", "k=v\n[s]\n", "s", "k", nullptr},
                      IniCase{"utf8BomSkipped", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "v"},
                      IniCase{"utf8Value", "[s]\nk=\xE8\xAE\xBE\xE5\xA4\x87\n", "s", "k",
                              "\xE8\xAE\xBE\xE5\xA4\x87"}),
    [](const ::testing::TestParamInfo<IniCase>& info) { return std::string(info.param.name); });

TEST(IniFile, Utf16LeWithBomIsConvertedToUtf8) {
    const IniFile ini = IniFile::FromBytes(Utf16Le(u"[LCID]\r\n2052 = \"\u7B80\u4F53\"\r\n"));
    EXPECT_EQ(ini.Get("lcid", "2052", "none"), "\xE7\xAE\x80\xE4\xBD\x93");
    EXPECT_EQ(
        IniFile::FindInBytes(Utf16Le(u"[LCID]\r\n2052 = \"\u7B80\u4F53\"\r\n"), "lcid", "2052"),
        "\xE7\xAE\x80\xE4\xBD\x93");
}

TEST(IniFile, Utf16LeWithoutBomIsNotUtf16) {
    const IniFile ini = IniFile::FromBytes(Utf16Le(u"[s]\nk=v\n", false));
    EXPECT_FALSE(ini.Find("s", "k").has_value());
}

TEST(IniFile, MissingFileGivesDefaultsAndEmptyValueStaysEmpty) {
    qvtest::TempProgramDir dir;
    const IniFile missing = IniFile::FromFile(dir.file("none.ini"));
    EXPECT_FALSE(missing.Exists());
    EXPECT_EQ(missing.Get("s", "k", "dflt"), "dflt");

    dir.write("a.ini", "[s]\nk=\n");
    const IniFile present = IniFile::FromFile(dir.file("a.ini"));
    EXPECT_TRUE(present.Exists());
    EXPECT_EQ(present.Get("s", "k", "dflt"), "");
    EXPECT_EQ(present.Get("s", "j", "dflt"), "dflt");
}

TEST(CutUtf8, NeverEndsInsideACharacter) {
    const std::string text = "ab\xE8\xAE\xBE"; // "ab" + one three-byte character
    EXPECT_EQ(CutUtf8(text, 5), text);
    EXPECT_EQ(CutUtf8(text, 4), "ab");
    EXPECT_EQ(CutUtf8(text, 3), "ab");
    EXPECT_EQ(CutUtf8(text, 2), "ab");
    EXPECT_EQ(CutUtf8(text, 0), "");
}
