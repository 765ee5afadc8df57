// The rewrite and validate commands, run as a script would run them.

#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
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

std::string SmallJpeg() {
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 50);
    return bytes.toStdString();
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
    dir.write("LOGO.JPG", SmallJpeg()); // a picture the chooser takes, refused by its name
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

// Special files as templates or parameters: refused at once, never waited on
// or read without end.
TEST(CliHostileInput, FifoAndDeviceTemplatesAreRefusedAtOnce) {
    TempProgramDir dir;
    dir.write("ModifyXml/.keep", "");
    dir.write("ok.json", R"([{"mac": "AA:AA:AA:AA:AA:AA", "loginPassword": "admin"}])");
    dir.write("ok.xml", "x\n");
    ASSERT_EQ(::mkfifo(dir.file("fifo.xml").c_str(), 0600), 0);
    const std::string mac = "00:1A:2B:3C:4D:5E";
    for (const std::string& t : {dir.file("fifo.xml"), std::string("/dev/zero")}) {
        SCOPED_TRACE(t);
        struct {
            std::vector<std::string> args;
            const char* message;
        } cases[] = {
            {{"validate", "--template", t, "--params", dir.file("ok.json")},
             "Analysis xml settting error?"},
            {{"validate", "--template", dir.file("ok.xml"), "--params", t}, "cannot read"},
            {{"rewrite", "--template", dir.file("ok.xml"), "--mac", mac, "--params", t},
             "cannot read"},
            {{"rewrite", "--template", t, "--mac", mac}, "Xml file is not a regular file!"},
            {{"push", "--adapter", "x", "--mac", mac, "--config", t},
             "Xml file is not a regular file!"},
            {{"push", "--adapter", "x", "--mac", mac, "--logo", t},
             "Picture file is not a regular file!"},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.args[0]);
            CliRun r = Cli(dir.path(), c.args);
            EXPECT_EQ(r.code, 2);
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        }
    }
}

TEST(CliHostileInput, ACutTemplateValueIsRefusedByName) {
    TempProgramDir dir;
    dir.write("t.xml", "<ATM_VC_TBL>\n<Value Name=\"pppUser\" Value=\"" + std::string(64, 'u') +
                           "\"/>\n<Value Name=\"ChannelMode\" Value=\"2\"/>\n");
    CliRun r = Cli(dir.path(), {"sheet", "export", "--template", dir.file("t.xml"), "--mac",
                                "00:1A:2B:3C:4D:5E"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("The template's entry pppUser of WAN connection 1 is longer than 63 "
                         "bytes!"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

// Run as root over a folder another user controls, the program refuses to
// start and writes nothing there.
TEST(CliHostileInput, RootRefusesAFolderAnotherUserControls) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempProgramDir dir;
    dir.write("secret", "root only\n");
    dir.write("t.xml", "x\n");
    ASSERT_EQ(::mkdir(dir.file("home").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.file("home/ModifyXml").c_str(), 0755), 0);
    ASSERT_EQ(
        ::symlink(dir.file("secret").c_str(), dir.file("home/ModifyXml/001A2B3C4D5E.xml").c_str()),
        0);
    const std::vector<std::string> rewrite = {"rewrite", "--template", dir.file("t.xml"), "--mac",
                                              "00:1A:2B:3C:4D:5E"};
    struct {
        const char* what;
        std::string folder;
        uid_t owner;
        mode_t mode;
        const char* reason;
    } cases[] = {
        {"program folder of nobody", dir.file("home"), 65534, 0755, "is owned by user 65534"},
        {"program folder writable by all", dir.file("home"), 0, 0777,
         "is writable by group or others"},
        {"working folder of nobody", dir.file("home/ModifyXml"), 65534, 0755,
         "is owned by user 65534"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::chown(c.folder.c_str(), c.owner, 0), 0);
        ASSERT_EQ(::chmod(c.folder.c_str(), c.mode), 0);
        CliRun r = Cli(dir.file("home"), rewrite);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(c.folder + "/"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(qvtest::ReadFileBytes(dir.file("secret")), "root only\n");
        ASSERT_EQ(::chown(c.folder.c_str(), 0, 0), 0);
        ASSERT_EQ(::chmod(c.folder.c_str(), 0755), 0);
    }
    // The same folders, root's own: the copy replaces the planted link.
    CliRun r = Cli(dir.file("home"), rewrite);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(qvtest::ReadFileBytes(dir.file("secret")), "root only\n");
    EXPECT_EQ(qvtest::ReadFileBytes(dir.file("home/ModifyXml/001A2B3C4D5E.xml")), "x\n");
}

} // namespace
