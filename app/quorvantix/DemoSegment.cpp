#include "DemoSegment.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kPrefix = "qvdemo-";

bool Run(const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ip"), args);
    if (!process.waitForFinished(10000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

std::vector<std::string> Namespaces() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", ec))
        names.push_back(entry.path().filename().string());
    return names;
}

// Whether pid is a running quorvantix (not a zombie, not a reused pid).
bool ProgramRuns(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open || close + 2 >= line.size())
        return false;
    const QByteArray name = line.mid(open + 1, close - open - 1);
    const char state = line.at(close + 2);
    return name == "quorvantix" && state != 'Z' && state != 'X';
}

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
}

} // namespace

void DemoSegment::QuitOnSignals(QCoreApplication& app) {
    if (g_signalPipe[0] < 0 && pipe(g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
}

DemoSegment::~DemoSegment() {
    Stop();
}

bool DemoSegment::TakeArguments(int& argc, char** argv) {
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--demo") != 0) {
            argv[out++] = argv[i];
            continue;
        }
        m_requested = true;
        if (i + 1 < argc && argv[i + 1][0] != '-') {
            char* end = nullptr;
            const long n = std::strtol(argv[i + 1], &end, 10);
            if (!end || *end != '\0' || n < 1 || n > 4096) {
                std::fprintf(stderr, "quorvantix: --demo needs a device count from 1 to 4096\n");
                return false;
            }
            m_devices = static_cast<int>(n);
            ++i;
        }
    }
    argc = out;
    argv[argc] = nullptr;
    return true;
}

void DemoSegment::RemoveStaleSegments() {
    for (const std::string& name : Namespaces()) {
        if (name.rfind(kPrefix, 0) != 0)
            continue;
        const long pid = std::strtol(name.c_str() + std::strlen(kPrefix), nullptr, 10);
        if (pid > 0 && pid != getpid() && ProgramRuns(static_cast<pid_t>(pid)))
            continue; // its program still runs
        // Ending the namespace's processes and the namespace removes the veth pair.
        QProcess kill;
        kill.start(QStringLiteral("ip"),
                   {QStringLiteral("netns"), QStringLiteral("pids"), QString::fromStdString(name)});
        kill.waitForFinished(5000);
        for (const QByteArray& line : kill.readAllStandardOutput().split('\n'))
            if (const int p = line.trimmed().toInt(); p > 0)
                ::kill(p, SIGTERM);
        Run({QStringLiteral("netns"), QStringLiteral("delete"), QString::fromStdString(name)});
    }
}

bool DemoSegment::Start(const std::string& binDir) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "quorvantix: the demo segment needs root (it makes a network "
                             "namespace and a veth pair)\n");
        return false;
    }
    RemoveStaleSegments();
    const std::string pid = std::to_string(getpid());
    m_namespace = kPrefix + pid;
    m_near = "qvd" + pid + "n";
    const std::string far = "qvd" + pid + "f";
    const QString ns = QString::fromStdString(m_namespace);
    const QString nearEnd = QString::fromStdString(m_near);
    const QString farEnd = QString::fromStdString(far);

    const bool made =
        Run({QStringLiteral("netns"), QStringLiteral("add"), ns}) &&
        Run({QStringLiteral("link"), QStringLiteral("add"), nearEnd, QStringLiteral("type"),
             QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), farEnd}) &&
        Run({QStringLiteral("link"), QStringLiteral("set"), farEnd, QStringLiteral("netns"), ns}) &&
        Run({QStringLiteral("link"), QStringLiteral("set"), nearEnd, QStringLiteral("up")}) &&
        Run({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), farEnd,
             QStringLiteral("up")});
    if (!made) {
        std::fprintf(stderr, "quorvantix: cannot make the demo segment (run as root)\n");
        Stop();
        return false;
    }

    const std::string simulator = binDir + "quorvantix-devsim";
    if (access(simulator.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "quorvantix: %s is missing; the demo segment has no devices\n",
                     simulator.c_str());
        return true;
    }
    const std::string count = std::to_string(m_devices);
    const pid_t child = fork();
    if (child == 0) {
        const char* args[] = {"ip",
                              "netns",
                              "exec",
                              m_namespace.c_str(),
                              simulator.c_str(),
                              "--interface",
                              far.c_str(),
                              "--count",
                              count.c_str(),
                              "--ssid2",
                              "Demo-{n}",
                              "--ssid5",
                              "Demo-{n}-5G",
                              nullptr};
        execvp("ip", const_cast<char* const*>(args));
        _exit(127);
    }
    m_simulator = child;
    std::fprintf(stderr, "quorvantix: demo segment %s with %d devices on %s\n", m_namespace.c_str(),
                 m_devices, m_near.c_str());
    return true;
}

void DemoSegment::Stop() {
    if (m_simulator > 0) {
        ::kill(m_simulator, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(m_simulator, nullptr, WNOHANG) != 0)
                break;
            usleep(20000);
        }
        if (waitpid(m_simulator, nullptr, WNOHANG) == 0) {
            ::kill(m_simulator, SIGKILL);
            waitpid(m_simulator, nullptr, 0);
        }
        m_simulator = -1;
    }
    if (!m_near.empty()) {
        Run({QStringLiteral("link"), QStringLiteral("delete"), QString::fromStdString(m_near)});
        m_near.clear();
    }
    if (!m_namespace.empty()) {
        Run({QStringLiteral("netns"), QStringLiteral("delete"),
             QString::fromStdString(m_namespace)});
        m_namespace.clear();
    }
}
