// An operator's round trip against emulated devices in a namespace of the
// test's own: sheet export, the rows edited and sorted and saved by
// LibreOffice, push --sheet; each device receives its own values.

#include "tests/support/NetNs.h"
#include "tests/support/TestSupport.h"
#include "tests/xls/SheetTools.h"
#include "xls/XlsWorkbook.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <thread>

namespace {

using qvtest::NetNs;
using qvtest::TempProgramDir;

const char* kTemplate = "<Value Name=\"LOID_OLD\" Value=\"theloid\"/>\r\n"
                        "<Value Name=\"SUSER_PASSWORD\" Value=\"root\"/>\r\n"
                        "<ATM_VC_TBL>\r\n"
                        "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
                        "  <Value Name=\"vid\" Value=\"41\"/>\r\n"
                        "  <Value Name=\"pppUser\" Value=\"alice\"/>\r\n"
                        "  <Value Name=\"pppPasswd\" Value=\"secret\"/>\r\n"
                        "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n";
const char* kMac[] = {"02:00:00:00:00:01", "02:00:00:00:00:02", "02:00:00:00:00:03"};
const char* kFile[] = {"02-00-00-00-00-01", "02-00-00-00-00-02", "02-00-00-00-00-03"};

int RunIn(NetNs* ns, const std::vector<std::string>& argv, const std::string& log,
          std::string& out) {
    pid_t pid = ns->Spawn(argv, log);
    if (pid <= 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    out = qvtest::ReadFileBytes(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SheetPushNet, EachDeviceReceivesItsOwnRowAfterALibreOfficeSave) {
    if (!qvtest::IsRoot())
        GTEST_SKIP() << "needs root for a network namespace";
    if (!sheettest::HaveLibreOffice())
        GTEST_SKIP() << "LibreOffice is not installed";
    auto ns = std::make_unique<NetNs>();
    ASSERT_TRUE(ns->ok());
    TempProgramDir dir;
    dir.write("ModifyXml/.keep", "");
    dir.write("t.xml", kTemplate);
    std::filesystem::create_directories(dir.file("ModifyExcel"));
    std::filesystem::create_directories(dir.file("ExcelTemplate"));
    std::filesystem::create_directories(dir.file("out"));
    std::filesystem::create_directories(dir.file("calc"));
    std::filesystem::copy_file(qvtest::SourceDir() + "/resources/bin/ExcelTemplate/Template.xls",
                               dir.file("ExcelTemplate/Template.xls"));

    const std::string cli = qvtest::BinDir() + "/quorvantix-cli";
    std::string out;
    ASSERT_EQ(RunIn(ns.get(),
                    {cli, "--home", dir.path(), "sheet", "export", "--template", dir.file("t.xml"),
                     "--mac", kMac[0], kMac[1], kMac[2]},
                    dir.file("export.out"), out),
              0)
        << out;
    const std::string exported = out.substr(0, out.find('\n'));

    // The operator's edit: own accounts, rows in reverse order, saved by Calc.
    auto book = XlsWorkbook::Create();
    ASSERT_TRUE(book->Load(exported));
    for (int k = 0; k < 3; ++k) {
        book->GetSheet(0)->WriteStr(3 - k, 0, kMac[k]);
        book->GetSheet(0)->WriteStr(3 - k, 3, "user" + std::to_string(k));
        book->GetSheet(0)->WriteStr(3 - k, 4, "pw" + std::to_string(k));
    }
    ASSERT_TRUE(book->Save(dir.file("edited.xls")));
    const std::string saved = sheettest::LibreOfficeToXls(dir.file("edited.xls"), dir.file("calc"));
    ASSERT_FALSE(saved.empty());

    const std::string ready = dir.file("ready");
    pid_t devsim = ns->Spawn({qvtest::BinDir() + "/quorvantix-devsim", "--interface",
                              ns->deviceSide(), "--count", "3", "--output", dir.file("out"),
                              "--ready-file", ready, "--verdict-delay", "300"},
                             dir.file("devsim.out"));
    ASSERT_GT(devsim, 0);
    for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(ready));

    const int rc = RunIn(ns.get(),
                         {cli, "--home", dir.path(), "push", "--adapter", ns->toolSide(),
                          "--broadcasts", "1", "--wait", "15", "--config", dir.file("t.xml"),
                          "--sheet", saved, "--mac", kMac[0], kMac[1], kMac[2]},
                         dir.file("push.out"), out);
    qvtest::StopProcess(devsim);
    ASSERT_EQ(rc, 0) << out;
    for (int k = 0; k < 3; ++k) {
        const std::string got = dir.read(std::string("out/") + kFile[k] + "-para-1");
        EXPECT_NE(got.find("Value=\"user" + std::to_string(k) + "\""), std::string::npos)
            << kMac[k] << "\n"
            << got;
        EXPECT_NE(got.find("Value=\"pw" + std::to_string(k) + "\""), std::string::npos) << got;
    }
}

} // namespace
