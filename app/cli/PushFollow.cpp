#include "app/cli/PushFollow.h"

#include "base/ProgramDirectory.h"
#include "payload/BatchReport.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <thread>
#include <utility>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStop(int) {
    g_stop = 1;
}

struct Seen {
    int status = -1;
    std::int64_t bytes = -1;
};

void EmitEvent(const std::string& mac, const char* file, int status, const TransferProgress& p) {
    QJsonObject o;
    o.insert(QStringLiteral("device"), QString::fromStdString(mac));
    o.insert(QStringLiteral("file"), QLatin1String(file));
    o.insert(QStringLiteral("status"), QString::fromStdString(StatusText(status)));
    o.insert(QStringLiteral("bytes"), static_cast<double>(p.bytesDone));
    o.insert(QStringLiteral("total"), static_cast<double>(p.bytesTotal));
    o.insert(QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
}

// Emits a line for every file whose status or bytes changed since it was last seen.
void EmitChanges(CSqlManagement& store, const BatchReport& report,
                 std::map<std::pair<std::string, int>, Seen>& seen) {
    bool any = false;
    for (const BatchRow& row : report.Rows()) {
        for (const TransferFile file : {TransferFile::Logo, TransferFile::Config}) {
            const bool logo = file == TransferFile::Logo;
            if (logo ? !row.SendsLogo() : !row.SendsConfig())
                continue;
            const int status = logo ? store.GetLogStatus(row.mac) : store.GetParaStatus(row.mac);
            const TransferProgress p = store.GetProgress(row.mac, file);
            Seen& last = seen[{row.mac, static_cast<int>(file)}];
            if (last.status == status && last.bytes == p.bytesDone)
                continue;
            last = {status, p.bytesDone};
            EmitEvent(row.mac, logo ? "logo" : "config", status, p);
            any = true;
        }
    }
    if (any)
        std::fflush(stdout);
}

} // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool FollowBatch(CSqlManagement& store, BatchReport& report, const FollowOptions& options) {
    std::map<std::pair<std::string, int>, Seen> seen;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.waitSeconds);
    for (;;) {
        report.Update(store);
        if (options.events)
            EmitChanges(store, report, seen);
        if (g_stop != 0)
            return true;
        if (report.AllFinal() || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool WriteBatchReport(BatchReport& report) {
    std::string path;
    if (!report.Write(GetProgramDirectory(), &path)) {
        std::fprintf(stderr, "push: the batch report could not be written\n");
        return false;
    }
    std::fprintf(stderr, "push: report %s (and .csv)\n", path.c_str());
    return true;
}
