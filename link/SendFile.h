#pragma once

#include "link/TransmitFrame.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// Timing of the stop-and-wait exchange. A chunk's frame is sent at once and
// again whenever 20000 consecutive polls (or 20000 stray frames) pass without
// its acknowledgement, or the retransmission interval passes, whichever comes
// first; after the fifth transmission the next such trigger fails the file.
// The clock keeps the intent (a retransmission about every second, failure
// after about five seconds) on a machine so busy that polls stretch.
struct TransferTiming {
    std::uint32_t pollsPerRetransmission = 20000;
    std::uint32_t pollLimit = 100000;
    std::chrono::nanoseconds retransmitInterval = std::chrono::seconds(1);
    std::chrono::nanoseconds minimumWait = std::chrono::microseconds(50);
    int openAttempts = 10;
    std::chrono::milliseconds openRetryDelay{100};
};

// Counters of one call, for tests and benchmarks.
struct SendFileStats {
    std::uint64_t chunks = 0;        // chunks read
    std::uint64_t transmissions = 0; // frames put on the wire
    std::uint64_t strays = 0;        // frames that were not the acknowledgement
    double chunkLoopSeconds = 0;     // from the first transmission to the end
};

// Told after every acknowledged chunk: bytes of the file acknowledged so far
// and the file's length. Runs on the sending thread, between chunks, so it
// must be cheap (keep the throttling of any store write in it).
using SendFileProgress = std::function<void(std::int64_t acknowledged, std::int64_t length)>;

// Sends one file to one device on the capture device deviceName, chunk by
// chunk in data frames built on frameTemplate (addresses, EtherType,
// category, data opcode and file count set; the rest zero). macText is the
// device's upper-case MAC text (for the capture filter). True when every
// chunk was acknowledged. Nothing goes on the wire when no capture handle
// opens in ten attempts or the file cannot be opened. The file's length is
// taken once at the start and the file is read up to that length; a file
// that shrinks meanwhile fails at the first read that yields nothing.
// Any thread; each call uses its own capture handle and buffers.
bool SendFileOn(const std::string& deviceName, const TransmitFrame& frameTemplate,
                std::uint16_t category, const std::string& path, const std::string& macText,
                const TransferTiming& timing = {}, SendFileStats* stats = nullptr,
                const SendFileProgress& progress = {});

// The same on the transmit manager's selected capture device, read once at the start.
bool SendFile(const TransmitFrame& frameTemplate, std::uint16_t category, const std::string& path,
              const std::string& macText);
