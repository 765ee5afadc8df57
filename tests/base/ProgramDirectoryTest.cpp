#include "base/ProgramDirectory.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

const char* kRelative = "../share/quorvantix";

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

// A prefix with bin/ and, when asked, share/quorvantix/ below a scratch folder.
struct Prefix {
    qvtest::TempProgramDir root;
    std::string bin() const { return root.path() + "usr/bin/"; }
    std::string share() const { return root.path() + "usr/share/quorvantix/"; }
    explicit Prefix(bool withShare, bool settingsBesideExe = false) {
        std::filesystem::create_directories(bin());
        if (withShare)
            root.write("usr/share/quorvantix/Setting.ini", "[Font]\n");
        if (settingsBesideExe)
            root.write("usr/bin/Setting.ini", "[Font]\n");
    }
};

// Restores the process's folders after a test that sets them.
struct FoldersRestore {
    ~FoldersRestore() { SetProgramDirectory(qvtest::BinDir()); }
};

} // namespace

TEST(ResolveProgramFolders, ChoosesOneFolderOrTheInstalledPair) {
    struct Case {
        const char* what;
        bool share, settingsBesideExe;
        const char* home;
        const char* xdg;
        const char* userHome;
        bool installed;
        const char* working; // "" = the executable's folder; relative = below the scratch root
    } cases[] = {
        {"build folder", false, true, nullptr, "/x", "/h", false, ""},
        {"build folder beside a share folder", true, true, nullptr, "/x", "/h", false, ""},
        {"neither resources nor share folder", false, false, nullptr, "/x", "/h", false, ""},
        {"--home wins over the installed layout", true, false, "/srv/qv", "/x", "/h", false,
         "/srv/qv/"},
        {"installed, XDG_DATA_HOME", true, false, nullptr, "/x/data", "/h", true,
         "/x/data/quorvantix/"},
        {"installed, XDG_DATA_HOME with slash", true, false, nullptr, "/x/data/", "/h", true,
         "/x/data/quorvantix/"},
        {"installed, no XDG_DATA_HOME", true, false, nullptr, nullptr, "/home/op", true,
         "/home/op/.local/share/quorvantix/"},
        {"installed, empty XDG_DATA_HOME", true, false, nullptr, "", "/home/op", true,
         "/home/op/.local/share/quorvantix/"},
        {"installed, relative XDG_DATA_HOME ignored", true, false, nullptr, "rel/data", "/home/op",
         true, "/home/op/.local/share/quorvantix/"},
        {"installed, empty --home is none", true, false, "", "/x", "/h", true, "/x/quorvantix/"},
    };
    for (const Case& c : cases) {
        Prefix prefix(c.share, c.settingsBesideExe);
        const ProgramFolders f =
            ResolveProgramFolders(prefix.bin(), c.home, c.xdg, c.userHome, kRelative);
        EXPECT_EQ(f.installed, c.installed) << c.what;
        const std::string working = *c.working ? c.working : prefix.bin();
        EXPECT_EQ(f.working, working) << c.what;
        if (c.installed)
            EXPECT_EQ(f.resources, prefix.share()) << c.what;
        else
            EXPECT_EQ(f.resources, f.working) << c.what;
    }
}

TEST(PrepareWorkingFolder, MakesPrivateFoldersAndKeepsExistingOnes) {
    qvtest::TempProgramDir scratch;
    const mode_t old = ::umask(022);
    const std::string dir = scratch.path() + "data/deeper/quorvantix/";
    std::string error;
    EXPECT_TRUE(PrepareWorkingFolder(dir, error)) << error;
    for (const char* sub : {"", "ModifyXml", "ModifyExcel", "Log"})
        EXPECT_EQ(ModeOf(dir + sub), 0700u) << sub;
    EXPECT_EQ(ModeOf(scratch.path() + "data"), 0700u); // a missing parent too

    // A second start changes nothing, and an operator's own mode stays.
    ::chmod((dir + "Log").c_str(), 0750);
    scratch.write("data/deeper/quorvantix/Log/keep.txt", "x");
    EXPECT_TRUE(PrepareWorkingFolder(dir, error)) << error;
    EXPECT_EQ(ModeOf(dir + "Log"), 0750u);
    EXPECT_EQ(scratch.read("data/deeper/quorvantix/Log/keep.txt"), "x");
    ::umask(old);
}

TEST(PrepareWorkingFolder, RefusesAFileWhereAFolderBelongs) {
    qvtest::TempProgramDir scratch;
    for (const char* blocked : {"quorvantix", "quorvantix/ModifyExcel"}) {
        std::filesystem::remove_all(scratch.path() + "quorvantix");
        if (std::string(blocked) != "quorvantix")
            std::filesystem::create_directories(scratch.path() + "quorvantix");
        scratch.write(blocked, "not a folder");
        std::string error;
        EXPECT_FALSE(PrepareWorkingFolder(scratch.path() + "quorvantix/", error)) << blocked;
        EXPECT_NE(error.find(scratch.path() + blocked), std::string::npos) << error;
        EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
    }
}

TEST(FindResourceFile, TheOperatorsOwnFilesOverrideTheShippedOnes) {
    FoldersRestore restore;
    qvtest::TempProgramDir other; // each of these sets itself as the program folder
    qvtest::TempProgramDir working;
    qvtest::TempProgramDir shipped;
    SetProgramFolders(ProgramFolders{working.path(), shipped.path(), true});
    shipped.write("Setting.ini", "[Font]\nFontName=Shipped\n");
    shipped.write("Languages/Language.ini", "[LCID]\n1031=German\n");
    shipped.write("Languages/German.lng", "[ProgramOutStr]\nsearch=Suchen\nclose=Zu\n");
    setenv("LC_ALL", "de_DE.UTF-8", 1);

    AppSettings s;
    LoadSettings(s, GetProgramDirectory());
    EXPECT_EQ(s.fontName, "Shipped");
    InitLanguage(GetProgramDirectory());
    EXPECT_EQ(TranslateText(std::string("Search")), "Suchen");
    EXPECT_EQ(GetSettingString(GetProgramDirectory(), "Font", "FontName", "d"), "Shipped");

    // The operator's copies in the working folder win, file by file.
    working.write("Setting.ini", "[Font]\nFontName=Mine\n");
    working.write("Languages/German.lng", "[ProgramOutStr]\nsearch=Finden\n");
    LoadSettings(s, GetProgramDirectory());
    EXPECT_EQ(s.fontName, "Mine");
    EXPECT_EQ(GetSettingString(GetProgramDirectory(), "Font", "FontName", "d"), "Mine");
    InitLanguage(GetProgramDirectory());
    EXPECT_EQ(TranslateText(std::string("Search")), "Finden");
    EXPECT_EQ(TranslateText(std::string("Close")), "Close"); // not in the operator's file

    // A folder in place of the file is no override.
    std::filesystem::remove(working.path() + "Setting.ini");
    std::filesystem::create_directories(working.path() + "Setting.ini");
    LoadSettings(s, GetProgramDirectory());
    EXPECT_EQ(s.fontName, "Shipped");

    // Any other folder is read as given, without the shipped fallback.
    LoadSettings(s, other.path());
    EXPECT_EQ(s.fontName, "Arial");
    unsetenv("LC_ALL");
    InitLanguage(other.path());
}

TEST(SetProgramDirectory, KeepsEverythingInOneFolder) {
    FoldersRestore restore;
    qvtest::TempProgramDir dir;
    SetProgramDirectory(dir.path().substr(0, dir.path().size() - 1)); // no trailing '/'
    EXPECT_EQ(GetProgramDirectory(), dir.path());
    EXPECT_EQ(GetResourceDirectory(), dir.path());
    EXPECT_EQ(FindResourceFile(dir.path(), "Setting.ini"), dir.path() + "Setting.ini");
}
