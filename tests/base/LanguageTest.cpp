#include "base/Language.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

// Sets the three locale variables for one test and restores them afterwards.
class LocaleEnv {
public:
    LocaleEnv(const char* lcAll, const char* lcMessages, const char* lang) {
        for (int i = 0; i < 3; ++i) {
            const char* old = std::getenv(kNames[i]);
            saved_[i] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        Set(0, lcAll);
        Set(1, lcMessages);
        Set(2, lang);
    }
    ~LocaleEnv() {
        for (int i = 0; i < 3; ++i)
            Set(i, saved_[i] ? saved_[i]->c_str() : nullptr);
    }

private:
    static void Set(int i, const char* value) {
        if (value)
            setenv(kNames[i], value, 1);
        else
            unsetenv(kNames[i]);
    }
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> saved_[3];
};

const char* kChoice = "[LCID]\n1033=English\n2052=Chinese\n1031 = \"German\"\n";

} // namespace

TEST(LocaleNameToLcid, MapsPosixNamesToWindowsIdentifiers) {
    struct Case {
        const char* name;
        int lcid;
    } cases[] = {{"en_US.UTF-8", 1033}, {"zh_CN.UTF-8", 2052},
                 {"zh_CN", 2052},       {"de_DE@euro", 1031},
                 {"fr_FR", 1036},       {"ja_JP.eucJP", 1041},
                 {"en_GB", 2057},       {"zh_TW.Big5", 1028},
                 {"de", 1031},          {"de_XX", 1031},
                 {"C", 1033},           {"POSIX", 1033},
                 {"C.UTF-8", 1033},     {"", 1033},
                 {"xx_YY", 1033},       {"ZH-cn", 2052}};
    for (const Case& c : cases)
        EXPECT_EQ(LocaleNameToLcid(c.name), c.lcid) << c.name;
}

TEST(SystemLocaleId, TakesLcAllThenLcMessagesThenLang) {
    {
        LocaleEnv env("zh_CN.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8");
        EXPECT_EQ(SystemLocaleId(), 2052);
    }
    {
        LocaleEnv env("", "de_DE.UTF-8", "fr_FR.UTF-8");
        EXPECT_EQ(SystemLocaleId(), 1031);
    }
    {
        LocaleEnv env(nullptr, nullptr, "fr_FR.UTF-8");
        EXPECT_EQ(SystemLocaleId(), 1036);
    }
    {
        LocaleEnv env(nullptr, nullptr, nullptr);
        EXPECT_EQ(SystemLocaleId(), 1033);
    }
}

TEST(InitLanguage, ChoosesTheFileOfTheSystemLocale) {
    qvtest::TempProgramDir dir;
    dir.write("Languages/Language.ini", kChoice);
    LocaleEnv env(nullptr, nullptr, "de_DE.UTF-8");
    InitLanguage(dir.path());
    EXPECT_EQ(CurrentLanguageName(), "German");
    EXPECT_EQ(CurrentLanguageFile(), dir.path() + "Languages/German.lng");
    EXPECT_EQ(CurrentLocaleId(), 1031);
}

TEST(InitLanguage, UnlistedLocaleOrMissingFolderGivesEnglish) {
    LocaleEnv env(nullptr, nullptr, "ja_JP.UTF-8");
    {
        qvtest::TempProgramDir dir;
        dir.write("Languages/Language.ini", kChoice);
        InitLanguage(dir.path());
        EXPECT_EQ(CurrentLanguageName(), "English");
        EXPECT_EQ(CurrentLocaleId(), 1033);
    }
    {
        qvtest::TempProgramDir dir; // no Languages folder at all
        InitLanguage(dir.path());
        EXPECT_EQ(CurrentLanguageName(), "English");
        EXPECT_EQ(CurrentLanguageFile(), dir.path() + "Languages/English.lng");
        EXPECT_EQ(TranslateText(std::string("Device status")), "Device status");
        EXPECT_EQ(TranslateText(std::string("a\\nb")), "a\nb");
    }
}

class Translate : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.write("Languages/Language.ini", kChoice);
        dir_.write("Languages/Chinese.lng", "[ProgramOutStr]\n"
                                            "device status=\xE8\xAE\xBE\xE5\xA4\x87\n"
                                            "SEARCH = Suchen\n"
                                            "two lines=first\\r\\nsecond\\nthird\n"
                                            "gone=[~NullInfoChrys~]\n"
                                            "spaced=a[~Null~]b[~Null~]c\n"
                                            "empty=\n"
                                            "quoted=\"  padded  \"\n");
        InitLanguage(dir_.path());
    }
    LocaleEnv env_{"zh_CN.UTF-8", nullptr, nullptr};
    qvtest::TempProgramDir dir_;
};

TEST_F(Translate, LooksUpTheLowerCaseSource) {
    EXPECT_EQ(CurrentLocaleId(), 2052);
    EXPECT_EQ(TranslateText(std::string("Device Status")), "\xE8\xAE\xBE\xE5\xA4\x87");
    EXPECT_EQ(TranslateText(std::string("device status")), "\xE8\xAE\xBE\xE5\xA4\x87");
    // A key written in capitals still matches.
    EXPECT_EQ(TranslateText(std::string("Search")), "Suchen");
    EXPECT_EQ(TranslateText(std::string("quoted")), "  padded  ");
}

TEST_F(Translate, AppliesTheReplacements) {
    EXPECT_EQ(TranslateText(std::string("Two lines")), "first\r\nsecond\nthird");
    EXPECT_EQ(TranslateText(std::string("gone")), "");
    EXPECT_EQ(TranslateText(std::string("spaced")), "a b c");
    // Also to a source text without an entry.
    EXPECT_EQ(TranslateText(std::string("No entry\\n[~Null~]x")), "No entry\n x");
}

TEST_F(Translate, MissingOrEmptyEntryGivesTheSourceInItsOwnCase) {
    EXPECT_EQ(TranslateText(std::string("Not There")), "Not There");
    EXPECT_EQ(TranslateText(std::string("Empty")), "Empty");
    EXPECT_EQ(TranslateText(std::string()), "");
    EXPECT_TRUE(TranslateText(QString()).isEmpty());
    EXPECT_FALSE(TranslateText(QString()).isNull());
}

TEST_F(Translate, QStringOverloadAgrees) {
    EXPECT_EQ(TranslateText(QStringLiteral("Device status")), QStringLiteral(u"\u8BBE\u5907"));
    EXPECT_EQ(TranslateText(QStringLiteral("Two lines")), QStringLiteral("first\r\nsecond\nthird"));
}

TEST_F(Translate, ReadsTheFileAfreshOnEveryCall) {
    EXPECT_EQ(TranslateText(std::string("Search")), "Suchen");
    dir_.write("Languages/Chinese.lng", "[ProgramOutStr]\nsearch=\xE6\x90\x9C\xE7\xB4\xA2\n");
    EXPECT_EQ(TranslateText(std::string("Search")), "\xE6\x90\x9C\xE7\xB4\xA2");
}

TEST_F(Translate, LongValueIsCutAt1022Characters) {
    dir_.write("Languages/Chinese.lng", "[ProgramOutStr]\nlong=" + std::string(2000, 'x') + "\n");
    EXPECT_EQ(TranslateText(std::string("long")), std::string(1022, 'x'));
}

TEST(ShippedLanguages, ChineseChoiceAndEnglishFallback) {
    const std::string bin = qvtest::SourceDir() + "resources/bin/";
    {
        LocaleEnv env(nullptr, nullptr, "zh_CN.UTF-8");
        InitLanguage(bin);
        EXPECT_EQ(CurrentLanguageName(), "Chinese");
        EXPECT_NE(TranslateText(std::string("Search")), "Search");
    }
    {
        LocaleEnv env(nullptr, nullptr, "en_US.UTF-8");
        InitLanguage(bin);
        EXPECT_EQ(CurrentLanguageName(), "English");
        EXPECT_EQ(TranslateText(std::string("Search")), "Search");
    }
}
