// The command line's options, help, rewrite and validate, run as a script
// would run them. Every check compares the whole of stdout and stderr, so an
// extra message, a lost one or a wrong stream is seen.

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
    QStringList list;
    if (!home.empty())
        list << QStringLiteral("--home") << QString::fromStdString(home);
    for (const auto& a : args)
        list << QString::fromStdString(a);
    QProcess p;
    p.start(QString::fromStdString(qvtest::BinDir() + "quorvantix-cli"), list);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

void ExpectRun(const CliRun& r, int code, const std::string& out, const std::string& err) {
    EXPECT_EQ(r.code, code) << r.err;
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, err);
}

std::string Usage(const char* command, const char* synopsis) {
    return std::string("Usage: quorvantix-cli ") + command + " " + synopsis +
           "\nTry 'quorvantix-cli " + command + " --help' for more information.\n";
}

const char* kPushSynopsis =
    "--adapter IFACE (--mac MAC... | --all | --sheet FILE.xls | --retry REPORT.json) "
    "[--config FILE.xml] [--logo FILE.jpg] [OPTIONS]";
const char* kRewriteSynopsis = "--template FILE.xml --mac MAC [--params FILE.json] [-o FILE]";
const char* kValidateSynopsis =
    "--template FILE.xml (--sheet FILE.xls | --params FILE.json [--wlan]) [--json]";

TEST(CliOptions, EveryCommandHasItsOwnHelpOnStdout) {
    for (const char* command : {"adapters", "discover", "push", "rewrite", "sheet", "validate"}) {
        SCOPED_TRACE(command);
        const CliRun asOption = Cli({}, {command, "--help"});
        const CliRun asCommand = Cli({}, {"help", command});
        const CliRun shortOption = Cli({}, {command, "-h"});
        EXPECT_EQ(asOption.code, 0);
        EXPECT_EQ(asOption.err, "");
        EXPECT_EQ(asOption.out.rfind(std::string("Usage: quorvantix-cli ") + command, 0), 0u)
            << asOption.out;
        for (const char* part : {"\nOptions:\n", "\nOutput:\n", "\nExit codes:\n", "--help"})
            EXPECT_NE(asOption.out.find(part), std::string::npos) << part;
        ExpectRun(asCommand, 0, asOption.out, "");
        ExpectRun(shortOption, 0, asOption.out, "");
    }
    const CliRun main = Cli({}, {"--help"});
    EXPECT_EQ(main.code, 0);
    EXPECT_EQ(main.err, "");
    for (const char* command : {"adapters", "discover", "push", "rewrite", "sheet", "validate"})
        EXPECT_NE(main.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
    const CliRun version = Cli({}, {"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.err, "");
    ASSERT_FALSE(version.out.empty());
    EXPECT_EQ(version.out.find('\n'), version.out.size() - 1) << "one line ending in a newline";
}

TEST(CliOptions, UsageErrorsGoToStderrWithTheCommandsUsage) {
    TempProgramDir dir;
    const std::string mainUsage = "Usage: quorvantix-cli [--home DIR] COMMAND [OPTIONS]\n"
                                  "Try 'quorvantix-cli --help' for more information.\n";
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"push", "--adapter"},
         "push: Missing value after '--adapter'.\n" + Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x", "--bogus"},
         "push: Unknown option 'bogus'.\n" + Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x"},
         "push: give --mac MAC..., --all, --sheet FILE.xls or --retry REPORT.json\n" +
             Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x", "--all", "--mac", "00:1A:2B:3C:4D:5E"},
         "push: give either --mac MAC... or --all, not both\n" + Usage("push", kPushSynopsis)},
        {{"push", "--all", "--config", "t.xml"},
         "push: --adapter is required\n" + Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x", "--all", "--broadcasts", "0"},
         "push: --broadcasts needs a whole number from 1 to 100000, not '0'\n" +
             Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x", "--all", "--wait=soon"},
         "push: --wait needs a whole number from 0 to 100000000, not 'soon'\n" +
             Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x", "--all", "stray"},
         "push: unexpected argument stray\n" + Usage("push", kPushSynopsis)},
        {{"push", "--dry-run", "--all", "--config", "t.xml"},
         "push: --dry-run makes no search: give --mac MAC... or --sheet FILE.xls\n" +
             Usage("push", kPushSynopsis)},
        {{"push", "--dry-run", "--retry", "r.json"},
         "push: --dry-run makes no search: give --mac MAC... or --sheet FILE.xls\n" +
             Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x", "--all", "-o", "out"},
         "push: -o and --show-secrets belong to --dry-run\n" + Usage("push", kPushSynopsis)},
        {{"push", "--adapter", "x", "--all", "--show-secrets"},
         "push: -o and --show-secrets belong to --dry-run\n" + Usage("push", kPushSynopsis)},
        {{"rewrite", "--mac", "00:1A:2B:3C:4D:5E"},
         "rewrite: --template and --mac are required\n" + Usage("rewrite", kRewriteSynopsis)},
        {{"validate", "--template", "t.xml"},
         "validate: give either --sheet FILE.xls or --params FILE.json\n" +
             Usage("validate", kValidateSynopsis)},
        {{"sheet", "import"},
         "sheet export: unknown sub-command import\n" +
             Usage("sheet export", "--template FILE.xml [--adapter IFACE [--broadcasts N]] "
                                   "(--mac MAC... | --all) [-o FILE] [--json]")},
        {{"adapters", "--json", "x"},
         "adapters: unexpected argument x\n" + Usage("adapters", "[--json]")},
        {{"frobnicate"}, "quorvantix-cli: unknown command: frobnicate\n" + mainUsage},
        {{}, "quorvantix-cli: a command is required\n" + mainUsage},
        {{"help", "frobnicate"}, "quorvantix-cli: unknown command: frobnicate\n" + mainUsage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
        ExpectRun(Cli(dir.path(), c.args), 2, "", c.err);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.db")));
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
    dir.write("p.json", R"({"ssid_5g": "five", "vid1": "7"})");
    const std::string copy = dir.file("ModifyXml/001A2B3C4D5E.xml");
    const std::string rewritten =
        "WLAN_A\r\nWLAN1_B\r\n  <Value Name=\"SSID\" Value=\"five\"/>\r\n";
    ExpectRun(Cli(dir.path(), {"rewrite", "--template", dir.file("t.xml"), "--mac",
                               "00:1A:2B:3C:4D:5E", "--params", dir.file("p.json")}),
              0, copy + "\n", "");
    EXPECT_EQ(dir.read("ModifyXml/001A2B3C4D5E.xml"), rewritten);
    // Without --params the template is copied unchanged.
    ExpectRun(
        Cli(dir.path(), {"rewrite", "--template", dir.file("t.xml"), "--mac", "00:1A:2B:3C:4D:5E"}),
        0, copy + "\n", "");
    EXPECT_EQ(dir.read("ModifyXml/001A2B3C4D5E.xml"), dir.read("t.xml"));

    // Every spelling of one MAC, and "--opt=value", give the one upper-case copy.
    for (const char* mac : {"00:1a:2b:3c:4d:5e", "00-1A-2B-3C-4D-5E", "00-1a-2B-3c-4D-5e"}) {
        SCOPED_TRACE(mac);
        std::filesystem::remove(copy);
        ExpectRun(Cli(dir.path(), {"rewrite", "--template=" + dir.file("t.xml"),
                                   std::string("--mac=") + mac, "--params", dir.file("p.json")}),
                  0, copy + "\n", "");
        EXPECT_EQ(dir.read("ModifyXml/001A2B3C4D5E.xml"), rewritten);
    }
    int files = 0;
    for ([[maybe_unused]] const auto& e :
         std::filesystem::directory_iterator(dir.file("ModifyXml")))
        ++files;
    EXPECT_EQ(files, 2) << ".keep and the one copy";

    // -o: the copy goes to the named file, readable by its owner only, and
    // no second copy stays behind in ModifyXml.
    std::filesystem::remove(copy);
    ExpectRun(
        Cli(dir.path(), {"rewrite", "--template", dir.file("t.xml"), "--mac", "00:1A:2B:3C:4D:5E",
                         "--params", dir.file("p.json"), "-o", dir.file("mine.xml")}),
        0, dir.file("mine.xml") + "\n", "");
    EXPECT_EQ(dir.read("mine.xml"), rewritten);
    struct stat st {};
    ASSERT_EQ(stat(dir.file("mine.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(std::filesystem::exists(copy));
}

TEST(CliRewrite, ParameterFilesUseTheSheetsColumnNames) {
    TempProgramDir dir;
    dir.write("ModifyXml/.keep", "");
    dir.write("t.xml", "WLAN_A\nWLAN1_B\n<ATM_VC_TBL>\n<Value Name=\"vid\" Value=\"5\"/>\n"
                       "<Value Name=\"pppUser\" Value=\"u\"/>\n<Value Name=\"ChannelMode\" "
                       "Value=\"2\"/>\n<Value Name=\"SSID\" Value=\"a\"/>\n"
                       "<Value Name=\"WPAPSK\" Value=\"b\"/>\n");
    struct {
        const char* name;
        const char* json;
    } spellings[] = {
        {"sheet columns",
         R"({"mac":"00:1A:2B:3C:4D:5E","vid1":"10","pppUser1":"alice","ssid_5g":"five",
             "wlanPsk_5g":"fivekey1","ssid_2.4g":"two","wlanPsk_2.4g":"twokey12"})"},
        {"older keys",
         R"({"mac":"00:1A:2B:3C:4D:5E","wanCount":1,"vid":["10"],"pppUser":["alice"],
             "ssid5g":"five","wlanPsk5g":"fivekey1","ssid24g":"two","wlanPsk24g":"twokey12"})"},
        {"an array, chosen by MAC",
         R"([{"mac":"00:1A:2B:3C:4D:01","vid1":"99"},
             {"mac":"00:1a:2b:3c:4d:5e","vid1":"10","pppUser1":"alice","ssid_5g":"five",
              "wlanPsk_5g":"fivekey1","ssid_2.4g":"two","wlanPsk_2.4g":"twokey12"}])"},
    };
    std::string first;
    for (const auto& s : spellings) {
        SCOPED_TRACE(s.name);
        dir.write("p.json", s.json);
        ExpectRun(Cli(dir.path(), {"rewrite", "--template", dir.file("t.xml"), "--mac",
                                   "00:1A:2B:3C:4D:5E", "--params", dir.file("p.json")}),
                  0, dir.file("ModifyXml/001A2B3C4D5E.xml") + "\n", "");
        const std::string copy = dir.read("ModifyXml/001A2B3C4D5E.xml");
        EXPECT_NE(copy.find("Value=\"10\""), std::string::npos) << copy;
        EXPECT_NE(copy.find("Value=\"alice\""), std::string::npos) << copy;
        EXPECT_NE(copy.find("Value=\"five\""), std::string::npos) << copy;
        if (first.empty())
            first = copy;
        EXPECT_EQ(copy, first);
    }
}

TEST(CliRewrite, RefusalsNameTheFileOrOption) {
    TempProgramDir dir;
    dir.write("t.xml", "x\n");
    dir.write("bad.json", "[1,2]");
    dir.write("unknown.json", R"({"mac":"00:1A:2B:3C:4D:5E","ssid":"typo"})");
    dir.write("typed.json", R"([{"vid1":"1"},{"loid":[1]}])");
    dir.write("two.json", R"([{"mac":"00:1A:2B:3C:4D:01"},{"mac":"00:1A:2B:3C:4D:02"}])");
    const std::string mac = "00:1A:2B:3C:4D:5E";
    const std::string rw = "rewrite";
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{rw, "--template", dir.file("t.xml"), "--mac", "00:1A"},
         "rewrite: --mac 00:1A: not a MAC address\n"},
        {{rw, "--template", dir.file("t.xml"), "--mac", "00:1a-2b:3c:4d:5e"},
         "rewrite: --mac 00:1a-2b:3c:4d:5e: not a MAC address\n"},
        {{rw, "--template", dir.file("t.xml"), "--mac", "001a2b3c4d5e"},
         "rewrite: --mac 001a2b3c4d5e: not a MAC address\n"},
        {{rw, "--template", dir.file("none.xml"), "--mac", mac},
         "rewrite: --template " + dir.file("none.xml") + ": no such file\n"},
        {{rw, "--template", dir.path(), "--mac", mac},
         "Quorvantix: Xml file is not a regular file!\nrewrite: --template " + dir.path() +
             ": not a regular file\n"},
        {{rw, "--template", dir.file("t.xml"), "--mac", mac, "--params", dir.file("bad.json")},
         "rewrite: --params " + dir.file("bad.json") + ": item 1 is not an object\n"},
        {{rw, "--template", dir.file("t.xml"), "--mac", mac, "--params", dir.file("none.json")},
         "rewrite: --params " + dir.file("none.json") +
             ": cannot read this file (a regular file of at most 16 MiB is needed)\n"},
        {{rw, "--template", dir.file("t.xml"), "--mac", mac, "--params", dir.file("unknown.json")},
         "rewrite: --params " + dir.file("unknown.json") + ": unknown key \"ssid\"\n"},
        {{rw, "--template", dir.file("t.xml"), "--mac", mac, "--params", dir.file("typed.json")},
         "rewrite: --params " + dir.file("typed.json") + ": item 2: \"loid\" must be a string\n"},
        {{rw, "--template", dir.file("t.xml"), "--mac", mac, "--params", dir.file("two.json")},
         "rewrite: --params " + dir.file("two.json") + ": no record has \"mac\": \"" + mac +
             "\"\n"},
    };
    for (const auto& c : cases)
        ExpectRun(Cli(dir.path(), c.args), 2, "", c.err);
    // No ModifyXml folder: the copy cannot be written.
    dir.write("p.json", "{}");
    ExpectRun(Cli(dir.path(), {rw, "--template", dir.file("t.xml"), "--mac", mac, "--params",
                               dir.file("p.json")}),
              2, "",
              "Quorvantix: Modify New Xml file fail!\nrewrite: the copy for " + mac +
                  " cannot be written to " + dir.file("ModifyXml/001A2B3C4D5E.xml") + "\n");
}

const char* kVidTemplate = "ATM_VC_TBL\n<Value Name=\"vid\" Value=\"5\"/>\n"
                           "<Value Name=\"ChannelMode\" Value=\"1\"/>\n";
const char* kVidRule = "is invalid. Please check that the following rules are met:VLAN ID "
                       "must be an integer ranging from 1 to 4094!";

TEST(CliValidate, ReportsEveryFailingRecord) {
    TempProgramDir dir;
    dir.write("t.xml", kVidTemplate);
    dir.write("ok.json", R"([{"mac": "AA:AA:AA:AA:AA:AA", "vid1": "10",
                             "loginPassword": "admin"}])");
    dir.write("one.json", R"({"mac": "AA:AA:AA:AA:AA:AA", "vid1": "10",
                             "loginPassword": "admin"})");
    dir.write("bad.json", R"([{"mac": "AA:AA:AA:AA:AA:01", "vid1": 4095, "loginPassword": "admin"},
                              {"mac": "AA:AA:AA:AA:AA:02", "vid1": "7", "loginPassword": "admin"},
                              {"mac": "AA:AA:AA:AA:AA:03", "vid1": "0", "loginPassword": "a b"}])");
    ExpectRun(Cli(dir.path(),
                  {"validate", "--template", dir.file("t.xml"), "--params", dir.file("ok.json")}),
              0, "", "");
    ExpectRun(Cli(dir.path(),
                  {"validate", "--template", dir.file("t.xml"), "--params", dir.file("one.json")}),
              0, "", "");
    ExpectRun(Cli(dir.path(),
                  {"validate", "--template", dir.file("t.xml"), "--params", dir.file("bad.json")}),
              1,
              std::string("AA:AA:AA:AA:AA:01\tvid1\tThe MAC:AA:AA:AA:AA:AA:01 vid1 value:4095 ") +
                  kVidRule + "\nAA:AA:AA:AA:AA:03\tvid1\tThe MAC:AA:AA:AA:AA:AA:03 vid1 value:0 " +
                  kVidRule + "\n",
              "");
    const CliRun json = Cli(dir.path(), {"validate", "--template", dir.file("t.xml"), "--params",
                                         dir.file("bad.json"), "--json"});
    EXPECT_EQ(json.code, 1);
    EXPECT_EQ(json.err, "");
    EXPECT_EQ(json.out, std::string("[{\"column\":\"vid1\",\"mac\":\"AA:AA:AA:AA:AA:01\","
                                    "\"rule\":\"The MAC:AA:AA:AA:AA:AA:01 vid1 value:4095 ") +
                            kVidRule +
                            "\"},{\"column\":\"vid1\",\"mac\":\"AA:AA:AA:AA:AA:03\","
                            "\"rule\":\"The MAC:AA:AA:AA:AA:AA:03 vid1 value:0 " +
                            kVidRule + "\"}]\n");
    // With --wlan the radio fields are tested too.
    const CliRun wlan = Cli(dir.path(), {"validate", "--template", dir.file("t.xml"), "--params",
                                         dir.file("ok.json"), "--wlan"});
    EXPECT_EQ(wlan.code, 1);
    EXPECT_EQ(wlan.err, "");
    EXPECT_EQ(wlan.out.rfind("AA:AA:AA:AA:AA:AA\tssid_2.4g\tThe MAC:AA:AA:AA:AA:AA:AA ssid_2.4g "
                             "is invalid.",
                             0),
              0u)
        << wlan.out;
    EXPECT_EQ(wlan.out.find('\n'), wlan.out.size() - 1) << wlan.out;
    // A missing template: the program's message, then which file and why.
    ExpectRun(Cli(dir.path(), {"validate", "--template", dir.file("none.xml"), "--params",
                               dir.file("ok.json")}),
              2, "",
              "Quorvantix: Analysis xml settting error?\nvalidate: --template " +
                  dir.file("none.xml") + ": no such file\n");
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
        std::string err;
    } cases[] = {
        {{"push", "--adapter", "x", "--mac", "00:1A:2B"},
         "push: --mac 00:1A:2B: not a MAC address\n"},
        {{"push", "--adapter", "x", "--all"},
         "Please choose xml or logo info!\npush: give --config FILE.xml, --logo FILE.jpg or "
         "both\n"},
        {{"push", "--adapter", "x", "--all", "--config", dir.file("none.xml")},
         "push: --config " + dir.file("none.xml") + ": no such file\n"},
        {{"push", "--adapter", "x", "--all", "--sheet", dir.file("ModifyXml")},
         "push: --sheet " + dir.file("ModifyXml") + ": not a regular file\n"},
        {{"push", "--adapter", "x", "--all", "--config", dir.file("big.xml")},
         "Quorvantix: Xml file cannot be larger than 300000 bytes!\npush: --config " +
             dir.file("big.xml") + ": the template is too large\n"},
        {{"push", "--adapter", "x", "--all", "--logo", dir.file("big.jpg")},
         "Quorvantix: Picture file cannot be larger than 6000 bytes!\npush: --logo " +
             dir.file("big.jpg") + ": the picture is refused\n"},
        {{"push", "--adapter", "x", "--all", "--logo", dir.file("LOGO.JPG"), "--config",
          dir.file("T.XML")},
         "Quorvantix: Modify file is not .jpg file!\npush: --logo " + dir.file("LOGO.JPG") +
             ": the name must end in .jpg\n"},
        {{"push", "--adapter", "x", "--all", "--config", dir.file("T.XML")},
         "Quorvantix: Modify file is not .xml file!\npush: --config " + dir.file("T.XML") +
             ": the name must end in .xml\n"},
        {{"push", "--adapter", "no-such-adapter", "--mac", mac, "--config", dir.file("t.xml")},
         "push: --adapter no-such-adapter: no such adapter\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        ExpectRun(Cli(dir.path(), c.args), 2, "", c.err);
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
