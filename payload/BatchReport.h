#pragma once

#include "payload/DeviceParams.h"
#include "records/TransferProgress.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class CSqlManagement;

// One file a batch sends to a device, as it was when the batch started.
struct BatchFile {
    std::string path;       // empty: the device's job does not send this file
    std::int64_t bytes = 0; // -1 when the file could not be read
    std::string sha256;     // lower-case hex; empty when it could not be read
};

// One device of a batch. Only identifying values of the subscriber are kept:
// never a password or key.
struct BatchRow {
    std::string mac;
    int kind = 0; // 1 logo, 2 configuration, 3 both
    BatchFile logo;
    BatchFile config;                                       // the device's own configuration copy
    std::vector<std::string> wanNames, vlanIds, pppoeUsers; // WAN 1.. in order
    std::string loid;
    std::int64_t startMs = 0, endMs = 0; // ms since the epoch; 0 not known yet
    std::uint64_t transmissions = 0, retransmissions = 0;
    int logoStatus = 0, configStatus = 0; // ap_status codes

    bool SendsLogo() const { return kind != 2; }
    bool SendsConfig() const { return kind != 1; }
    // Every file of the job has its final status.
    bool Final() const;
    // Every file of the job ended in OperateSuccess.
    bool Succeeded() const;
    // A file of the job ended in TransmitFail or OperateFail.
    bool Failed() const;
};

// The record of one submitted batch: which files went to which device, when,
// with what counts and outcome. Written as Log/<date>/batch-<HHMMSS>.csv and
// .json (the same rows) once, when every job is final or the program ends.
// Not thread-safe; the owner calls it from one thread.
class BatchReport {
public:
    BatchReport();
    explicit BatchReport(std::chrono::system_clock::time_point started);

    // Size and SHA-256 of the file as it is now (read within a bound).
    static BatchFile DescribeFile(const std::string& path);
    // The subscriber's identifying values of a sheet row (WAN names, VLAN
    // ids, PPPoE users, LOID) into row.
    static void TakeIdentifyingValues(const DeviceParams& params, BatchRow& row);

    void AddRow(BatchRow row) { rows_.push_back(std::move(row)); }
    const std::vector<BatchRow>& Rows() const { return rows_; }
    bool Empty() const { return rows_.empty(); }
    std::chrono::system_clock::time_point Started() const { return started_; }

    // Reads statuses, times and counters of every row from the store.
    void Update(CSqlManagement& store);
    bool AllFinal() const;
    int SucceededCount() const;
    int FailedCount() const; // every device that did not succeed
    // The rows a retry sends again (Failed()).
    std::vector<BatchRow> FailedRows() const;

    // The two texts: CSV in UTF-8 with a byte-order mark, every field quoted;
    // JSON with the same rows (lists as arrays).
    std::string CsvText() const;
    std::string JsonText() const;

    // Writes both files under <programDirectory>Log/<start date>/, 0600, as
    // whole new files; a name already taken gets "-2", "-3", ... True when
    // both were written; jsonPath then holds the JSON file's path.
    bool Write(const std::string& programDirectory, std::string* jsonPath = nullptr);
    bool Written() const { return written_; }

    // Reads a report's JSON file (bounded, regular files only). False with a
    // reason in error when it is not a report this program wrote.
    static bool ReadJson(const std::string& path, BatchReport& report, std::string& error);

private:
    std::chrono::system_clock::time_point started_;
    std::vector<BatchRow> rows_;
    bool written_ = false;
};
