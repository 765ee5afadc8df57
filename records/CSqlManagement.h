#pragma once

#include "records/DeviceRecord.h"

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
// any thread may call.
class CSqlManagement {
public:
    static CSqlManagement* GetInstance();

    // Opens a store on <programDirectory>data.db (tests make their own).
    explicit CSqlManagement(const std::string& programDirectory);
    ~CSqlManagement();
    CSqlManagement(const CSqlManagement&) = delete;
    CSqlManagement& operator=(const CSqlManagement&) = delete;

    bool IsOpen() const;
    bool ExecuteSql(const std::string& statement);
    bool ClearDevices();
    DevicePage LoadDevicePage(int sortKey, std::vector<ap_info_stu>& records, int pageSize,
                              int page, bool ascending, const QString& filter);
    bool GetDeviceByMac(const std::string& macText, ap_info_stu& record);
    bool SaveDiscoveredDevice(DiscoveredDevice device);
    bool SetParaStatus(const std::string& macText, int status);
    bool SetLogStatus(const std::string& macText, int status);
    int GetParaStatus(const std::string& macText);
    int GetLogStatus(const std::string& macText);

private:
    struct Impl;
    Impl* impl_;
};
