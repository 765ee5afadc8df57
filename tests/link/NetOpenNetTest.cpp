// quorvantix-netopen, the one program meant to carry cap_net_raw: what it
// refuses, and that an unprivileged quorvantix-cli works through it (and
// says plainly why it cannot without it).

#include "tests/link/LinkNetFixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_packet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qvtest {
namespace {

constexpr const char* kNeedsCapability =
    "for raw frames: needs CAP_NET_RAW (run as root, or install the package and join the "
    "group quorvantix)";

struct HelperRun {
    int exitCode = -1;
    int fd = -1; // the descriptor it sent, or -1
    std::string text;
};

// Runs the helper with one end of a socketpair as descriptor 3 (or with
// descriptor 3 a plain file when asSocket is false).
HelperRun RunHelper(const std::vector<std::string>& args, bool asSocket = true) {
    HelperRun run;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return run;
    const pid_t pid = fork();
    if (pid == 0) {
        const int channel = asSocket ? pair[1] : open("/dev/null", O_RDONLY);
        dup2(channel, 3);
        std::vector<char*> argv{const_cast<char*>("quorvantix-netopen")};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const std::string path = BinDir() + "/quorvantix-netopen";
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(pair[1]);
    char text[512] = {};
    iovec iov{text, sizeof text - 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(pair[0], &msg, 0);
    if (n > 0) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c))
            if (c->cmsg_type == SCM_RIGHTS)
                std::memcpy(&run.fd, CMSG_DATA(c), sizeof run.fd);
        if (run.fd < 0)
            run.text.assign(text, static_cast<std::size_t>(n));
    }
    close(pair[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class NetOpenNetTest : public LinkNetTest {};

TEST_F(NetOpenNetTest, HandsOverAPacketSocketForAnEthernetInterfaceOnly) {
    HelperRun ok = RunHelper({ns_->toolSide()});
    EXPECT_EQ(ok.exitCode, 0) << ok.text;
    ASSERT_GE(ok.fd, 0);
    sockaddr_ll address{};
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(ok.fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    EXPECT_EQ(address.sll_family, AF_PACKET);
    EXPECT_EQ(address.sll_protocol, htons(0x6262));
    close(ok.fd);

    const struct {
        std::vector<std::string> args;
        const char* reason;
    } refused[] = {
        {{"lo"}, "cannot open lo for raw frames: a loopback interface"},
        {{"qvmissing0"}, "cannot open qvmissing0 for raw frames: no such interface"},
        {{"a/b"}, "not an interface name: a/b"},
        {{"../" + ns_->toolSide()}, "not an interface name"},
        {{""}, "not an interface name"},
        {{"x123456789abcdef"}, "not an interface name"}, // 16 characters: too long
        {{"eth0 x"}, "not an interface name"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.args[0]);
        const HelperRun run = RunHelper(r.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_LT(run.fd, 0);
        EXPECT_EQ(run.text.substr(0, std::strlen(r.reason)), r.reason) << run.text;
    }
    // Any other use: no argument, two arguments, descriptor 3 not a socketpair.
    EXPECT_EQ(RunHelper({}).exitCode, 2);
    EXPECT_EQ(RunHelper({ns_->toolSide(), "x"}).exitCode, 2);
    const HelperRun notSocket = RunHelper({ns_->toolSide()}, false);
    EXPECT_EQ(notSocket.exitCode, 2);
    EXPECT_LT(notSocket.fd, 0);
}

// quorvantix-cli discover as nobody: with a copy of the helper that carries
// cap_net_raw it finds the devices; with the copy stripped of it, or with no
// helper at all, it exits 1 and says what it needs.
TEST_F(NetOpenNetTest, AnUnprivilegedUserSearchesThroughACapableHelperOnly) {
    if (!RunCommand("command -v setcap >/dev/null && command -v setpriv >/dev/null"))
        GTEST_SKIP() << "needs setcap (libcap2-bin) and setpriv (util-linux)";
    StartDevsim({"--count", "3", "--first-mac", "02:00:00:00:30:01"});
    // A folder nobody can enter holding copies of the programs, and a home of nobody's own.
    const std::string bin = dir_.file("bin/"), home = dir_.file("home/");
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(home);
    for (const char* program : {"quorvantix-cli", "quorvantix-netopen"})
        std::filesystem::copy_file(BinDir() + "/" + program, bin + program);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    ASSERT_TRUE(RunCommand("chown -R nobody:nogroup '" + home + "' && chmod 0700 '" + home + "'"));
    const auto discover = [&](std::string& out) {
        const std::string command = "exec setpriv --reuid nobody --regid nogroup --clear-groups '" +
                                    bin + "quorvantix-cli' --home '" + home +
                                    "' discover --adapter " + ns_->toolSide() +
                                    " --broadcasts 2 2>&1";
        const pid_t pid = ns_->Spawn({"/bin/sh", "-c", command}, dir_.file("nobody.out"));
        int status = 0;
        waitpid(pid, &status, 0);
        out = ReadFileBytes(dir_.file("nobody.out"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string message = "cannot open " + ns_->toolSide() + " " + kNeedsCapability;

    std::string out;
    ASSERT_TRUE(RunCommand("setcap cap_net_raw=ep '" + bin + "quorvantix-netopen'"));
    EXPECT_EQ(discover(out), 0) << out;
    for (const char* mac : {"02:00:00:00:30:01\t", "02:00:00:00:30:02\t", "02:00:00:00:30:03\t"})
        EXPECT_NE(out.find(mac), std::string::npos) << out;

    ASSERT_TRUE(RunCommand("setcap -r '" + bin + "quorvantix-netopen'"));
    EXPECT_EQ(discover(out), 1) << out;
    EXPECT_NE(out.find(message), std::string::npos) << out;
    EXPECT_EQ(out.find("02:00:00:00:30:01"), std::string::npos) << out;

    std::filesystem::remove(bin + "quorvantix-netopen");
    EXPECT_EQ(discover(out), 1) << out;
    EXPECT_NE(out.find(message), std::string::npos) << out;
}

} // namespace
} // namespace qvtest
