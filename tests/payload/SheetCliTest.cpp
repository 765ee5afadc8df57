// sheet export, validate --sheet and push --sheet on the built quorvantix-cli,
// without a network: every check compares the whole of stdout and stderr.

#include "tests/support/TestSupport.h"
#include "tests/xls/SheetTools.h"
#include "xls/XlsWorkbook.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

struct CliRun {
    int rc;
    std::string out;
    std::string err;
};

// Runs quorvantix-cli; pathFirst goes in front of PATH.
CliRun Cli(const std::string& home, const std::vector<std::string>& args,
           const std::string& pathFirst = {}) {
    QStringList list{QStringLiteral("--home"), QString::fromStdString(home)};
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    QProcess p;
    if (!pathFirst.empty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), QString::fromStdString(pathFirst) + QStringLiteral(":") +
                                               env.value(QStringLiteral("PATH")));
        p.setProcessEnvironment(env);
    }
    p.start(QString::fromStdString(qvtest::BinDir() + "quorvantix-cli"), list);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

const char* kTemplate = "<Value Name=\"LOID_OLD\" Value=\"theloid\"/>\r\n"
                        "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>\r\n"
                        "<ATM_VC_TBL>\r\n"
                        "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
                        "  <Value Name=\"vid\" Value=\"41\"/>\r\n"
                        "  <Value Name=\"pppUser\" Value=\"alice\"/>\r\n"
                        "  <Value Name=\"pppPasswd\" Value=\"secret\"/>\r\n"
                        "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n";

const std::string kVidRule = "is invalid. Please check that the following rules are met:VLAN ID "
                             "must be an integer ranging from 1 to 4094!";
// As tab-separated output writes it: the rule's backslash doubled.
const std::string kPppUserRule =
    "is invalid. Please check that the following rules are met:userName must contain 1 to 63 "
    "characters, except special characters &`()|\\\\<>;'\"";

class SheetCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("ExcelTemplate"));
        std::filesystem::create_directories(dir.file("ModifyExcel"));
        std::filesystem::create_directories(dir.file("ModifyXml"));
        std::filesystem::copy_file(qvtest::SourceDir() +
                                       "/resources/bin/ExcelTemplate/Template.xls",
                                   dir.file("ExcelTemplate/Template.xls"));
        dir.write("t.xml", kTemplate);
        // A planted spreadsheet opener: the command line must never start it.
        dir.write("planted/xdg-open", "#!/bin/sh\necho \"$@\" > " + dir.file("launched") + "\n");
        std::filesystem::permissions(dir.file("planted/xdg-open"),
                                     std::filesystem::perms::owner_all);
    }

    // Exports the sheet of two devices and returns its path.
    std::string Export() {
        const CliRun r = Cli(dir.path(), {"sheet", "export", "--template", dir.file("t.xml"),
                                          "--mac", "aa:bb:cc:dd:ee:01", "AA-BB-CC-DD-EE-02"});
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind(dir.file("ModifyExcel/ExcelFiels"), 0), 0u) << r.out;
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
        return r.out.substr(0, r.out.find('\n'));
    }

    // The exported sheet, rows sorted the other way, the second device's VLAN
    // id and the first one's PPPoE user broken.
    std::string EditedSheet(const std::string& exported, const char* extraMacCell = nullptr) {
        auto book = XlsWorkbook::Create();
        EXPECT_TRUE(book->Load(exported));
        XlsSheet& sheet = *book->GetSheet(0);
        sheet.WriteStr(1, 0, "AA:BB:CC:DD:EE:02");
        sheet.WriteStr(2, 0, "AA:BB:CC:DD:EE:01");
        sheet.WriteStr(1, 2, "5000");
        sheet.WriteStr(2, 3, "al;ice");
        if (extraMacCell)
            sheet.WriteStr(3, 0, extraMacCell);
        const std::string path = dir.file(extraMacCell ? "extra.xls" : "edited.xls");
        EXPECT_TRUE(book->Save(path));
        return path;
    }

    qvtest::TempProgramDir dir;
};

} // namespace

TEST_F(SheetCliTest, ExportWritesOneRowPerDeviceInListOrder) {
    const std::string path = Export();
    auto book = XlsWorkbook::Create();
    ASSERT_TRUE(book->Load(path));
    EXPECT_EQ(book->GetSheet(0)->ReadStr(1, 0).value_or(""), "AA:BB:CC:DD:EE:01");
    EXPECT_EQ(book->GetSheet(0)->ReadStr(2, 0).value_or(""), "AA:BB:CC:DD:EE:02");
    EXPECT_EQ(book->GetSheet(0)->ReadStr(1, 2).value_or(""), "41");

    // --json: the path and the rows, keyed by the column names validate reads.
    const CliRun json = Cli(dir.path(), {"sheet", "export", "--template=" + dir.file("t.xml"),
                                         "--mac", "AA:BB:CC:DD:EE:01", "--json"});
    ASSERT_EQ(json.rc, 0) << json.err;
    EXPECT_EQ(json.err, "");
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    const std::string jsonPath = doc.value(QStringLiteral("path")).toString().toStdString();
    EXPECT_EQ(jsonPath.rfind(dir.file("ModifyExcel/ExcelFiels"), 0), 0u) << json.out;
    EXPECT_EQ(json.out, "{\"path\":\"" + jsonPath +
                            "\",\"rows\":[{\"WanName1\":\"INTERNET\",\"loginPassword\":\"root\","
                            "\"loid\":\"theloid\",\"loidPassword\":\"\",\"mac\":"
                            "\"AA:BB:CC:DD:EE:01\",\"ploamPassword\":\"\",\"pppPassword1\":"
                            "\"secret\",\"pppUser1\":\"alice\",\"vid1\":\"41\"}]}\n");

    // -o: the sheet goes to the named file (owner only) and nowhere else.
    for (const auto& e : std::filesystem::directory_iterator(dir.file("ModifyExcel")))
        std::filesystem::remove(e.path());
    const CliRun named = Cli(dir.path(), {"sheet", "export", "--template", dir.file("t.xml"),
                                          "--mac", "AA:BB:CC:DD:EE:01", "-o", dir.file("my.xls")});
    EXPECT_EQ(named.rc, 0);
    EXPECT_EQ(named.out, dir.file("my.xls") + "\n");
    EXPECT_EQ(named.err, "");
    ASSERT_TRUE(book->Load(dir.file("my.xls")));
    EXPECT_EQ(book->GetSheet(0)->ReadStr(1, 0).value_or(""), "AA:BB:CC:DD:EE:01");
    struct stat st {};
    ASSERT_EQ(stat(dir.file("my.xls").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("ModifyExcel")));

    const CliRun missing = Cli(dir.path(), {"sheet", "export", "--template",
                                            dir.file("missing.xml"), "--mac", "AA:BB:CC:DD:EE:01"});
    EXPECT_EQ(missing.rc, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "Quorvantix: Analysis xml settting error?\nsheet: --template " +
                               dir.file("missing.xml") + ": no such file\n");
}

TEST_F(SheetCliTest, ValidateListsEveryFailingRowWithoutSending) {
    const std::string edited = EditedSheet(Export());
    const CliRun r =
        Cli(dir.path(), {"validate", "--template", dir.file("t.xml"), "--sheet", edited});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "AA:BB:CC:DD:EE:02\tvid1\tThe MAC:AA:BB:CC:DD:EE:02 vid1 value:5000 " +
                         kVidRule + "\nAA:BB:CC:DD:EE:01\tpppUser1\tThe MAC:AA:BB:CC:DD:EE:01 " +
                         "pppUser1 " + kPppUserRule + "\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("ModifyXml")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.db")));

    // The exported sheet itself passes.
    const CliRun clean =
        Cli(dir.path(), {"validate", "--template", dir.file("t.xml"), "--sheet", Export()});
    EXPECT_EQ(clean.rc, 0) << clean.out;
    EXPECT_EQ(clean.out, "");
    EXPECT_EQ(clean.err, "");

    const std::string extra = EditedSheet(Export(), "not-a-mac");
    const CliRun bad =
        Cli(dir.path(), {"validate", "--template", dir.file("t.xml"), "--sheet", extra});
    EXPECT_EQ(bad.rc, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "validate: --sheet " + extra +
                           ": row 4: not a MAC address as exported (AA:BB:CC:DD:EE:FF): "
                           "not-a-mac\n");
}

TEST_F(SheetCliTest, PushRefusesABadSheetAndNeverLaunchesAProgram) {
    const std::string edited = EditedSheet(Export());
    const std::string planted = dir.file("planted");
    // The batch is the sheet's rows; the first failing row stops it before
    // the adapter is looked at.
    CliRun r =
        Cli(dir.path(),
            {"push", "--adapter", "qv-none", "--config", dir.file("t.xml"), "--sheet", edited},
            planted);
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The MAC:AA:BB:CC:DD:EE:02 vid1 value:5000 " + kVidRule + "\npush: --sheet " +
                         edited + ": correct the row above in the sheet and push again\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("launched"))) << dir.read("launched");
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("ModifyXml")));

    r = Cli(dir.path(),
            {"push", "--adapter", "qv-none", "--config", dir.file("t.xml"), "--sheet", edited,
             "--mac", "AA:BB:CC:DD:EE:01", "AA:BB:CC:DD:EE:03"},
            planted);
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The MAC:AA:BB:CC:DD:EE:03 has no row in the parameter sheet.\n"
                     "push: --sheet " +
                         edited + ": the rows cannot be read for this batch\n");

    const std::string extra = EditedSheet(Export(), "02:00:00:00:00:0a");
    r = Cli(dir.path(),
            {"push", "--adapter", "qv-none", "--config", dir.file("t.xml"), "--sheet", extra},
            planted);
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "push: --sheet " + extra +
                         ": row 4: not a MAC address as exported (AA:BB:CC:DD:EE:FF): "
                         "02:00:00:00:00:0a\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("launched")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("ModifyXml")));
}

namespace {

std::string Sha256Hex(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

const std::string kDots = "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2";

std::string SmallJpeg() {
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 50);
    return bytes.toStdString();
}

class DryRunCliTest : public SheetCliTest {
protected:
    // The exported sheet with the first device's VLAN id and PPPoE account changed.
    std::string ChangedSheet() {
        auto book = XlsWorkbook::Create();
        EXPECT_TRUE(book->Load(Export()));
        XlsSheet& sheet = *book->GetSheet(0);
        sheet.WriteStr(1, 2, "42");
        sheet.WriteStr(1, 3, "bob");
        sheet.WriteStr(1, 4, "hunter2");
        const std::string path = dir.file("changed.xls");
        EXPECT_TRUE(book->Save(path));
        return path;
    }
    std::string ConfigLine(const char* mac, const std::string& path) const {
        const std::string bytes = qvtest::ReadFileBytes(path);
        return std::string(mac) + "\tconfig\t" + path + "\t" + std::to_string(bytes.size()) + "\t" +
               Sha256Hex(bytes) + "\n";
    }
    bool NoReport() const {
        std::error_code ec;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.file("Log"), ec))
            if (e.path().filename().string().rfind("batch-", 0) == 0)
                return false;
        return true;
    }
};

} // namespace

TEST_F(DryRunCliTest, PrintsEachDevicesChangesWithSecretsMaskedAndSendsNothing) {
    const std::string sheet = ChangedSheet();
    // No adapter: none is needed, and none is opened.
    const CliRun r =
        Cli(dir.path(), {"push", "--dry-run", "--config", dir.file("t.xml"), "--sheet", sheet});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string first = dir.file("ModifyXml/AABBCCDDEE01.xml");
    const std::string second = dir.file("ModifyXml/AABBCCDDEE02.xml");
    // The copies hold what the lines say they change.
    const std::string copy = dir.read("ModifyXml/AABBCCDDEE01.xml");
    for (const char* value : {"Value=\"42\"", "Value=\"bob\"", "Value=\"hunter2\""})
        EXPECT_NE(copy.find(value), std::string::npos) << value << "\n" << copy;
    EXPECT_EQ(r.out, ConfigLine("AA:BB:CC:DD:EE:01", first) +
                         "AA:BB:CC:DD:EE:01\tentry\tvid\t41\t42\n"
                         "AA:BB:CC:DD:EE:01\tentry\tpppUser\talice\tbob\n"
                         "AA:BB:CC:DD:EE:01\tentry\tpppPasswd\t" +
                         kDots + "\t" + kDots + "\n" + ConfigLine("AA:BB:CC:DD:EE:02", second));
    EXPECT_EQ(r.out.find("hunter2"), std::string::npos);
    EXPECT_EQ(r.out.find("secret"), std::string::npos);
    EXPECT_TRUE(NoReport());
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.db")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("launched")));

    const CliRun shown = Cli(dir.path(), {"push", "--dry-run", "--show-secrets", "--config",
                                          dir.file("t.xml"), "--sheet", sheet});
    ASSERT_EQ(shown.rc, 0) << shown.err;
    EXPECT_NE(shown.out.find("AA:BB:CC:DD:EE:01\tentry\tpppPasswd\tsecret\thunter2\n"),
              std::string::npos)
        << shown.out;

    // --json: the same in one compact array.
    const CliRun json =
        Cli(dir.path(), {"push", "--dry-run", "--json", "--config", dir.file("t.xml"), "--sheet",
                         sheet, "--mac", "AA:BB:CC:DD:EE:01"});
    ASSERT_EQ(json.rc, 0) << json.err;
    const std::string bytes = qvtest::ReadFileBytes(first);
    EXPECT_EQ(json.out, "[{\"config\":{\"bytes\":" + std::to_string(bytes.size()) +
                            ",\"changes\":[{\"device\":\"42\",\"entry\":\"vid\",\"template\":"
                            "\"41\"},{\"device\":\"bob\",\"entry\":\"pppUser\",\"template\":"
                            "\"alice\"},{\"device\":\"" +
                            kDots + "\",\"entry\":\"pppPasswd\",\"template\":\"" + kDots +
                            "\"}],\"path\":\"" + first + "\",\"sha256\":\"" + Sha256Hex(bytes) +
                            "\"},\"mac\":\"AA:BB:CC:DD:EE:01\"}]\n");

    // A logo alone: what each device would receive.
    dir.write("logo.jpg", SmallJpeg());
    const CliRun logo = Cli(dir.path(), {"push", "--dry-run", "--logo", dir.file("logo.jpg"),
                                         "--mac", "aa-bb-cc-dd-ee-02"});
    ASSERT_EQ(logo.rc, 0) << logo.err;
    const std::string jpeg = dir.read("logo.jpg");
    EXPECT_EQ(logo.out, "AA:BB:CC:DD:EE:02\tlogo\t" + dir.file("logo.jpg") + "\t" +
                            std::to_string(jpeg.size()) + "\t" + Sha256Hex(jpeg) + "\n");
}

TEST_F(DryRunCliTest, AnOutputFolderGetsTheSameCopiesOwnerOnlyAndNeverThroughALink) {
    const std::string sheet = ChangedSheet();
    ASSERT_EQ(
        Cli(dir.path(), {"push", "--dry-run", "--config", dir.file("t.xml"), "--sheet", sheet}).rc,
        0);
    const CliRun r = Cli(dir.path(), {"push", "--dry-run", "--config", dir.file("t.xml"), "--sheet",
                                      sheet, "-o", dir.file("out/copies")});
    ASSERT_EQ(r.rc, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(lstat(dir.file("out/copies").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (const char* name : {"AABBCCDDEE01.xml", "AABBCCDDEE02.xml"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(dir.read(std::string("out/copies/") + name),
                  dir.read(std::string("ModifyXml/") + name));
        ASSERT_EQ(stat(dir.file(std::string("out/copies/") + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(r.out.find(dir.file("ModifyXml")), std::string::npos) << "the copies' paths";
    EXPECT_NE(r.out.find(dir.file("out/copies/AABBCCDDEE01.xml")), std::string::npos) << r.out;

    // A link in place of the folder is refused before anything is written.
    std::filesystem::create_directories(dir.file("elsewhere"));
    std::filesystem::create_symlink(dir.file("elsewhere"), dir.file("linked"));
    for (const std::string& target : {dir.file("linked"), dir.file("linked/")}) {
        const CliRun link = Cli(dir.path(), {"push", "--dry-run", "--config", dir.file("t.xml"),
                                             "--sheet", sheet, "-o", target});
        EXPECT_EQ(link.rc, 2);
        EXPECT_EQ(link.out, "");
        EXPECT_EQ(link.err, "push: -o " + target + ": a symbolic link; give the folder itself\n");
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("elsewhere")));
    }
    dir.write("plain", "x");
    const CliRun file = Cli(dir.path(), {"push", "--dry-run", "--config", dir.file("t.xml"),
                                         "--sheet", sheet, "-o", dir.file("plain")});
    EXPECT_EQ(file.rc, 2);
    EXPECT_EQ(file.err, "push: -o " + dir.file("plain") + ": not a folder\n");
}

TEST_F(DryRunCliTest, RefusesAsPushDoesAndWritesNothing) {
    const std::string edited = EditedSheet(Export());
    const std::string missing = dir.file("missing.xml");
    struct {
        const char* what;
        std::vector<std::string> args;
    } cases[] = {
        {"a row breaking a rule", {"--config", dir.file("t.xml"), "--sheet", edited}},
        {"a row missing",
         {"--config", dir.file("t.xml"), "--sheet", edited, "--mac", "AA:BB:CC:DD:EE:03"}},
        {"a missing template", {"--config", missing, "--mac", "AA:BB:CC:DD:EE:01"}},
        {"a template without .xml",
         {"--config", dir.file("sheet.xls"), "--mac", "AA:BB:CC:DD:EE:01"}},
    };
    dir.write("sheet.xls", "not a template");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> push{"push", "--adapter", "qv-none"};
        push.insert(push.end(), c.args.begin(), c.args.end());
        const CliRun real = Cli(dir.path(), push, dir.file("planted"));
        std::vector<std::string> dry{"push", "--dry-run", "-o", dir.file("out")};
        dry.insert(dry.end(), c.args.begin(), c.args.end());
        const CliRun r = Cli(dir.path(), dry, dir.file("planted"));
        EXPECT_EQ(r.rc, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, real.err) << "the same messages as a push";
        EXPECT_EQ(real.rc, 2);
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("ModifyXml")));
        EXPECT_TRUE(NoReport());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("launched")));
}
