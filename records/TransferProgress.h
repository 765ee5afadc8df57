#pragma once

#include <cstdint>

// Which file of a device a progress value belongs to.
enum class TransferFile : int { Logo = 0, Config = 1 };

// What the record store knows of one file's transfer besides its status.
// Times are milliseconds since the epoch (system clock), 0 when not yet known.
struct TransferProgress {
    std::int64_t bytesDone = 0;        // bytes of the file the device acknowledged
    std::int64_t bytesTotal = 0;       // the file's length, 0 before the sending starts
    std::uint64_t transmissions = 0;   // frames put on the wire for the file
    std::uint64_t retransmissions = 0; // of those, the ones sent again
    std::int64_t startMs = 0;          // when the file was marked Operating
    std::int64_t endMs = 0;            // when its status became final
};

// Whole percent of a progress value, 0..100 (0 while the length is unknown).
inline int ProgressPercent(const TransferProgress& p) {
    if (p.bytesTotal <= 0 || p.bytesDone <= 0)
        return 0;
    if (p.bytesDone >= p.bytesTotal)
        return 100;
    return static_cast<int>(p.bytesDone * 100 / p.bytesTotal);
}
