#include "app/cli/CliSupport.h"

#include "app/cli/CliCommand.h"
#include "app/cli/CliProgress.h"
#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "link/AcTransmitManage.h"
#include "payload/ConfigXml.h"
#include "payload/ParameterSheet.h"
#include "records/CSqlManagement.h"
#include "xls/XlsWorkbook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) {
    g_stopRequested = 1;
}

// Sleeps up to `ms`, in short steps so a stop signal is seen at once.
bool SleepUnlessStopped(int ms) {
    for (int slept = 0; slept < ms; slept += 50) {
        if (StopRequested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, ms - slept)));
    }
    return !StopRequested();
}

} // namespace

int Refuse(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitRefused;
}

bool ParseCount(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int parsed = std::stoi(text);
    if (parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool NormaliseMac(const std::string& text, std::string& out) {
    if (text.size() != 17)
        return false;
    const char separator = text[2];
    if (separator != ':' && separator != '-')
        return false;
    std::string mac = text;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const auto c = static_cast<unsigned char>(mac[i]);
        if (i % 3 == 2) {
            if (c != static_cast<unsigned char>(separator))
                return false;
            mac[i] = ':';
        } else if (std::isxdigit(c)) {
            mac[i] = static_cast<char>(std::toupper(c));
        } else {
            return false;
        }
    }
    out = mac;
    return true;
}

std::string TsvField(const std::string& text) {
    const QByteArray utf8 =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
    std::string out;
    out.reserve(static_cast<std::size_t>(utf8.size()));
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char hex[8];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else if (c == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // U+0080..U+009F: C1 controls, which terminals obey as escapes too.
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(utf8[++i]));
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

QJsonValue JsonText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void PrintJson(const QJsonValue& value) {
    QJsonDocument doc;
    if (value.isArray())
        doc.setArray(value.toArray());
    else
        doc.setObject(value.toObject());
    std::printf("%s\n", doc.toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

std::string InputFileProblem(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? std::string("no such file") : std::string(std::strerror(errno));
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return regular ? std::string() : std::string("not a regular file");
}

int CheckInputFile(const std::string& command, const std::string& option, const std::string& path,
                   const std::function<bool(const std::string&)>& programCheck,
                   const std::string& whenRefused) {
    const std::string problem = InputFileProblem(path);
    const std::string name = command + ": " + option + " " + path + ": ";
    if (problem == "no such file")
        return Refuse(name + problem);
    if (programCheck && !programCheck(path))
        return Refuse(name + (problem.empty() ? whenRefused : problem));
    if (!problem.empty())
        return Refuse(name + problem);
    return kExitOk;
}

int ReadTemplateFor(const char* command, const std::string& templatePath, DeviceParams& params) {
    ZeroDeviceParams(params);
    const auto showRefusal = [] {
        ShowMessage(TranslateText(std::string("Analysis xml settting error?")),
                    MessageIcon::Exclamation);
    };
    const auto readable = [&](const std::string& path) {
        if (CheckTemplateSize(path) && ParseTemplateXml(path, params))
            return true;
        showRefusal();
        return false;
    };
    if (InputFileProblem(templatePath) == "no such file")
        showRefusal();
    return CheckInputFile(command, "--template", templatePath, readable,
                          "the template cannot be read");
}

bool WriteOutputFile(const std::string& path, const std::string& bytes, std::string& error) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + ".qv-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::strerror(errno);
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void CatchStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool StopRequested() {
    return g_stopRequested != 0;
}

int SelectAdapterNamed(AcTransmitManage& link, const std::string& name, const char* command) {
    std::vector<AdapterRecord> adapters;
    link.GetAdapterList(adapters);
    const auto adapter =
        std::find_if(adapters.begin(), adapters.end(), [&](const AdapterRecord& r) {
            return std::string(r.adapterName, strnlen(r.adapterName, sizeof r.adapterName)) == name;
        });
    if (adapter == adapters.end())
        return Refuse(std::string(command) + ": --adapter " + name + ": no such adapter");
    if (!link.SelectAdapter(*adapter)) {
        const std::string why = link.OpenError();
        std::fprintf(stderr, "%s: %s\n", command,
                     why.empty() ? ("cannot listen on " + name).c_str() : why.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

bool SearchSegment(AcTransmitManage& link, CSqlManagement& store, int broadcasts,
                   CliProgress* progress) {
    link.ClearDeviceTable();
    store.ClearDevices();
    const auto show = [&](int sent) {
        if (progress)
            progress->Show("broadcast " + std::to_string(sent) + " of " +
                           std::to_string(broadcasts) + ", " +
                           std::to_string(link.DeviceTableSize()) + " devices found");
    };
    for (int sent = 1; sent <= broadcasts; ++sent) {
        link.SendDiscovery();
        show(sent);
        // One second after each broadcast; the last one's second is for late replies.
        for (int tick = 0; tick < 4; ++tick) {
            if (!SleepUnlessStopped(250))
                return false;
            show(sent);
        }
    }
    link.ReportReceiveDrops();
    if (progress)
        progress->Finish();
    return true;
}

// The MAC texts of the sheet's rows below its header, in row order.
int ReadSheetMacs(const char* command, const std::string& path, std::vector<std::string>& macs) {
    int badRow = 0;
    std::string badText;
    const std::size_t before = macs.size();
    const SheetMacsOutcome outcome = ReadParameterSheetMacs(path, macs, &badRow, &badText);
    if (outcome == SheetMacsOutcome::Unreadable) {
        ShowMessage(TranslateText(std::string("Obtaining excel format information is incorrect!")),
                    MessageIcon::Exclamation, std::string());
        return Refuse(std::string(command) + ": --sheet " + path +
                      ": not a parameter sheet (.xls) that can be read");
    }
    if (outcome == SheetMacsOutcome::BadRow)
        return Refuse(std::string(command) + ": --sheet " + path + ": row " +
                      std::to_string(badRow) + ": not a MAC address as exported (" +
                      "AA:BB:CC:DD:EE:FF): " + TsvField(badText));
    if (macs.size() == before)
        return Refuse(std::string(command) + ": --sheet " + path + ": the sheet has no MAC rows");
    return kExitOk;
}
