#include "records/CSqlManagement.h"

// Placeholder until the SQLite store lands: every operation fails.

struct CSqlManagement::Impl {};

CSqlManagement* CSqlManagement::GetInstance() {
    static CSqlManagement store(std::string{});
    return &store;
}
CSqlManagement::CSqlManagement(const std::string&) : impl_(nullptr) {}
CSqlManagement::~CSqlManagement() = default;
bool CSqlManagement::IsOpen() const { return impl_ != nullptr; }
bool CSqlManagement::ExecuteSql(const std::string&) { return false; }
bool CSqlManagement::ClearDevices() { return false; }
DevicePage CSqlManagement::LoadDevicePage(int, std::vector<ap_info_stu>&, int, int, bool,
                                          const QString&) {
    return {};
}
bool CSqlManagement::GetDeviceByMac(const std::string&, ap_info_stu&) { return false; }
bool CSqlManagement::SaveDiscoveredDevice(DiscoveredDevice) { return false; }
bool CSqlManagement::SetParaStatus(const std::string&, int) { return false; }
bool CSqlManagement::SetLogStatus(const std::string&, int) { return false; }
int CSqlManagement::GetParaStatus(const std::string&) { return 0; }
int CSqlManagement::GetLogStatus(const std::string&) { return 0; }
