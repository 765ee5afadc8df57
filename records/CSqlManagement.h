#pragma once

#include "records/DeviceRecord.h"
#include "records/TransferProgress.h"

#include <QString>
#include <string>
#include <vector>

// Result of LoadDevicePage.
struct DevicePage {
    int pageCount = 0;
    int total = 0;
    bool ok = false;
};

// Sort keys of LoadDevicePage.
enum SortKey : int { SortByMac = 0, SortByLogStatus = 1, SortByParaStatus = 2, SortByDate = 3 };

// The process-wide record store: one SQLite file data.db in the program folder
// that lives exactly one run. Every operation runs under one recursive lock;
// any thread may call. When the file cannot be made, the operator is told once
// and every operation returns its failure result (false or 0) from then on.
//
// MAC arguments are the upper-case colon form ("AA:BB:CC:DD:EE:FF") and are
// compared exactly: any other spelling finds no row.
class CSqlManagement {
public:
    // The store of the program folder, made on the first call. It closes (and
    // removes its file) at process exit or at Shutdown(); the object itself
    // stays, so a thread that still calls during exit gets failure results.
    static CSqlManagement* GetInstance();
    // Closes the process-wide store now, if it was made. Idempotent.
    static void Shutdown();

    // Opens a store on <programDirectory>data.db (tests make their own):
    // removes any old file, makes a fresh table.
    explicit CSqlManagement(const std::string& programDirectory);
    // Closes the store and removes its file.
    ~CSqlManagement();
    CSqlManagement(const CSqlManagement&) = delete;
    CSqlManagement& operator=(const CSqlManagement&) = delete;

    bool IsOpen() const;
    // The full path of the database file.
    const std::string& DatabasePath() const;
    // Closes the connection and removes the file; later calls fail. Idempotent.
    void Close();

    // Runs a statement that returns no rows; up to three attempts. True if one
    // was accepted.
    bool ExecuteSql(const std::string& statement);
    // Deletes every row.
    bool ClearDevices();
    // Appends the records of page `page` (from 1) of `pageSize` rows to
    // `records`, ordered by `sortKey` (SortKey) in the given direction. The
    // filter is a literal, case-sensitive substring of the MAC text. ok is
    // false (no records, both counts 0) when the query could not run or
    // pageSize is not positive; a page beyond the last gives no records and
    // the true counts.
    DevicePage LoadDevicePage(int sortKey, std::vector<ap_info_stu>& records, int pageSize,
                              int page, bool ascending, const QString& filter);
    // Zeroes `record`, then fills mac and the four radio texts from the row of
    // the MAC (the first row of the table for an empty MAC text). True if the
    // query ran, also when no row matched.
    bool GetDeviceByMac(const std::string& macText, ap_info_stu& record);
    // Inserts the device, or overwrites the row of its MAC: new date and radio
    // texts, both statuses back to 0. True if it was written.
    bool SaveDiscoveredDevice(DiscoveredDevice device);
    // Sets the configuration (para) or logo (log) status and its text of the
    // MAC's row. False when no row has that MAC.
    bool SetParaStatus(const std::string& macText, int status);
    bool SetLogStatus(const std::string& macText, int status);
    // The transfer's outcome (TransmitFinish/TransmitFail) for a file: written
    // unless the device's verdict (OperateSuccess/OperateFail) already arrived,
    // which a fast device sends before the sending thread gets here. Read and
    // write are one step under the store's lock.
    bool SetParaTransferStatus(const std::string& macText, int status);
    bool SetLogTransferStatus(const std::string& macText, int status);
    // The status of the MAC's row; 0 without a row.
    int GetParaStatus(const std::string& macText);
    int GetLogStatus(const std::string& macText);

    // Progress of a file beside its status. Writing a status stamps its time:
    // Operating starts the file afresh (progress and counters cleared), a
    // final status (OperateSuccess, OperateFail, TransmitFail) sets its end.
    // SetProgress and AddTransmissions change only a file that was marked
    // Operating since the device was last saved; false otherwise.
    bool SetProgress(const std::string& macText, TransferFile file, std::int64_t bytesDone,
                     std::int64_t bytesTotal);
    bool AddTransmissions(const std::string& macText, TransferFile file,
                          std::uint64_t transmissions, std::uint64_t retransmissions);
    // Zeroes when the file was never marked Operating.
    TransferProgress GetProgress(const std::string& macText, TransferFile file);
    // How many progress writes were accepted so far (for benchmarks).
    std::uint64_t ProgressWrites();

private:
    struct Impl;
    Impl* impl_;
};

// The MAC texts of every stored device, ordered by MAC.
std::vector<std::string> StoredDeviceMacs(CSqlManagement& store);
