#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The one frame layout of EtherType 0x6262, in both directions: 1286 bytes,
// 16-bit fields big-endian, offsets from the Ethernet destination address.

inline constexpr std::size_t kFrameSize = 1286;
inline constexpr std::size_t kChunkSize = 1024;
inline constexpr std::size_t kSendBufferSize = 1514; // a maximum-size Ethernet frame
inline constexpr std::uint16_t kEtherType = 0x6262;

// Field offsets and widths.
namespace frame {
inline constexpr std::size_t kDestination = 0;
inline constexpr std::size_t kSource = 6;
inline constexpr std::size_t kEtherTypeOffset = 12;
inline constexpr std::size_t kCategory = 14;
inline constexpr std::size_t kSequence = 16;
inline constexpr std::size_t kOpcode = 18;
inline constexpr std::size_t kFileCount = 20;
inline constexpr std::size_t kDeviceInfo = 22;
inline constexpr std::size_t kDeviceInfoSize = 200;
inline constexpr std::size_t kChunkPosition = 222;
inline constexpr std::size_t kData = 260;
inline constexpr std::size_t kDataLength = 1284;

inline constexpr std::size_t kSsid2 = 22, kSsid2Size = 34;
inline constexpr std::size_t kSsid5 = 56, kSsid5Size = 34;
inline constexpr std::size_t kWpaKey2 = 90, kWpaKey2Size = 66;
inline constexpr std::size_t kWpaKey5 = 156, kWpaKey5Size = 66;
} // namespace frame

enum FrameCategory : std::uint16_t { Discover = 0, Para = 1, Logo = 2 };

enum FrameOpcode : std::uint16_t {
    DiscoverRequest = 1,
    ParaData = 2,
    LogoData = 3,
    Reply = 4,
    ParaFail = 5,
    ParaSuccess = 6,
    LogoFail = 7,
    LogoSuccess = 8,
};

// Chunk position values of a data frame.
enum ChunkPosition : std::uint16_t { ChunkMiddle = 0, ChunkFirst = 1, ChunkLast = 2 };

using MacBytes = std::uint8_t[6];

struct TransmitFrame {
    std::uint8_t bytes[kFrameSize];

    std::uint16_t Get16(std::size_t offset) const {
        return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
    }
    void Set16(std::size_t offset, std::uint16_t value) {
        bytes[offset] = static_cast<std::uint8_t>(value >> 8);
        bytes[offset + 1] = static_cast<std::uint8_t>(value & 0xFF);
    }

    std::uint16_t Category() const { return Get16(frame::kCategory); }
    std::uint16_t Opcode() const { return Get16(frame::kOpcode); }
    std::uint16_t Sequence() const { return Get16(frame::kSequence); }
    std::uint16_t FileCount() const { return Get16(frame::kFileCount); }
    std::uint16_t ChunkPositionField() const { return Get16(frame::kChunkPosition); }
    std::uint16_t DataLength() const { return Get16(frame::kDataLength); }
    const std::uint8_t* Source() const { return bytes + frame::kSource; }
    const std::uint8_t* Destination() const { return bytes + frame::kDestination; }
};
static_assert(sizeof(TransmitFrame) == kFrameSize);

// A frame of all zero bytes.
TransmitFrame ZeroFrame();

// Copies up to kFrameSize bytes of a captured frame into a zero-filled frame;
// longer frames are cut.
TransmitFrame FrameFromCapture(const std::uint8_t* data, std::size_t length);

// Broadcast destination, adapter MAC as source, category 0, opcode 1, the rest zero.
TransmitFrame BuildDiscoveryRequest(const std::uint8_t adapterMac[6]);

// The header of every data frame of one file: destination, source, EtherType,
// category, data opcode (2 for category 1, 3 for category 2) and file count.
TransmitFrame BuildDataTemplate(const std::uint8_t deviceMac[6], const std::uint8_t adapterMac[6],
                                FrameCategory category, std::uint16_t fileCount);

// The sequence field of the n-th chunk of a file (n counted from 1): the low
// 16 bits of n, or 0xFFFF where those bits are 0, so 0 is never sent.
std::uint16_t SequenceField(std::uint64_t chunkCounter);

// Reads a zero-terminated text field of a given width; a field without a zero
// inside its width reads as the whole field and never past it.
std::string ReadTextField(const std::uint8_t* field, std::size_t width);

// The four device-information texts of a discovery reply.
struct DeviceInfoTexts {
    std::string ssid2, ssid5, wpaKey2, wpaKey5;
};
DeviceInfoTexts ReadDeviceInfo(const TransmitFrame& frame);
// The same texts read from the 200-byte information area alone.
DeviceInfoTexts ReadDeviceInfoArea(const std::uint8_t* area);

// "AA:BB:CC:DD:EE:FF" (device records, logs, jobs, transfer capture filter).
std::string MacTextUpper(const std::uint8_t mac[6]);
// "aa:bb:cc:dd:ee:ff" (receive capture filter).
std::string MacTextLower(const std::uint8_t mac[6]);
// Parses "%02X:%02X:%02X:%02X:%02X:%02X" (lower-case digits are accepted too);
// false for anything else.
bool ParseMacText(const std::string& text, std::uint8_t mac[6]);
