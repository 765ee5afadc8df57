#include "link/TransmitFrame.h"

#include <cstdio>
#include <cstring>

TransmitFrame ZeroFrame() {
    TransmitFrame f;
    std::memset(f.bytes, 0, sizeof f.bytes);
    return f;
}

TransmitFrame FrameFromCapture(const std::uint8_t* data, std::size_t length) {
    TransmitFrame f = ZeroFrame();
    if (data != nullptr)
        std::memcpy(f.bytes, data, length < kFrameSize ? length : kFrameSize);
    return f;
}

TransmitFrame BuildDiscoveryRequest(const std::uint8_t adapterMac[6]) {
    TransmitFrame f = ZeroFrame();
    std::memset(f.bytes + frame::kDestination, 0xFF, 6);
    std::memcpy(f.bytes + frame::kSource, adapterMac, 6);
    f.Set16(frame::kEtherTypeOffset, kEtherType);
    f.Set16(frame::kCategory, Discover);
    f.Set16(frame::kOpcode, DiscoverRequest);
    return f;
}

TransmitFrame BuildDataTemplate(const std::uint8_t deviceMac[6], const std::uint8_t adapterMac[6],
                                FrameCategory category, std::uint16_t fileCount) {
    TransmitFrame f = ZeroFrame();
    std::memcpy(f.bytes + frame::kDestination, deviceMac, 6);
    std::memcpy(f.bytes + frame::kSource, adapterMac, 6);
    f.Set16(frame::kEtherTypeOffset, kEtherType);
    f.Set16(frame::kCategory, category);
    f.Set16(frame::kOpcode, category == Para ? ParaData : LogoData);
    f.Set16(frame::kFileCount, fileCount);
    return f;
}

std::uint16_t SequenceField(std::uint64_t chunkCounter) {
    const auto low = static_cast<std::uint16_t>(chunkCounter & 0xFFFF);
    return low == 0 ? 0xFFFF : low;
}

std::string ReadTextField(const std::uint8_t* field, std::size_t width) {
    const void* zero = std::memchr(field, 0, width);
    const std::size_t n =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : width;
    return std::string(reinterpret_cast<const char*>(field), n);
}

DeviceInfoTexts ReadDeviceInfoArea(const std::uint8_t* area) {
    using namespace frame;
    DeviceInfoTexts t;
    t.ssid2 = ReadTextField(area + (kSsid2 - kDeviceInfo), kSsid2Size);
    t.ssid5 = ReadTextField(area + (kSsid5 - kDeviceInfo), kSsid5Size);
    t.wpaKey2 = ReadTextField(area + (kWpaKey2 - kDeviceInfo), kWpaKey2Size);
    t.wpaKey5 = ReadTextField(area + (kWpaKey5 - kDeviceInfo), kWpaKey5Size);
    return t;
}

DeviceInfoTexts ReadDeviceInfo(const TransmitFrame& f) {
    return ReadDeviceInfoArea(f.bytes + frame::kDeviceInfo);
}

namespace {
std::string FormatMac(const std::uint8_t m[6], const char* format) {
    char text[18];
    std::snprintf(text, sizeof text, format, m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

std::string MacTextUpper(const std::uint8_t mac[6]) {
    return FormatMac(mac, "%02X:%02X:%02X:%02X:%02X:%02X");
}

std::string MacTextLower(const std::uint8_t mac[6]) {
    return FormatMac(mac, "%02x:%02x:%02x:%02x:%02x:%02x");
}

bool ParseMacText(const std::string& text, std::uint8_t mac[6]) {
    if (text.size() != 17)
        return false;
    std::uint8_t out[6];
    for (int i = 0; i < 6; ++i) {
        const int hi = HexDigit(text[static_cast<std::size_t>(i) * 3]);
        const int lo = HexDigit(text[static_cast<std::size_t>(i) * 3 + 1]);
        if (hi < 0 || lo < 0)
            return false;
        if (i < 5 && text[static_cast<std::size_t>(i) * 3 + 2] != ':')
            return false;
        out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    std::memcpy(mac, out, 6);
    return true;
}
