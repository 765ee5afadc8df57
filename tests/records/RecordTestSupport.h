#pragma once

#include "records/DeviceRecord.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace recordtest {

// "AA:BB:CC:xx:xx:xx" for a device number.
inline std::string Mac(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "AA:BB:CC:%02X:%02X:%02X", (n >> 16) & 0xFF, (n >> 8) & 0xFF,
                  n & 0xFF);
    return text;
}

// Copies up to size bytes of text into a fixed field, without a terminating
// zero when the text fills it.
inline void Fill(void* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(size, text.size()));
}

struct DeviceTexts {
    std::string time = "2026-01-02 03:04:05";
    std::string ssid2 = "net24";
    std::string ssid5 = "net5";
    std::string key2 = "key24";
    std::string key5 = "key5";
};

inline DiscoveredDevice Device(const std::string& mac, const DeviceTexts& t = {}) {
    DiscoveredDevice d;
    Fill(d.macText, sizeof d.macText, mac);
    Fill(d.time, sizeof d.time, t.time);
    Fill(d.info + 0, 34, t.ssid2);
    Fill(d.info + 34, 34, t.ssid5);
    Fill(d.info + 68, 66, t.key2);
    Fill(d.info + 134, 66, t.key5);
    return d;
}

// A column value as the table gives it back: padded with blanks to width.
inline std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

} // namespace recordtest
