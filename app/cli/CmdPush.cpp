// quorvantix-cli push: a search, then a submission with the checks, messages,
// kinds and statuses of the parameter submission dialog, then it follows the
// record store until every submitted job is final or the wait ends, and
// writes the batch's report. --retry sends a report's failed devices again.

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliPayload.h"
#include "app/cli/CliProgress.h"
#include "app/cli/CliSupport.h"
#include "app/cli/PushFollow.h"
#include "app/cli/PushPreview.h"
#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/SafeFile.h"
#include "link/AcTransmitManage.h"
#include "link/TransferJob.h"
#include "payload/BatchReport.h"
#include "payload/ConfigXml.h"
#include "payload/LogoImage.h"
#include "payload/ParameterSheet.h"
#include "payload/Submission.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CliHelp kHelp{
    "push",
    "--adapter IFACE (--mac MAC... | --all | --sheet FILE.xls | --retry REPORT.json) "
    "[--config FILE.xml] [--logo FILE.jpg] [OPTIONS]",
    "Searches the segment, then sends the configuration template (rewritten per device from\n"
    "the parameter sheet when --sheet is given) and/or the logo to the chosen devices and waits\n"
    "for their verdicts. The batch is the --mac list, every device found (--all), or else the\n"
    "sheet's MAC rows. Every check is made before anything is sent; a sheet whose rows break\n"
    "a rule is not opened: its path and the rule are printed. Each batch's report is written\n"
    "to Log/<date>/batch-<time>.json and .csv; --retry REPORT.json sends its failed devices\n"
    "the same files again. SIGINT or SIGTERM stops the transfers, writes the report and prints\n"
    "each device's line as it stands.\n"
    "--dry-run makes every check and writes every device's configuration copy as a push does\n"
    "(into ModifyXml/, or into DIR with -o), then prints what each device would receive and\n"
    "which template entries its copy changes; it needs no --adapter, opens none, sends nothing,\n"
    "changes no status and writes no report. Its batch is the --mac list or the sheet's rows.",
    "one line per device, in batch order, fields separated by tabs:\n"
    "  MAC  logo status  configuration status\n"
    "statuses: WaitOperate, Operating, OperateSuccess, OperateFail, TransmitFinish, TransmitFail\n"
    "--json: [{\"mac\":..,\"logoStatus\":2,\"logoStatusText\":\"OperateSuccess\",\n"
    "          \"configStatus\":0,\"configStatusText\":\"WaitOperate\"}]\n"
    "--events: one JSON line per change of a file's status or bytes:\n"
    "  {\"device\":..,\"file\":\"logo\",\"status\":..,\"bytes\":..,\"total\":..,\"time\":..}\n"
    "devices that did not answer the search and the report's path are named on stderr\n"
    "--dry-run: per device, in batch order, fields separated by tabs:\n"
    "  MAC  logo  PATH  BYTES  SHA256                the logo it would receive\n"
    "  MAC  config  PATH  BYTES  SHA256              its configuration copy\n"
    "  MAC  entry  NAME  TEMPLATE-VALUE  DEVICE-VALUE  each entry its copy changes\n"
    "passwords and keys are shown as \u2022\u2022\u2022 unless --show-secrets\n"
    "--dry-run --json: [{\"mac\":..,\"logo\":{\"path\":..,\"bytes\":..,\"sha256\":..},\n"
    "  \"config\":{\"path\":..,\"bytes\":..,\"sha256\":..,\n"
    "            \"changes\":[{\"entry\":..,\"template\":..,\"device\":..}]}}]\n"
    "  (logo or config only when the device would receive it)",
    "0  every device of the batch answered and reported success\n"
    "1  a device did not answer, failed or was still in transfer when the wait ended,\n"
    "   the adapter could not be used, or SIGINT/SIGTERM stopped the push;\n"
    "   --dry-run: a copy could not be written or compared with the template\n"
    "2  usage error or refused input (message on stderr, nothing sent)"};

struct PushOptions : PayloadChoice {
    std::string adapter;
    int broadcasts = 3;
    std::vector<std::string> macs;
    bool all = false;
    int waitSeconds = 60;
    bool json = false;
    bool events = false;
    bool quiet = false;
    std::string retry; // a batch report whose failed devices are sent again
    bool dryRun = false;
    std::string output; // --dry-run: the folder of the copies, or empty for ModifyXml/
    bool showSecrets = false;
};

int ParseArgs(const std::vector<std::string>& args, PushOptions& o) {
    CliOptions options(
        kHelp,
        {{"adapter", "IFACE", "the adapter's interface name (see adapters)"},
         {"mac", "MAC", "the devices (aa:bb:cc:dd:ee:ff or AA-BB-..., repeatable)", true},
         {"all", nullptr, "every device that answers the search"},
         {"config", "FILE.xml", "the configuration template"},
         {"logo", "FILE.jpg", "the logo (at most 6000 bytes, 229 x 51 pixels)"},
         {"sheet", "FILE.xls", "the parameter sheet exported by sheet export"},
         {"broadcasts", "N", "discovery broadcasts, one a second (default 3; 40 as the window)"},
         {"wait", "SECONDS", "how long to wait for the verdicts (default 60)"},
         {"retry", "REPORT.json", "send the failed devices of a batch report again"},
         {"json", nullptr, "print one JSON array instead of lines"},
         {"events", nullptr, "print one JSON line per status or progress change"},
         {"q,quiet", nullptr, "no progress and no notices on stderr"},
         {"dry-run", nullptr, "check and write the copies, print the changes, send nothing"},
         {"o,output", "DIR", "--dry-run: write the copies into DIR (made 0700) instead"},
         {"show-secrets", nullptr,
          "--dry-run: show passwords and keys instead of \u2022\u2022\u2022"}});
    if (int rc = options.Parse(args); rc >= 0)
        return rc;
    if (!options.Positional().empty())
        return options.UsageError("unexpected argument " + options.Positional().front());
    if (!options.Count("broadcasts", 1, 100000, o.broadcasts) ||
        !options.Count("wait", 0, 100000000, o.waitSeconds))
        return kExitRefused;
    o.adapter = options.Value("adapter");
    o.config = options.Value("config");
    o.logo = options.Value("logo");
    o.sheet = options.Value("sheet");
    o.all = options.Has("all");
    o.json = options.Has("json");
    o.events = options.Has("events");
    o.quiet = options.Has("quiet");
    o.retry = options.Value("retry");
    o.dryRun = options.Has("dry-run");
    o.output = options.Value("output");
    o.showSecrets = options.Has("show-secrets");
    for (const std::string& text : options.Values("mac")) {
        std::string mac;
        if (!NormaliseMac(text, mac))
            return Refuse("push: --mac " + text + ": not a MAC address");
        if (std::find(o.macs.begin(), o.macs.end(), mac) == o.macs.end())
            o.macs.push_back(mac);
    }
    if (o.dryRun) {
        // Without a search the batch must be named.
        if (o.all || !o.retry.empty())
            return options.UsageError(
                "--dry-run makes no search: give --mac MAC... or --sheet FILE.xls");
        if (o.events)
            return options.UsageError("--dry-run sends nothing to follow with --events");
        if (options.Has("output") && o.output.empty())
            return options.UsageError("-o needs a folder");
    } else if (options.Has("output") || o.showSecrets) {
        return options.UsageError("-o and --show-secrets belong to --dry-run");
    }
    if (o.adapter.empty() && !o.dryRun)
        return options.UsageError("--adapter is required");
    if (o.json && o.events)
        return options.UsageError("give --json or --events, not both");
    if (!o.retry.empty()) {
        // A retry sends exactly what the report's batch sent.
        if (o.all || !o.macs.empty() || !o.config.empty() || !o.logo.empty() || !o.sheet.empty())
            return options.UsageError("--retry takes the devices and files from the report");
        return -1;
    }
    if (o.all && !o.macs.empty())
        return options.UsageError("give either --mac MAC... or --all, not both");
    if (!o.all && o.macs.empty() && o.sheet.empty())
        return options.UsageError(
            "give --mac MAC..., --all, --sheet FILE.xls or --retry REPORT.json");
    return -1;
}

void PrintStatuses(CSqlManagement& store, const BatchReport& batch, const PushOptions& o) {
    if (o.events)
        return; // the event lines already ended with each file's final status
    QJsonArray array;
    for (const BatchRow& row : batch.Rows()) {
        const int logo = store.GetLogStatus(row.mac);
        const int config = store.GetParaStatus(row.mac);
        if (o.json) {
            QJsonObject item;
            item.insert(QStringLiteral("mac"), JsonText(row.mac));
            item.insert(QStringLiteral("logoStatus"), logo);
            item.insert(QStringLiteral("logoStatusText"), JsonText(StatusText(logo)));
            item.insert(QStringLiteral("configStatus"), config);
            item.insert(QStringLiteral("configStatusText"), JsonText(StatusText(config)));
            array.append(item);
        } else {
            std::printf("%s\t%s\t%s\n", row.mac.c_str(), StatusText(logo).c_str(),
                        StatusText(config).c_str());
        }
    }
    if (o.json)
        PrintJson(array);
    std::fflush(stdout);
}

// Stopped by a signal: each device's line as it stands, the store and its
// file gone. The transfer threads end with the process.
int StopPushed(AcTransmitManage& link, const BatchReport* batch, const PushOptions& o,
               CliProgress& progress) {
    progress.Finish();
    link.Stop();
    if (batch)
        PrintStatuses(*CSqlManagement::GetInstance(), *batch, o);
    std::fprintf(stderr, "push: stopped by a signal; the transfers were ended\n");
    CSqlManagement::Shutdown();
    return kExitFailed;
}

int RunPush(const std::vector<std::string>& args) {
    PushOptions o;
    if (int rc = ParseArgs(args, o); rc >= 0)
        return rc;

    PushMessageSink sink;
    ScopedSink scoped(&sink);
    if (int rc = CheckChosenFiles(o); rc != kExitOk)
        return rc;
    if (o.dryRun && !o.output.empty()) {
        if (int rc = CheckCopyFolder("push", o.output); rc != kExitOk)
            return rc;
    }
    CatchStopSignals();

    std::vector<BatchRow> retryRows;
    if (!o.retry.empty()) {
        BatchReport earlier;
        std::string error;
        if (!BatchReport::ReadJson(o.retry, earlier, error))
            return Refuse("push: --retry " + error);
        retryRows = earlier.FailedRows();
        if (retryRows.empty()) {
            if (!o.quiet)
                std::fprintf(stderr, "push: no failed device in %s\n", o.retry.c_str());
            return kExitOk;
        }
        for (const BatchRow& row : retryRows)
            o.macs.push_back(row.mac);
    }

    CSqlManagement* store = CSqlManagement::GetInstance();
    if (!store->IsOpen())
        return Refuse("push: the record store " + store->DatabasePath() + " cannot be opened");

    // Everything that can refuse the batch is checked before anything is sent.
    SubmissionInput input;
    input.devices = o.macs;
    input.picturePath = o.logo;
    input.templatePath = o.config;
    if (!o.sheet.empty() && o.macs.empty()) {
        // The sheet's rows are the batch (or, with --all, all of them are checked now).
        if (int rc = ReadSheetMacs("push", o.sheet, input.devices); rc != kExitOk)
            return rc;
    }
    // With a sheet: the template record it was exported from, and the sheet
    // read back as the dialog reads it (radio columns taken from its header,
    // since this process did not export it).
    CliSheet sheetSource(input.devices, true);
    if (!o.sheet.empty()) {
        input.sheetPath = o.sheet;
        if (!o.config.empty() && !ParseTemplateXml(o.config, input.templateParams))
            return Refuse("push: --config " + o.config + ": the template cannot be read");
    }
    CParameterSubmission submission(*store, {}, StartTransferJob,
                                    o.sheet.empty() ? nullptr : &sheetSource);
    int kind = 0;
    if (o.retry.empty()) {
        kind = submission.Prepare(input);
        if (kind == 0) {
            NameRefusedChoice(o, sheetSource);
            return kExitRefused;
        }
    }

    if (o.dryRun) {
        // The copies as Start writes them, and nothing sent.
        if (!o.output.empty() && !MakeFolders(o.output))
            return Refuse("push: -o " + o.output + ": the folder cannot be made");
        SubmissionResult result;
        if (!submission.WriteCopies(input.devices, result, o.output))
            return kExitRefused;
        return PrintDryRun(result.batch, o.config, o.json, o.showSecrets);
    }

    AcTransmitManage* link = AcTransmitManage::GetInstance();
    if (int rc = SelectAdapterNamed(*link, o.adapter, "push"); rc != kExitOk)
        return rc;
    CliProgress progress("push", o.quiet);
    if (!SearchSegment(*link, *store, o.broadcasts, &progress))
        return StopPushed(*link, nullptr, o, progress);

    std::vector<std::string> devices;
    bool missing = false;
    if (o.all) {
        devices = StoredDeviceMacs(*store);
    } else {
        for (const std::string& mac : input.devices) {
            ap_info_stu row;
            if (store->GetDeviceByMac(mac, row) &&
                mac == std::string(row.mac, strnlen(row.mac, sizeof row.mac))) {
                devices.push_back(mac);
            } else {
                std::fprintf(stderr, "push: %s did not answer the search\n", mac.c_str());
                missing = true;
            }
        }
    }
    if (devices.empty()) {
        std::fprintf(stderr, "push: no device answered on %s; nothing was sent\n",
                     o.adapter.c_str());
        return kExitFailed;
    }

    if (o.retry.empty() && !o.sheet.empty() && devices != input.devices) {
        // Prepare again for the devices that answered, so each prepared
        // record belongs to the device it is started for.
        sheetSource = CliSheet(devices, true);
        input.devices = devices;
        kind = submission.Prepare(input);
        if (kind == 0) {
            NameRefusedChoice(o, sheetSource);
            return kExitRefused;
        }
    }

    std::array<std::uint8_t, 6> adapterMac{};
    link->AdapterMac(adapterMac.data());
    submission.SetAdapterMac(adapterMac);
    SubmissionResult result;
    if (o.retry.empty()) {
        if (!submission.Start(devices, result))
            return kExitRefused;
    } else {
        std::vector<BatchRow> rows;
        for (const BatchRow& row : retryRows)
            if (std::find(devices.begin(), devices.end(), row.mac) != devices.end())
                rows.push_back(row);
        if (!submission.StartRetry(rows, result))
            return kExitRefused;
    }

    FollowOptions follow{o.waitSeconds, o.events};
    follow.progress = &progress;
    const bool stopped = FollowBatch(*store, result.batch, follow);
    progress.Finish();
    WriteBatchReport(result.batch, !o.quiet);
    if (stopped)
        return StopPushed(*link, &result.batch, o, progress);
    PrintStatuses(*store, result.batch, o);
    bool allSucceeded = !missing;
    for (const BatchRow& row : result.batch.Rows())
        allSucceeded = allSucceeded && row.Succeeded();
    return allSucceeded ? kExitOk : kExitFailed;
}

} // namespace

QV_CLI_COMMAND("push", "send a template and/or a logo to devices and wait for the verdicts",
               RunPush)
