// quorvantix-cli push: a search, then a submission with the checks, messages,
// kinds and statuses of the parameter submission dialog, then it follows the
// record store until every submitted job is final or the wait ends, and
// writes the batch's report. --retry sends a report's failed devices again.

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"
#include "app/cli/PushFollow.h"
#include "base/FileUtil.h"
#include "base/MessageSeam.h"
#include "link/AcTransmitManage.h"
#include "link/TransferJob.h"
#include "payload/ConfigXml.h"
#include "payload/LogoImage.h"
#include "payload/ParameterSheet.h"
#include "payload/Submission.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Messages to stderr as the other commands show them; the command line
// itself is the operator's confirmation, so questions are answered OK.
class PushMessageSink : public MessageSink {
public:
    MessageAnswer Show(const std::string& text, MessageIcon icon,
                       const std::string& caption) override {
        if (icon == MessageIcon::Question)
            return MessageAnswer::Ok;
        if (caption.empty())
            std::fprintf(stderr, "%s\n", text.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return MessageAnswer::Ok;
    }
};

class ScopedSink {
public:
    explicit ScopedSink(MessageSink* sink) : previous_(SetMessageSink(sink)) {}
    ~ScopedSink() { SetMessageSink(previous_); }

private:
    MessageSink* previous_;
};

// Opened without waiting, so a FIFO is refused by the checks that follow
// instead of holding the command.
bool Readable(const std::string& path) {
    return OpenedFileKind(path) != FileKind::Missing;
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct PushOptions {
    std::string adapter;
    int broadcasts = 40;
    std::string config;
    std::string logo;
    std::string sheet;
    std::vector<std::string> macs;
    bool all = false;
    int waitSeconds = 60;
    bool json = false;
    bool events = false;
    std::string retry; // a batch report whose failed devices are sent again
};

const char* kUsage = "push --adapter IFACE [--broadcasts N] [--config FILE] [--logo FILE] "
                     "[--sheet FILE.xls] (--mac MAC... | --all | --retry REPORT.json) "
                     "[--wait SECONDS] [--json | --events]";

int ParseArgs(const std::vector<std::string>& args, PushOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--all") {
            o.all = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--events") {
            o.events = true;
        } else if (a == "--retry" && hasValue) {
            o.retry = args[++i];
        } else if (a == "--mac" && hasValue) {
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                std::string mac = Upper(args[++i]);
                std::uint8_t bytes[6];
                if (!ParseMacText(mac, bytes))
                    return Refuse("push: not a MAC address: " + args[i]);
                if (std::find(o.macs.begin(), o.macs.end(), mac) == o.macs.end())
                    o.macs.push_back(mac);
            }
        } else if (a == "--adapter" && hasValue) {
            o.adapter = args[++i];
        } else if (a == "--config" && hasValue) {
            o.config = args[++i];
        } else if (a == "--logo" && hasValue) {
            o.logo = args[++i];
        } else if (a == "--sheet" && hasValue) {
            o.sheet = args[++i];
        } else if (a == "--broadcasts" && hasValue) {
            if (!ParseCount(args[++i], 1, 100000, o.broadcasts))
                return Refuse("push: --broadcasts needs a number from 1");
        } else if (a == "--wait" && hasValue) {
            if (!ParseCount(args[++i], 0, 100000000, o.waitSeconds))
                return Refuse("push: --wait needs a number of seconds");
        } else {
            return Refuse("push: unexpected argument " + a + " (usage: " + kUsage + ")");
        }
    }
    if (o.adapter.empty())
        return Refuse("push: --adapter is required");
    if (o.json && o.events)
        return Refuse("push: give --json or --events, not both");
    if (!o.retry.empty()) {
        // A retry sends exactly what the report's batch sent.
        if (o.all || !o.macs.empty() || !o.config.empty() || !o.logo.empty() || !o.sheet.empty())
            return Refuse("push: --retry takes the devices and files from the report");
        return kExitOk;
    }
    if (o.all == !o.macs.empty())
        return Refuse("push: give either --mac MAC... or --all");
    // The sheet's rows are matched to the listed devices by MAC.
    if (!o.sheet.empty() && o.all)
        return Refuse("push: --sheet needs the devices as --mac MAC...");
    return kExitOk;
}

// The checks the dialog makes when a file is chosen.
int CheckChosenFiles(const PushOptions& o) {
    if (!o.config.empty()) {
        if (!Readable(o.config))
            return Refuse("push: cannot read " + o.config);
        if (!CheckTemplateSize(o.config))
            return kExitRefused;
    }
    if (!o.logo.empty()) {
        if (!Readable(o.logo))
            return Refuse("push: cannot read " + o.logo);
        LogoPicture picture;
        if (!CheckLogoFileSize(o.logo) || !CheckLogoPicture(o.logo, picture))
            return kExitRefused;
    }
    return kExitOk;
}

int RunPush(const std::vector<std::string>& args) {
    PushOptions o;
    if (int rc = ParseArgs(args, o); rc != kExitOk)
        return rc;

    PushMessageSink sink;
    ScopedSink scoped(&sink);
    if (int rc = CheckChosenFiles(o); rc != kExitOk)
        return rc;

    std::vector<BatchRow> retryRows;
    if (!o.retry.empty()) {
        BatchReport earlier;
        std::string error;
        if (!BatchReport::ReadJson(o.retry, earlier, error))
            return Refuse("push: " + error);
        retryRows = earlier.FailedRows();
        if (retryRows.empty()) {
            std::fprintf(stderr, "push: no failed device in %s\n", o.retry.c_str());
            return kExitOk;
        }
        for (const BatchRow& row : retryRows)
            o.macs.push_back(row.mac);
    }

    CSqlManagement* store = CSqlManagement::GetInstance();
    if (!store->IsOpen())
        return Refuse("push: the record store cannot be opened");

    // Everything that can refuse the batch is checked before anything is sent.
    SubmissionInput input;
    input.devices = o.macs;
    input.picturePath = o.logo;
    input.templatePath = o.config;
    // With a sheet: the template record it was exported from, and the sheet
    // read back as the dialog reads it (radio columns taken from its header,
    // since this process did not export it).
    CParameterSheet sheetSource(o.macs, true);
    if (!o.sheet.empty()) {
        input.sheetPath = o.sheet;
        if (!o.config.empty() && !ParseTemplateXml(o.config, input.templateParams))
            return Refuse("push: cannot read the configuration template " + o.config);
    }
    CParameterSubmission submission(*store, {}, StartTransferJob,
                                    o.sheet.empty() ? nullptr : &sheetSource);
    int kind = 0;
    if (o.retry.empty()) {
        kind = submission.Prepare(input);
        if (kind == 0)
            return kExitRefused;
    }

    AcTransmitManage* link = AcTransmitManage::GetInstance();
    if (int rc = SelectAdapterNamed(*link, o.adapter, "push"); rc != kExitOk)
        return rc;
    SearchSegment(*link, *store, o.broadcasts);

    std::vector<std::string> devices;
    bool missing = false;
    if (o.all) {
        devices = StoredMacs(*store);
    } else {
        for (const std::string& mac : o.macs) {
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
        std::fprintf(stderr, "push: no device to submit to\n");
        return kExitFailed;
    }

    if (o.retry.empty() && !o.sheet.empty() && devices.size() != input.devices.size()) {
        // Some devices did not answer: prepare again for those that did, so
        // each prepared record belongs to the device it is started for.
        sheetSource = CParameterSheet(devices, true);
        input.devices = devices;
        kind = submission.Prepare(input);
        if (kind == 0)
            return kExitRefused;
    }

    std::array<std::uint8_t, 6> adapterMac{};
    link->AdapterMac(adapterMac.data());
    submission.SetAdapterMac(adapterMac);
    SubmissionResult result;
    CatchStopSignals();
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

    FollowBatch(*store, result.batch, FollowOptions{o.waitSeconds, o.events});
    WriteBatchReport(result.batch);

    bool allSucceeded = !missing;
    QJsonArray array;
    for (const BatchRow& row : result.batch.Rows()) {
        const std::string& mac = row.mac;
        const int logo = store->GetLogStatus(mac);
        const int config = store->GetParaStatus(mac);
        if (!row.Succeeded())
            allSucceeded = false;
        if (o.events)
            continue; // the event lines already ended with each file's final status
        if (o.json) {
            QJsonObject item;
            item.insert(QStringLiteral("mac"), QString::fromStdString(mac));
            item.insert(QStringLiteral("logoStatus"), logo);
            item.insert(QStringLiteral("logoStatusText"), QString::fromStdString(StatusText(logo)));
            item.insert(QStringLiteral("configStatus"), config);
            item.insert(QStringLiteral("configStatusText"),
                        QString::fromStdString(StatusText(config)));
            array.append(item);
        } else {
            std::printf("%s\t%s\t%s\n", mac.c_str(), StatusText(logo).c_str(),
                        StatusText(config).c_str());
        }
    }
    if (o.json)
        std::printf("%s\n", QJsonDocument(array).toJson(QJsonDocument::Indented).constData());
    std::fflush(stdout);
    return allSucceeded ? kExitOk : kExitFailed;
}

} // namespace

QV_CLI_COMMAND("push", kUsage, RunPush)
