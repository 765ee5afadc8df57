#include "app/cli/PushFollow.h"

#include "app/cli/CliProgress.h"
#include "app/cli/CliSupport.h"

#include "base/ProgramDirectory.h"
#include "payload/BatchReport.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <utility>

namespace {

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

void ShowProgress(const BatchReport& report, CliProgress& progress) {
    std::size_t done = 0, failed = 0;
    for (const BatchRow& row : report.Rows()) {
        if (row.Succeeded())
            ++done;
        else if (row.Final())
            ++failed;
    }
    progress.Show(std::to_string(done) + " done, " + std::to_string(failed) + " failed, " +
                  std::to_string(report.Rows().size() - done - failed) + " in transfer");
}

} // namespace

void BatchEvents::Emit(CSqlManagement& store, const BatchReport& report) {
    bool any = false;
    for (const BatchRow& row : report.Rows()) {
        for (const TransferFile file : {TransferFile::Logo, TransferFile::Config}) {
            const bool logo = file == TransferFile::Logo;
            if (logo ? !row.SendsLogo() : !row.SendsConfig())
                continue;
            const int status = logo ? store.GetLogStatus(row.mac) : store.GetParaStatus(row.mac);
            const TransferProgress p = store.GetProgress(row.mac, file);
            Seen& last = seen_[{row.mac, static_cast<int>(file)}];
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

bool FollowBatch(CSqlManagement& store, BatchReport& report, const FollowOptions& options) {
    BatchEvents events;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.waitSeconds);
    for (;;) {
        report.Update(store);
        if (options.events)
            events.Emit(store, report);
        if (options.progress)
            ShowProgress(report, *options.progress);
        if (StopRequested())
            return true;
        if (report.AllFinal() || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool WriteBatchReport(BatchReport& report, bool announce, const char* command) {
    std::string path;
    if (!report.Write(GetProgramDirectory(), &path)) {
        std::fprintf(stderr, "%s: the batch report could not be written\n", command);
        return false;
    }
    if (announce)
        std::fprintf(stderr, "%s: report %s (and .csv)\n", command, path.c_str());
    return true;
}
