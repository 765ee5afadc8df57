// quorvantix-cli discover against quorvantix-devsim in a namespace.

#include "tests/link/LinkNetFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <sys/wait.h>

namespace qvtest {
namespace {

class CliNetTest : public LinkNetTest {
protected:
    // Runs quorvantix-cli inside the namespace; returns its exit code, stdout
    // in out and stderr in err_.
    int Cli(std::vector<std::string> args, std::string& out) {
        std::vector<std::string> argv{BinDir() + "/quorvantix-cli", "--home", dir_.path()};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = ns_->Spawn(argv, dir_.file("cli.out"), dir_.file("cli.err"));
        int status = 0;
        waitpid(pid, &status, 0);
        out = ReadFileBytes(dir_.file("cli.out"));
        err_ = ReadFileBytes(dir_.file("cli.err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string err_;
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
    EXPECT_EQ(err_, "");
    EXPECT_EQ(Cli({"discover", "--adapter", "no-such-adapter"}, out), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err_, "discover: --adapter no-such-adapter: no such adapter\n");
    EXPECT_EQ(Cli({"discover", "--adapter", ns_->toolSide(), "--broadcasts", "0"}, out), 2);
    EXPECT_EQ(out, "");
}

// What a device reports cannot add a row or a column, reach the terminal as
// an escape sequence or break a JSON parser.
TEST_F(CliNetTest, DiscoverEscapesWhatADeviceReports) {
    StartDevsim({"--count", "1", "--ssid2", "evil\n02:00:00:00:00:99\tX", "--key2", "k\x1b[2J\\",
                 "--ssid5", "bad\xff\xfe", "--key5", "c1\xc2\x9b"});
    std::string out;
    ASSERT_EQ(Cli({"discover", "--adapter", ns_->toolSide(), "--broadcasts", "1"}, out), 0);
    EXPECT_EQ(err_, "");
    ASSERT_EQ(out.find('\n'), out.size() - 1) << "one row: " << out;
    ASSERT_GT(out.size(), 38u) << out;
    EXPECT_EQ(out.substr(0, 18), "02:00:00:00:00:01\t") << out;
    // After the MAC and the date: SSID 2.4, SSID 5, key 2.4, key 5.
    EXPECT_EQ(out.substr(18 + 20), "evil\\n02:00:00:00:00:99\\tX\tbad\xEF\xBF\xBD\xEF\xBF\xBD\t"
                                   "k\\x1B[2J\\\\\tc1\\xC2\\x9B\n")
        << out;

    ASSERT_EQ(Cli({"discover", "--adapter", ns_->toolSide(), "--broadcasts", "1", "--json"}, out),
              0);
    EXPECT_EQ(err_, "");
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << out;
    EXPECT_EQ(out, doc.toJson(QJsonDocument::Compact).toStdString() + "\n") << "compact";
    ASSERT_EQ(doc.array().size(), 1);
    const QJsonObject device = doc.array().at(0).toObject();
    EXPECT_EQ(device.value(QStringLiteral("ssid2")).toString(),
              QStringLiteral("evil\n02:00:00:00:00:99\tX"));
    EXPECT_EQ(device.value(QStringLiteral("ssid5")).toString(), QStringLiteral("bad\uFFFD\uFFFD"));
}

TEST_F(CliNetTest, DiscoverSaysWhenNoDeviceAnswered) {
    std::string out;
    ASSERT_EQ(Cli({"discover", "--adapter", ns_->toolSide(), "--broadcasts", "1"}, out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err_, "discover: no device answered on " + ns_->toolSide() + "\n");
    ASSERT_EQ(
        Cli({"discover", "--adapter", ns_->toolSide(), "--broadcasts=1", "-q", "--json"}, out), 0);
    EXPECT_EQ(out, "[]\n");
    EXPECT_EQ(err_, "");
}

TEST_F(CliNetTest, AdaptersListsBothVethEnds) {
    std::string out;
    ASSERT_EQ(Cli({"adapters"}, out), 0);
    EXPECT_NE(out.find("\t" + ns_->toolSide() + "\t" + Upper(ns_->toolSideMac()) + "\t"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\t" + ns_->deviceSide() + "\t"), std::string::npos) << out;
    EXPECT_EQ(out.find("\tlo\t"), std::string::npos) << out;
    EXPECT_EQ(err_, "");

    ASSERT_EQ(Cli({"adapters", "--json"}, out), 0);
    EXPECT_EQ(err_, "");
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(out)).array();
    bool found = false;
    for (const QJsonValue& v : list) {
        const QJsonObject a = v.toObject();
        if (a.value(QStringLiteral("interface")).toString().toStdString() != ns_->toolSide())
            continue;
        found = true;
        EXPECT_EQ(a.value(QStringLiteral("mac")).toString().toStdString(),
                  Upper(ns_->toolSideMac()));
    }
    EXPECT_TRUE(found) << out;
}

} // namespace
} // namespace qvtest
