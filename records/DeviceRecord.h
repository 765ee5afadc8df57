#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Status code of one job (configuration or logo) of one device.
enum ap_status : std::int32_t {
    WaitOperate = 0,
    Operating = 1,
    OperateSuccess = 2,
    OperateFail = 3,
    TransmitFinish = 4,
    TransmitFail = 5,
};

// The in-memory device record of the list pages. Texts are zero-terminated UTF-8.
struct ap_info_stu {
    char mac[18];
    char ap_date[34];
    std::int32_t ap_para_status;
    std::int32_t ap_log_status;
    char ap_ssid2[34];
    char ap_ssid5[34];
    char ap_wpakey2[66];
    char ap_wpakey5[66];
};

// The translated text of a status code; empty outside 0..5.
std::string StatusText(int code);

// The 250-byte unit the manage thread keeps per discovered MAC and hands to
// the store by value.
struct DiscoveredDevice {
    char macText[18];       // upper-case colon form, zero-terminated
    char time[32];          // "%04d-%02d-%02d %02d:%02d:%02d", zero-terminated
    std::uint8_t info[200]; // bytes 22..221 of the reply, unchanged
};
static_assert(sizeof(DiscoveredDevice) == 250);
