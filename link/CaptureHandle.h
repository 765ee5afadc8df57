#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

typedef struct pcap pcap_t;

// One libpcap capture handle on one device, opened the way every user of the
// device link opens it: 65536-byte snapshot, promiscuous, the given read
// timeout, immediate delivery (so an acknowledgement is not held until the
// timeout runs out), a 256 KiB kernel buffer and incoming frames only.
// Each thread opens its own handle; a handle is not shared between threads.
class CaptureHandle {
public:
    CaptureHandle() = default;
    ~CaptureHandle() { Close(); }
    CaptureHandle(const CaptureHandle&) = delete;
    CaptureHandle& operator=(const CaptureHandle&) = delete;

    // False when the device name is empty or the device cannot be activated.
    bool Open(const std::string& deviceName, int timeoutMs, int bufferBytes = 256 * 1024);
    bool IsOpen() const { return pcap_ != nullptr; }
    void Close();

    // Compiles (optimised, with the device's network mask) and installs a
    // capture filter. False on any failure; the handle stays usable.
    bool SetFilter(const std::string& deviceName, const std::string& expression);
    // From now on Next() returns at once when no frame is waiting.
    bool SetNonBlocking();

    // Sends length bytes of buffer; true when the whole frame went out.
    bool Send(const std::uint8_t* buffer, std::size_t length);

    // Reads the next frame: 1 with data/length set, 0 when none arrived
    // within the read timeout (at once in non-blocking mode), -1 on error. The data stays valid
    // until the next call.
    int Next(const std::uint8_t*& data, std::size_t& length);

    // The descriptor that becomes readable when a frame is waiting; -1 if none.
    int SelectableFd() const;

    // Sleeps until a frame is waiting or the timeout passes; returns at once
    // when a frame is already waiting. Timeouts are in nanoseconds.
    void WaitReadable(long long timeoutNs) const;

    pcap_t* Raw() const { return pcap_; }

private:
    pcap_t* pcap_ = nullptr;
    int timeoutMs_ = 0;
    bool nonBlocking_ = false;
};
