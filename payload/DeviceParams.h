#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Fields of DeviceParams whose source text did not fit. A text longer than its
// field is cut on a character boundary; the flag makes sure validation still
// refuses it, so a cut value is never sent as if it were the operator's.
struct DeviceParamsOverflow {
    bool mac;
    bool wanName[10];
    bool vid[10];
    bool pppUser[10];
    bool pppPassword[10];
    bool channelMode[10];
    bool ssid5g;
    bool wlanPsk5g;
    bool ssid24g;
    bool wlanPsk24g;
    bool loid;
    bool loidPassword;
    bool loginPassword;
    bool ploamPassword;
};

// The per-device parameter record; the template record uses the same type.
// Plain and fixed-size: zero-fill before use (DeviceParams p{} or
// ZeroDeviceParams), copy by value. Every text is zero-terminated UTF-8.
struct DeviceParams {
    char mac[64];             // "%02X:%02X:%02X:%02X:%02X:%02X"; empty in the template record
    char wanName[10][64];     // WAN connection 1..10
    char vid[10][64];         // VLAN id as decimal text
    char pppUser[10][64];     // PPPoE user name
    char pppPassword[10][64]; // PPPoE password
    char channelMode[10][8];  // "2" means PPPoE; template record only
    std::int32_t wanCount;    // WAN connections in use, 0..10
    char ssid5g[33];          // 5 GHz radio of a dual-band device
    char wlanPsk5g[64];
    char ssid24g[33]; // 2.4 GHz radio (the only radio of a single-band device)
    char wlanPsk24g[64];
    char loid[32];
    char loidPassword[32];
    char loginPassword[32];
    char ploamPassword[34];
    std::int32_t dualBand; // template record: 1 when the template describes two radios

    DeviceParamsOverflow overflow; // which fields were cut to fit
};

inline void ZeroDeviceParams(DeviceParams& params) {
    std::memset(&params, 0, sizeof params);
}

// Copies text into a fixed field of `width` bytes (terminator included), cut
// on a UTF-8 character boundary when it is longer. Returns true when it was cut.
bool CopyToField(char* field, std::size_t width, std::string_view text);

template <std::size_t N> bool CopyToField(char (&field)[N], std::string_view text) {
    return CopyToField(field, N, text);
}

// Stores text into the field and records in `cut` whether it had to be cut.
template <std::size_t N> void SetField(char (&field)[N], bool& cut, std::string_view text) {
    cut = CopyToField(field, N, text);
}

// The field's text up to its terminator, never past the field.
template <std::size_t N> std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}
