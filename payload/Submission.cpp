#include "payload/Submission.h"

#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "payload/ConfigXml.h"
#include "payload/LogoImage.h"
#include "payload/ParameterRules.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <utility>

namespace {

void Warn(const char* text, const std::string& caption = kAppCaption) {
    ShowMessage(TranslateText(std::string(text)), MessageIcon::Exclamation, caption);
}

bool Ask(const char* text) {
    return ShowMessage(TranslateText(std::string(text)), MessageIcon::Question, std::string()) ==
           MessageAnswer::Ok;
}

} // namespace

bool CheckTransferPath(const std::string& path) {
    if (path.size() <= kMaxTransferPathBytes)
        return true;
    ShowMessage("The path " + path + " is longer than " + std::to_string(kMaxTransferPathBytes) +
                    " bytes!",
                MessageIcon::Exclamation);
    return false;
}

CParameterSubmission::CParameterSubmission(CSqlManagement& store,
                                           const std::array<std::uint8_t, 6>& adapterMac,
                                           TransferJobStarter starter, ParameterSheetSource* sheet)
    : store_(store), adapterMac_(adapterMac), starter_(std::move(starter)), sheet_(sheet) {}

int CParameterSubmission::Prepare(const SubmissionInput& input, bool askToSend) {
    kind_ = 0;
    records_.clear();
    outcome_ = SubmissionOutcome::Refused;

    if (!CheckLogoName(input.picturePath))
        return 0;
    if (!input.templatePath.empty() && !HasSuffix(input.templatePath, ".xml")) {
        Warn("Modify file is not .xml file!");
        return 0;
    }
    if (!input.sheetPath.empty() && !HasSuffix(input.sheetPath, ".xls")) {
        Warn("Modify file is not .xls file!");
        return 0;
    }

    const bool haveTemplate = !input.templatePath.empty();
    const bool havePicture = !input.picturePath.empty();
    int kind = 0;
    const char* question = nullptr;
    if (haveTemplate && havePicture) {
        kind = 3;
        question = "Are you sure you want to submit logo and configration?";
    } else if (havePicture) {
        kind = 1;
        question = "Are you sure you want to submit logo?";
    } else if (haveTemplate) {
        kind = 2;
        question = "Are you sure you want to submit configration?";
    } else {
        Warn("Please choose xml or logo info!", std::string());
        return 0;
    }
    if (askToSend && !Ask(question)) {
        outcome_ = SubmissionOutcome::Cancelled;
        return 0;
    }

    // The job carries each path in a fixed field: a longer one would be cut
    // and fail to open on the way out.
    if (havePicture && !CheckTransferPath(input.picturePath))
        return 0;
    if (haveTemplate && !input.devices.empty() &&
        !CheckTransferPath(DeviceXmlPath(input.devices.front())))
        return 0;

    std::vector<DeviceParams> records;
    if (kind != 1 && !input.sheetPath.empty()) {
        // The sheet was exported from these values: one cut on the way there
        // would be sent as if it were the operator's.
        if (!CheckTemplateValues(input.templateParams))
            return 0;
        if (!sheet_ || !sheet_->ReadSheet(input.sheetPath, input.templateParams,
                                          static_cast<int>(input.devices.size()), records)) {
            // A refusal that named the row or column at fault says it all.
            if (!sheet_ || !sheet_->ReadRefusalShown())
                Warn("Obtaining excel format information is incorrect!", std::string());
            return 0;
        }
        if (!ValidateParameterRecords(records, input.templateParams, sheet_->WlanColumns())) {
            if (!sheet_->OpenSheet(input.sheetPath))
                Warn("Unable to open excel file!",
                     kind == 3 ? std::string(kAppCaption) : std::string());
            return 0;
        }
    }

    kind_ = kind;
    input_ = input;
    records_ = std::move(records);
    outcome_ = SubmissionOutcome::Started;
    return kind_;
}

bool CParameterSubmission::BuildCopies(const std::vector<std::string>& devices,
                                       const std::string& folder, SubmissionResult& result,
                                       std::vector<std::array<std::uint8_t, 6>>& macs) {
    result = SubmissionResult{};
    result.kind = kind_;
    if (kind_ == 0) {
        result.outcome = outcome_;
        return false;
    }
    macs.assign(devices.size(), {});
    for (std::size_t k = 0; k < devices.size(); ++k) {
        if (!ParseMacText(devices[k], macs[k].data())) {
            ShowMessage(TranslateText(std::string("Invalid MAC address:")) + " " + devices[k],
                        MessageIcon::Exclamation);
            result.outcome = SubmissionOutcome::Refused;
            return false;
        }
    }

    const bool useSheet = !input_.sheetPath.empty();
    const BatchFile logo = kind_ != 2 ? BatchReport::DescribeFile(input_.picturePath) : BatchFile{};
    for (std::size_t k = 0; k < devices.size(); ++k) {
        const std::string& mac = devices[k];
        std::string configPath;
        BatchRow row;
        row.mac = mac;
        row.kind = kind_;
        row.logo = logo;
        if (kind_ != 1) {
            DeviceParams params{};
            if (useSheet && k < records_.size())
                params = records_[k];
            // The transfer starts whatever the copy did: a missing copy fails
            // on the device link like any unreadable file.
            BuildDeviceXml(input_.templatePath, useSheet, params, mac,
                           input_.templateParams.dualBand, configPath, folder);
            row.config = BatchReport::DescribeFile(configPath);
            if (useSheet)
                BatchReport::TakeIdentifyingValues(params, row);
        }
        result.configPaths.push_back(configPath);
        result.batch.AddRow(std::move(row));
    }
    result.outcome = SubmissionOutcome::Started;
    return true;
}

bool CParameterSubmission::WriteCopies(const std::vector<std::string>& devices,
                                       SubmissionResult& result, const std::string& folder) {
    std::vector<std::array<std::uint8_t, 6>> macs;
    return BuildCopies(devices, folder, result, macs);
}

bool CParameterSubmission::Start(const std::vector<std::string>& devices,
                                 SubmissionResult& result) {
    std::vector<std::array<std::uint8_t, 6>> macs;
    if (!BuildCopies(devices, {}, result, macs))
        return false;
    for (std::size_t k = 0; k < devices.size(); ++k) {
        if (StartJob(devices[k], macs[k].data(), kind_, result.configPaths[k], input_.picturePath))
            ++result.jobsStarted;
    }
    return true;
}

bool CParameterSubmission::StartJob(const std::string& mac, const std::uint8_t deviceMac[6],
                                    int kind, const std::string& configPath,
                                    const std::string& logoPath) {
    if (kind == 1) {
        store_.SetLogStatus(mac, Operating);
    } else if (kind == 2) {
        store_.SetParaStatus(mac, Operating);
    } else {
        store_.SetLogStatus(mac, Operating);
        store_.SetParaStatus(mac, Operating);
    }
    const TransferJob job =
        MakeTransferJob(deviceMac, adapterMac_.data(), kind, configPath, logoPath);
    return starter_ && starter_(job);
}

bool CParameterSubmission::StartRetry(const std::vector<BatchRow>& rows, SubmissionResult& result) {
    result = SubmissionResult{};
    result.outcome = SubmissionOutcome::Refused;
    std::vector<std::array<std::uint8_t, 6>> macs(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const BatchRow& row = rows[k];
        if (!ParseMacText(row.mac, macs[k].data()) || row.kind < 1 || row.kind > 3) {
            ShowMessage("Invalid MAC address: " + row.mac, MessageIcon::Exclamation);
            return false;
        }
        // The same payload or none: a file edited since the batch would be
        // sent as if it were the one the batch sent.
        for (const BatchFile* file :
             {row.SendsLogo() ? &row.logo : nullptr, row.SendsConfig() ? &row.config : nullptr}) {
            if (file == nullptr)
                continue;
            const BatchFile now = BatchReport::DescribeFile(file->path);
            if (file->path.empty() || now.bytes != file->bytes || now.sha256 != file->sha256) {
                ShowMessage("The file " + file->path + " changed since the batch!",
                            MessageIcon::Exclamation);
                return false;
            }
            if (!CheckTransferPath(file->path))
                return false;
        }
    }
    for (std::size_t k = 0; k < rows.size(); ++k) {
        BatchRow row = rows[k];
        row.startMs = row.endMs = 0;
        row.transmissions = row.retransmissions = 0;
        row.logoStatus = row.configStatus = WaitOperate;
        const std::string configPath = row.SendsConfig() ? row.config.path : std::string();
        const std::string logoPath = row.SendsLogo() ? row.logo.path : std::string();
        result.configPaths.push_back(configPath);
        result.kind = row.kind;
        if (StartJob(row.mac, macs[k].data(), row.kind, configPath, logoPath))
            ++result.jobsStarted;
        result.batch.AddRow(std::move(row));
    }
    result.outcome = SubmissionOutcome::Started;
    return true;
}

SubmissionResult CParameterSubmission::Submit(const SubmissionInput& input) {
    SubmissionResult result;
    if (Prepare(input) == 0) {
        result.outcome = outcome_;
        return result;
    }
    Start(input.devices, result);
    return result;
}
