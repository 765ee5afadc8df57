#pragma once

#include "link/TransferJob.h"
#include "link/TransmitFrame.h" // ParseMacText
#include "payload/BatchReport.h"
#include "payload/DeviceParams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSqlManagement;

// The sheet step of a submission: reading the edited parameter sheet back and
// reopening it for correction. Supplied by the parameter sheet layer; a
// submission without one treats any sheet as unreadable.
class ParameterSheetSource {
public:
    virtual ~ParameterSheetSource() = default;
    // Replaces records with one DeviceParams per device row; false on failure.
    virtual bool ReadSheet(const std::string& sheetPath, const DeviceParams& templateParams,
                           int deviceCount, std::vector<DeviceParams>& records) = 0;
    // Whether the sheet carries the radio columns (set by its last export).
    virtual bool WlanColumns() const = 0;
    // Whether the last failed ReadSheet has told the operator what is wrong
    // with the sheet in a message of its own.
    virtual bool ReadRefusalShown() const { return false; }
    // Opens the sheet in the spreadsheet application; false when that fails.
    virtual bool OpenSheet(const std::string& sheetPath) = 0;
};

// The longest file path a transfer job holds (its fields keep a terminator).
inline constexpr std::size_t kMaxTransferPathBytes = sizeof(TransferJob::configPath) - 1;
static_assert(sizeof(TransferJob::configPath) == sizeof(TransferJob::logoPath));

// Shows "The path PATH is longer than 259 bytes!" and returns false when path
// does not fit a transfer job; used where a file to send is chosen or prepared.
bool CheckTransferPath(const std::string& path);

// What the operator chose for a batch.
struct SubmissionInput {
    std::vector<std::string> devices; // MAC texts, in list order
    std::string picturePath;          // accepted logo, or empty
    std::string templatePath;         // configuration template, or empty
    std::string sheetPath;            // parameter sheet, or empty (template sent unchanged)
    DeviceParams templateParams{};    // the template record the sheet was exported from
};

enum class SubmissionOutcome { Started, Refused, Cancelled };

struct SubmissionResult {
    SubmissionOutcome outcome = SubmissionOutcome::Refused;
    int kind = 0;                         // 1 logo, 2 configuration, 3 both
    std::vector<std::string> configPaths; // per device: its configuration copy (kinds 2, 3)
    int jobsStarted = 0;
    BatchReport batch; // one row per started device, with the files as sent
};

using TransferJobStarter = std::function<bool(const TransferJob&)>;

// The submission steps of the parameter submission dialog, without widgets,
// shared by the dialog and quorvantix-cli so both behave alike: check the
// paths, decide the kind and ask, read and validate the sheet, then per device
// build its configuration copy, mark it Operating and start its transfer job.
// Messages and questions go through the message seam. A refusal or a Cancel
// writes nothing and changes no status. Main thread only.
class CParameterSubmission {
public:
    CParameterSubmission(CSqlManagement& store, const std::array<std::uint8_t, 6>& adapterMac,
                         TransferJobStarter starter = StartTransferJob,
                         ParameterSheetSource* sheet = nullptr);

    // Prepare, then Start on input.devices.
    SubmissionResult Submit(const SubmissionInput& input);

    // The checks up to the start: names (".jpg", ".xml", ".xls"), the kind
    // with its question, the paths the jobs will carry (CheckTransferPath),
    // and for a configuration with a sheet the template's values
    // (CheckTemplateValues) and the reading and validation of its rows. Returns the kind, or 0
    // after a refusal or Cancel (outcome tells which). askToSend false: the
    // question about sending is not asked (a preview sends nothing).
    int Prepare(const SubmissionInput& input, bool askToSend = true);
    SubmissionOutcome LastOutcome() const { return outcome_; }

    // The source MAC of the jobs, when it is known only after Prepare (the
    // command line selects its adapter once the input has passed the checks).
    void SetAdapterMac(const std::array<std::uint8_t, 6>& adapterMac) { adapterMac_ = adapterMac; }

    // Starts the prepared batch for devices (matched to sheet rows by position).
    // Refuses the whole batch, writing nothing, when a MAC text is not of the
    // form "XX:XX:XX:XX:XX:XX". Returns false when nothing was prepared or it refused.
    bool Start(const std::vector<std::string>& devices, SubmissionResult& result);

    // The copy building of Start without starting a job or changing a
    // status: per device its configuration copy, written into folder
    // (empty: ModifyXml/ of the program folder) exactly as Start writes it,
    // and its row of the batch. Nothing is sent. Refuses, writing nothing, as
    // Start does; false when nothing was prepared or it refused.
    bool WriteCopies(const std::vector<std::string>& devices, SubmissionResult& result,
                     const std::string& folder = {});

    // The kind and input of the last successful Prepare.
    int PreparedKind() const { return kind_; }
    const SubmissionInput& PreparedInput() const { return input_; }

    // Starts the rows of an earlier batch again with the same files: each
    // device's kind, logo and configuration copy. Refuses the whole retry,
    // writing nothing, when a row's MAC or kind is wrong or a file no longer
    // has the size and SHA-256 the batch sent ("... changed since the
    // batch"). Needs no Prepare.
    bool StartRetry(const std::vector<BatchRow>& rows, SubmissionResult& result);

private:
    bool BuildCopies(const std::vector<std::string>& devices, const std::string& folder,
                     SubmissionResult& result, std::vector<std::array<std::uint8_t, 6>>& macs);
    // Marks the job's files Operating and starts it.
    bool StartJob(const std::string& mac, const std::uint8_t deviceMac[6], int kind,
                  const std::string& configPath, const std::string& logoPath);

    CSqlManagement& store_;
    std::array<std::uint8_t, 6> adapterMac_;
    TransferJobStarter starter_;
    ParameterSheetSource* sheet_;

    SubmissionOutcome outcome_ = SubmissionOutcome::Refused;
    int kind_ = 0;
    SubmissionInput input_;
    std::vector<DeviceParams> records_;
};
