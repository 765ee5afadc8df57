#include "tests/support/TestSupport.h"
#include "tests/xls/SheetTools.h"
#include "xls/XlsWorkbook.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

namespace {

struct CliRun {
    int rc;
    std::string out;
};

CliRun Cli(const std::string& home, const std::string& args) {
    std::string cmd = qvtest::BinDir() + "/quorvantix-cli --home " + home + " " + args + " 2>&1";
    CliRun r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int status = pclose(p);
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const char* kTemplate = "<Value Name=\"LOID_OLD\" Value=\"theloid\"/>\r\n"
                        "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>\r\n"
                        "<ATM_VC_TBL>\r\n"
                        "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
                        "  <Value Name=\"vid\" Value=\"41\"/>\r\n"
                        "  <Value Name=\"pppUser\" Value=\"alice\"/>\r\n"
                        "  <Value Name=\"pppPasswd\" Value=\"secret\"/>\r\n"
                        "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n";

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
    }
    qvtest::TempProgramDir dir;
};

} // namespace

TEST_F(SheetCliTest, ExportPrintsThePathAndPushRefusesABadSheet) {
    CliRun r = Cli(dir.path(), "sheet export --template " + dir.file("t.xml") +
                                   " --mac aa:bb:cc:dd:ee:01 AA:BB:CC:DD:EE:02");
    ASSERT_EQ(r.rc, 0) << r.out;
    std::string path = r.out.substr(0, r.out.find('\n'));
    ASSERT_EQ(path.rfind(dir.file("ModifyExcel/ExcelFiels"), 0), 0u) << r.out;
    auto book = XlsWorkbook::Create();
    ASSERT_TRUE(book->Load(path));
    EXPECT_EQ(book->GetSheet(0)->ReadStr(2, 0).value_or(""), "AA:BB:CC:DD:EE:02");
    EXPECT_EQ(book->GetSheet(0)->ReadStr(1, 2).value_or(""), "41");

    // The operator sorts the rows and breaks the second device's VLAN id.
    book->GetSheet(0)->WriteStr(1, 0, "AA:BB:CC:DD:EE:02");
    book->GetSheet(0)->WriteStr(2, 0, "AA:BB:CC:DD:EE:01");
    book->GetSheet(0)->WriteStr(1, 2, "5000");
    ASSERT_TRUE(book->Save(dir.file("edited.xls")));
    r = Cli(dir.path(), "push --adapter qv-none --config " + dir.file("t.xml") + " --sheet " +
                            dir.file("edited.xls") + " --mac AA:BB:CC:DD:EE:01 AA:BB:CC:DD:EE:02");
    EXPECT_EQ(r.rc, 2);
    EXPECT_NE(r.out.find("The MAC:AA:BB:CC:DD:EE:02 vid1 value:5000 is invalid."),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("ModifyXml")));

    r = Cli(dir.path(), "push --adapter qv-none --config " + dir.file("t.xml") + " --sheet " +
                            dir.file("edited.xls") + " --mac AA:BB:CC:DD:EE:01 AA:BB:CC:DD:EE:03");
    EXPECT_EQ(r.rc, 2);
    EXPECT_NE(r.out.find("The MAC:AA:BB:CC:DD:EE:03 has no row in the parameter sheet."),
              std::string::npos)
        << r.out;

    r = Cli(dir.path(),
            "sheet export --template " + dir.file("missing.xml") + " --mac AA:BB:CC:DD:EE:01");
    EXPECT_EQ(r.rc, 2);
}
