#include "app/cli/CliSupport.h"

#include "app/cli/CliCommand.h"
#include "link/AcTransmitManage.h"
#include "records/CSqlManagement.h"

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

int Refuse(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitRefused;
}

bool ParseCount(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

int SelectAdapterNamed(AcTransmitManage& link, const std::string& name, const char* command) {
    std::vector<AdapterRecord> adapters;
    link.GetAdapterList(adapters);
    const auto adapter =
        std::find_if(adapters.begin(), adapters.end(), [&](const AdapterRecord& r) {
            return std::string(r.adapterName, strnlen(r.adapterName, sizeof r.adapterName)) == name;
        });
    if (adapter == adapters.end())
        return Refuse(std::string(command) + ": no such adapter: " + name);
    if (!link.SelectAdapter(*adapter)) {
        const std::string why = link.OpenError();
        std::fprintf(stderr, "%s: %s\n", command,
                     why.empty() ? ("cannot listen on " + name).c_str() : why.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

void SearchSegment(AcTransmitManage& link, CSqlManagement& store, int broadcasts) {
    link.ClearDeviceTable();
    store.ClearDevices();
    link.SendDiscovery();
    for (int i = 1; i < broadcasts; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        link.SendDiscovery();
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    link.ReportReceiveDrops();
}

std::vector<std::string> StoredMacs(CSqlManagement& store) {
    std::vector<ap_info_stu> rows;
    store.LoadDevicePage(SortByMac, rows, 1 << 20, 1, true, QString());
    std::vector<std::string> macs;
    macs.reserve(rows.size());
    for (const ap_info_stu& r : rows)
        macs.emplace_back(r.mac, strnlen(r.mac, sizeof r.mac));
    return macs;
}
