// quorvantix-cli discover against quorvantix-devsim in a namespace.

#include "tests/link/LinkNetFixture.h"

#include <sys/wait.h>

namespace qvtest {
namespace {

class CliNetTest : public LinkNetTest {
protected:
    // Runs quorvantix-cli inside the namespace; returns its exit code.
    int Cli(std::vector<std::string> args, std::string& out) {
        std::vector<std::string> argv{BinDir() + "/quorvantix-cli", "--home", dir_.path()};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = ns_->Spawn(argv, dir_.file("cli.out"));
        int status = 0;
        waitpid(pid, &status, 0);
        out = ReadFileBytes(dir_.file("cli.out"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(CliNetTest, DiscoverListsTheDevicesOrderedByMac) {
    StartDevsim({"--count", "3", "--first-mac", "02:00:00:00:00:0e", "--ssid2", "net{n}", "--key2",
                 "pw{n}", "--single-band"});
    std::string out;
    ASSERT_EQ(Cli({"discover", "--adapter", ns_->toolSide(), "--broadcasts", "2"}, out), 0);
    std::vector<std::string> lines;
    for (std::size_t p = 0, q; (q = out.find('\n', p)) != std::string::npos; p = q + 1)
        lines.push_back(out.substr(p, q - p));
    ASSERT_EQ(lines.size(), 3u) << out;
    const char* macs[] = {"02:00:00:00:00:0E", "02:00:00:00:00:0F", "02:00:00:00:00:10"};
    for (int i = 0; i < 3; ++i) {
        const std::string& l = lines[static_cast<std::size_t>(i)];
        EXPECT_EQ(l.substr(0, 18), std::string(macs[i]) + "\t") << l;
        // MAC, date, SSID 2.4, SSID 5 (empty), key 2.4, key 5 (empty).
        const std::string rest = l.substr(18 + 20);
        EXPECT_EQ(rest, "net" + std::to_string(i + 1) + "\t\tpw" + std::to_string(i + 1) + "\t")
            << l;
    }
    EXPECT_EQ(Cli({"discover", "--adapter", "no-such-adapter"}, out), 2);
    EXPECT_EQ(Cli({"discover", "--adapter", ns_->toolSide(), "--broadcasts", "0"}, out), 2);
}

TEST_F(CliNetTest, AdaptersListsBothVethEnds) {
    std::string out;
    ASSERT_EQ(Cli({"adapters"}, out), 0);
    EXPECT_NE(out.find("\t" + ns_->toolSide() + "\t" + Upper(ns_->toolSideMac()) + "\t"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\t" + ns_->deviceSide() + "\t"), std::string::npos) << out;
    EXPECT_EQ(out.find("\tlo\t"), std::string::npos) << out;
}

} // namespace
} // namespace qvtest
