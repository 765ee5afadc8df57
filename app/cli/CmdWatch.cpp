// quorvantix-cli watch: a bench station. The payload is checked once as push
// checks it; then the segment is searched every interval until a stop
// signal, and each device that answers for the first time gets the payload
// at once. A failed device that was unplugged and comes back is tried again.
// Every attempt is a row of the run's batch report, written at the end.

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliPayload.h"
#include "app/cli/CliProgress.h"
#include "app/cli/CliSupport.h"
#include "app/cli/PushFollow.h"
#include "link/AcTransmitManage.h"
#include "link/TransferJob.h"
#include "payload/BatchReport.h"
#include "payload/ConfigXml.h"
#include "payload/ProvisionWatch.h"
#include "payload/Submission.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <QDateTime>
#include <QJsonObject>
#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

const CliHelp kHelp{
    "watch", "--adapter IFACE [--config FILE.xml] [--sheet FILE.xls] [--logo FILE.jpg] [OPTIONS]",
    "A bench station: checks the payload once as push does (nothing is sent when it is\n"
    "refused), then searches the segment every interval until SIGINT or SIGTERM. Each device\n"
    "that answers for the first time in this run gets the configuration template (with\n"
    "--sheet: rewritten from its own row) and/or the logo at once. With --sheet, a device\n"
    "without a row is reported once as skipped and left alone. A device whose attempt failed\n"
    "is tried again, with the same files, when it answers after three silent intervals (it\n"
    "was unplugged and plugged again), at most three times. At the stop, the run's report\n"
    "(one row per attempt) is written to Log/<date>/batch-<time>.json and .csv.",
    "one line per outcome, as it happens, fields separated by tabs:\n"
    "  MAC  outcome  attempt  logo status  configuration status\n"
    "outcomes: succeeded, failed (every file final, one not OperateSuccess),\n"
    "  skipped (no row in the sheet; attempt 0), refused (the payload could not be\n"
    "  prepared for it; the reason on stderr), unfinished (still in transfer at the stop)\n"
    "attempt: 1 the first, 2 to 4 the retries\n"
    "--events: instead, one JSON line per change of a file's status or bytes, as push:\n"
    "  {\"device\":..,\"file\":\"logo\",\"status\":..,\"bytes\":..,\"total\":..,\"time\":..}\n"
    "  and one per outcome: {\"device\":..,\"outcome\":..,\"attempt\":..,\"time\":..}\n"
    "the report's path is named on stderr",
    "0  stopped by SIGINT/SIGTERM, and every device sent the payload ended in success\n"
    "1  a device's last attempt failed, was refused or was unfinished at the stop, or the\n"
    "   adapter could not be used\n"
    "2  usage error or refused input (message on stderr, nothing sent)"};

struct WatchOptions : PayloadChoice {
    std::string adapter;
    int intervalSeconds = 2;
    bool events = false;
    bool quiet = false;
};

int ParseArgs(const std::vector<std::string>& args, WatchOptions& o) {
    CliOptions options(
        kHelp,
        {{"adapter", "IFACE", "the adapter's interface name (see adapters)"},
         {"config", "FILE.xml", "the configuration template"},
         {"logo", "FILE.jpg", "the logo (at most 6000 bytes, 229 x 51 pixels)"},
         {"sheet", "FILE.xls", "the parameter sheet: only its rows' devices get the payload"},
         {"interval", "SECONDS", "time between searches (default 2)"},
         {"events", nullptr, "print JSON lines of every status or progress change"},
         {"q,quiet", nullptr, "no progress and no notices on stderr"}});
    if (int rc = options.Parse(args); rc >= 0)
        return rc;
    if (!options.Positional().empty())
        return options.UsageError("unexpected argument " + options.Positional().front());
    if (!options.Count("interval", 1, 3600, o.intervalSeconds))
        return kExitRefused;
    o.command = "watch";
    o.adapter = options.Value("adapter");
    o.config = options.Value("config");
    o.logo = options.Value("logo");
    o.sheet = options.Value("sheet");
    o.events = options.Has("events");
    o.quiet = options.Has("quiet");
    if (o.adapter.empty())
        return options.UsageError("--adapter is required");
    return -1;
}

QString NowText() {
    return QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
}

// One run of the station: what was started, what is in transfer, the report.
class WatchRun {
public:
    WatchRun(const WatchOptions& o, CSqlManagement& store, const SubmissionInput& input,
             std::vector<std::string> rows)
        : o_(o), store_(store), input_(input),
          watch_(o.sheet.empty() ? ProvisionWatch() : ProvisionWatch(std::move(rows))) {}

    void SetAdapterMac(const std::array<std::uint8_t, 6>& mac) { adapterMac_ = mac; }

    // One search round's answers: the decisions carried out.
    void Round(const std::vector<std::string>& answered) {
        const ProvisionWatch::Decision d = watch_.Round(answered);
        for (const std::string& mac : d.skipped)
            PrintOutcome(mac, "skipped", 0);
        if (!d.provision.empty())
            StartNew(d.provision);
        for (const std::string& mac : d.retry)
            StartAgain(mac);
    }

    // Reads the store for every device in transfer; prints and records the
    // attempts that became final.
    void Poll() {
        for (auto it = inFlight_.begin(); it != inFlight_.end();) {
            BatchReport& one = it->second;
            one.Update(store_);
            if (o_.events)
                events_.Emit(store_, one);
            const BatchRow& row = one.Rows().front();
            if (!row.Final()) {
                ++it;
                continue;
            }
            watch_.Finished(row.mac, row.Succeeded());
            PrintOutcome(row.mac, row.Succeeded() ? "succeeded" : "failed", Attempt(row.mac));
            report_.AddRow(row);
            it = inFlight_.erase(it);
        }
    }

    // At the stop: the attempts in transfer as they stand, then the report.
    // Gives the exit code.
    int Finish() {
        Poll();
        for (const auto& [mac, one] : inFlight_) {
            PrintOutcome(mac, "unfinished", Attempt(mac));
            report_.AddRow(one.Rows().front());
            unsettled_ = true;
        }
        inFlight_.clear();
        WriteBatchReport(report_, !o_.quiet, "watch");
        return unsettled_ || watch_.Count(ProvisionWatch::State::Failed) > 0 ? kExitFailed
                                                                             : kExitOk;
    }

    void ShowProgress(CliProgress& progress) const {
        progress.Show("round " + std::to_string(watch_.RoundsSeen()) + ": " +
                      std::to_string(watch_.Count(ProvisionWatch::State::Succeeded)) +
                      " provisioned, " +
                      std::to_string(watch_.Count(ProvisionWatch::State::Failed)) + " failed, " +
                      std::to_string(inFlight_.size()) + " in transfer, " +
                      std::to_string(watch_.Count(ProvisionWatch::State::Skipped)) + " skipped");
    }

private:
    int Attempt(const std::string& mac) const {
        const ProvisionWatch::Device* d = watch_.Find(mac);
        return d ? d->attempts : 0;
    }

    void PrintOutcome(const std::string& mac, const char* outcome, int attempt) {
        if (o_.events) {
            QJsonObject line;
            line.insert(QStringLiteral("device"), JsonText(mac));
            line.insert(QStringLiteral("outcome"), QLatin1String(outcome));
            line.insert(QStringLiteral("attempt"), attempt);
            line.insert(QStringLiteral("time"), NowText());
            PrintJson(line);
            return;
        }
        std::printf("%s\t%s\t%d\t%s\t%s\n", mac.c_str(), outcome, attempt,
                    StatusText(store_.GetLogStatus(mac)).c_str(),
                    StatusText(store_.GetParaStatus(mac)).c_str());
        std::fflush(stdout);
    }

    void Refused(const std::string& mac) {
        watch_.Finished(mac, false);
        PrintOutcome(mac, "refused", Attempt(mac));
        unsettled_ = true;
    }

    void Track(const SubmissionResult& result) {
        for (const BatchRow& row : result.batch.Rows()) {
            firstRows_[row.mac] = row;
            BatchReport one(result.batch.Started());
            one.AddRow(row);
            inFlight_.insert_or_assign(row.mac, std::move(one));
        }
    }

    // The payload for devices heard for the first time, each with its own
    // sheet row (read again now, as the sheet stands).
    void StartNew(const std::vector<std::string>& macs) {
        SubmissionInput input = input_;
        input.devices = macs;
        CliSheet sheet(macs, true);
        CParameterSubmission submission(store_, adapterMac_, StartTransferJob,
                                        o_.sheet.empty() ? nullptr : &sheet);
        SubmissionResult result;
        if (submission.Prepare(input) == 0 || !submission.Start(macs, result)) {
            NameRefusedChoice(o_, sheet);
            for (const std::string& mac : macs)
                Refused(mac);
            return;
        }
        Track(result);
    }

    // The same files as the device's first attempt.
    void StartAgain(const std::string& mac) {
        const auto first = firstRows_.find(mac);
        if (first == firstRows_.end()) {
            StartNew({mac}); // its first attempt never got as far as a copy
            return;
        }
        CParameterSubmission submission(store_, adapterMac_, StartTransferJob);
        SubmissionResult result;
        if (!submission.StartRetry({first->second}, result)) {
            Refused(mac);
            return;
        }
        Track(result);
    }

    const WatchOptions& o_;
    CSqlManagement& store_;
    SubmissionInput input_;
    ProvisionWatch watch_;
    std::array<std::uint8_t, 6> adapterMac_{};
    std::map<std::string, BatchRow> firstRows_;   // the files each device was sent first
    std::map<std::string, BatchReport> inFlight_; // one row each, followed until final
    BatchReport report_;                          // every finished attempt of the run
    BatchEvents events_;
    bool unsettled_ = false; // an attempt was refused or unfinished
};

int RunWatch(const std::vector<std::string>& args) {
    WatchOptions o;
    if (int rc = ParseArgs(args, o); rc >= 0)
        return rc;

    PushMessageSink sink;
    ScopedSink scoped(&sink);
    if (int rc = CheckChosenFiles(o); rc != kExitOk)
        return rc;
    CatchStopSignals();

    CSqlManagement* store = CSqlManagement::GetInstance();
    if (!store->IsOpen())
        return Refuse("watch: the record store " + store->DatabasePath() + " cannot be opened");

    // Everything that can refuse the payload is checked before anything is
    // sent: with a sheet, every row of it.
    SubmissionInput input;
    input.picturePath = o.logo;
    input.templatePath = o.config;
    std::vector<std::string> rows;
    if (!o.sheet.empty()) {
        if (int rc = ReadSheetMacs("watch", o.sheet, rows); rc != kExitOk)
            return rc;
        input.sheetPath = o.sheet;
        if (!o.config.empty() && !ParseTemplateXml(o.config, input.templateParams))
            return Refuse("watch: --config " + o.config + ": the template cannot be read");
    }
    {
        SubmissionInput check = input;
        // Without a sheet any device may come: every copy's path has one length.
        check.devices = rows.empty() ? std::vector<std::string>{"00:00:00:00:00:00"} : rows;
        CliSheet sheet(check.devices, true);
        CParameterSubmission submission(*store, {}, StartTransferJob,
                                        o.sheet.empty() ? nullptr : &sheet);
        if (submission.Prepare(check) == 0) {
            NameRefusedChoice(o, sheet);
            return kExitRefused;
        }
    }

    AcTransmitManage* link = AcTransmitManage::GetInstance();
    if (int rc = SelectAdapterNamed(*link, o.adapter, "watch"); rc != kExitOk)
        return rc;
    std::array<std::uint8_t, 6> adapterMac{};
    link->AdapterMac(adapterMac.data());

    WatchRun run(o, *store, input, rows);
    run.SetAdapterMac(adapterMac);
    if (!o.quiet)
        std::fprintf(stderr, "watch: searching %s every %d s until SIGINT or SIGTERM\n",
                     o.adapter.c_str(), o.intervalSeconds);
    CliProgress progress("watch", o.quiet);
    // A fresh start; afterwards the table and the store are never cleared,
    // so no device in transfer is reset by its next answer.
    link->ClearDeviceTable();
    store->ClearDevices();
    link->TakeAnsweredMacs();
    while (!StopRequested()) {
        link->SendDiscovery();
        const auto roundEnd =
            std::chrono::steady_clock::now() + std::chrono::seconds(o.intervalSeconds);
        while (!StopRequested() && std::chrono::steady_clock::now() < roundEnd) {
            run.Poll();
            run.ShowProgress(progress);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (StopRequested())
            break;
        run.Round(link->TakeAnsweredMacs());
        link->ReportReceiveDrops();
    }
    progress.Finish();
    const int rc = run.Finish();
    link->Stop();
    if (!o.quiet)
        std::fprintf(stderr, "watch: stopped by a signal\n");
    CSqlManagement::Shutdown();
    return rc;
}

} // namespace

QV_CLI_COMMAND("watch", "provision each device as it appears on the segment, until stopped",
               RunWatch)
