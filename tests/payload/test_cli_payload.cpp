// The rewrite and validate commands, run as a script would run them.

#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using qvtest::TempProgramDir;

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun Cli(const std::string& home, const std::vector<std::string>& args) {
    QStringList list{QStringLiteral("--home"), QString::fromStdString(home)};
    for (const auto& a : args)
        list << QString::fromStdString(a);
    QProcess p;
    p.start(QString::fromStdString(qvtest::BinDir() + "quorvantix-cli"), list);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput().toStdString(),
            p.readAllStandardError().toStdString()};
}

TEST(CliRewrite, WritesTheCopyWhereTheProgramDoes) {
    TempProgramDir dir;
    dir.write("ModifyXml/.keep", "");
    dir.write("t.xml", "WLAN_A\nWLAN1_B\n<Value Name=\"SSID\" Value=\"a\"/>\n");
    dir.write("p.json", R"({"ssid5g": "five", "vid": ["7"], "wanCount": 1})");
    CliRun r = Cli(dir.path(), {"rewrite", "--template", dir.file("t.xml"), "--mac",
                                "00:1A:2B:3C:4D:5E", "--params", dir.file("p.json")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, dir.file("ModifyXml/001A2B3C4D5E.xml") + "\n");
    EXPECT_EQ(dir.read("ModifyXml/001A2B3C4D5E.xml"),
              "WLAN_A\r\nWLAN1_B\r\n  <Value Name=\"SSID\" Value=\"five\"/>\r\n");
    // Without --params the template is copied unchanged.
    r = Cli(dir.path(), {"rewrite", "--template", dir.file("t.xml"), "--mac", "00:1A:2B:3C:4D:5E"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(dir.read("ModifyXml/001A2B3C4D5E.xml"), dir.read("t.xml"));
}

TEST(CliRewrite, Refusals) {
    TempProgramDir dir;
    dir.write("t.xml", "x\n");
    dir.write("bad.json", "[1,2]");
    const std::string mac = "00:1A:2B:3C:4D:5E";
    struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"rewrite", "--template", dir.file("t.xml"), "--mac", "00:1A"}, "not a MAC address"},
        {{"rewrite", "--template", dir.file("t.xml"), "--mac", mac, "--params",
          dir.file("bad.json")},
         "expected an object"},
        {{"rewrite", "--template", dir.file("t.xml"), "--mac", mac, "--params",
          dir.file("none.json")},
         "cannot read"},
    };
    for (const auto& c : cases) {
        CliRun r = Cli(dir.path(), c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // No ModifyXml folder: the copy cannot be written.
    dir.write("p.json", "{}");
    CliRun r = Cli(dir.path(), {"rewrite", "--template", dir.file("t.xml"), "--mac", mac,
                                "--params", dir.file("p.json")});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Modify New Xml file fail!"), std::string::npos) << r.err;
}

TEST(CliValidate, ReportsFirstFailure) {
    TempProgramDir dir;
    dir.write("t.xml", "ATM_VC_TBL\n<Value Name=\"vid\" Value=\"5\"/>\n"
                       "<Value Name=\"ChannelMode\" Value=\"1\"/>\n");
    dir.write("ok.json", R"([{"mac": "AA:AA:AA:AA:AA:AA", "wanCount": 1, "vid": ["10"],
                             "loginPassword": "admin"}])");
    dir.write("bad.json", R"([{"mac": "AA:AA:AA:AA:AA:AA", "wanCount": 1, "vid": [4095],
                              "loginPassword": "admin"}])");
    CliRun r = Cli(dir.path(),
                   {"validate", "--template", dir.file("t.xml"), "--params", dir.file("ok.json")});
    EXPECT_EQ(r.code, 0) << r.err;
    r = Cli(dir.path(),
            {"validate", "--template", dir.file("t.xml"), "--params", dir.file("bad.json")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("The MAC:AA:AA:AA:AA:AA:AA vid1 value:4095 is invalid.", 0), 0u) << r.err;
    // With --wlan the radio fields are tested too.
    r = Cli(dir.path(), {"validate", "--template", dir.file("t.xml"), "--params",
                         dir.file("ok.json"), "--wlan"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("ssid_2.4g is invalid"), std::string::npos) << r.err;
    r = Cli(dir.path(),
            {"validate", "--template", dir.file("none.xml"), "--params", dir.file("ok.json")});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Analysis xml settting error?"), std::string::npos) << r.err;
}

} // namespace

namespace {

TEST(CliPush, RefusedInputExitsTwoAndWritesNothing) {
    TempProgramDir dir;
    dir.write("ModifyXml/.keep", "");
    dir.write("t.xml", "<Value Name=\"LOID\" Value=\"x\"/>\n");
    dir.write("T.XML", "x\n");
    dir.write("big.xml", std::string(300001, 'x'));
    dir.write("LOGO.JPG", "x");
    dir.write("big.jpg", std::string(6001, 'x'));
    const std::string mac = "00:1A:2B:3C:4D:5E";
    struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"push", "--mac", mac, "--config", dir.file("t.xml")}, "--adapter is required"},
        {{"push", "--adapter", "x", "--config", dir.file("t.xml")}, "either --mac"},
        {{"push", "--adapter", "x", "--all", "--mac", mac}, "either --mac"},
        {{"push", "--adapter", "x", "--mac", "00:1A:2B"}, "not a MAC address"},
        {{"push", "--adapter", "x", "--all", "--broadcasts", "0"}, "--broadcasts"},
        {{"push", "--adapter", "x", "--all"}, "Please choose xml or logo info!"},
        {{"push", "--adapter", "x", "--all", "--config", dir.file("none.xml")}, "cannot read"},
        {{"push", "--adapter", "x", "--all", "--config", dir.file("big.xml")},
         "Xml file cannot be larger than 300000 bytes!"},
        {{"push", "--adapter", "x", "--all", "--logo", dir.file("big.jpg")},
         "Picture file cannot be larger than 6000 bytes!"},
        {{"push", "--adapter", "x", "--all", "--logo", dir.file("LOGO.JPG"), "--config",
          dir.file("T.XML")},
         "Modify file is not .jpg file!"},
        {{"push", "--adapter", "x", "--all", "--config", dir.file("T.XML")},
         "Modify file is not .xml file!"},
        {{"push", "--adapter", "no-such-adapter", "--mac", mac, "--config", dir.file("t.xml")},
         "no such adapter"},
    };
    for (const auto& c : cases) {
        CliRun r = Cli(dir.path(), c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("ModifyXml/001A2B3C4D5E.xml")));
}

} // namespace
