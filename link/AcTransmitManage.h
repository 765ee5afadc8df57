#pragma once

#include "link/AdapterInfo.h"
#include "link/TransmitFrame.h"
#include "link/VerdictGate.h"
#include "records/DeviceRecord.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

class CSqlManagement;

// The device link's long-lived object: the selected adapter, discovery
// broadcasts, and the receive and manage threads while an adapter is
// selected. Transfers (SendFile) open handles of their own on the same
// adapter socket; a transfer keeps the adapter it started on until it ends.
//
// Locks: the reply-queue lock (alone), the adapter lock (adapter layer only),
// the device-table lock (taken before the record store's lock, never after),
// and a small lock that guards the selected adapter's two values.
class AcTransmitManage {
public:
    // The process-wide instance, created on the first call (main thread, at
    // start-up). It is never deleted: at process exit its threads are stopped
    // and joined, so transfer threads still running can read it safely.
    static AcTransmitManage* GetInstance();

    // A manager on a given record store (tests make their own).
    explicit AcTransmitManage(CSqlManagement* store);
    ~AcTransmitManage();
    AcTransmitManage(const AcTransmitManage&) = delete;
    AcTransmitManage& operator=(const AcTransmitManage&) = delete;

    // Starts (or restarts) the receive and manage threads on the selected
    // adapter. Exactly one thread of each runs afterwards; returns once the
    // receive thread listens (or could not open its handle), so answers to a
    // broadcast sent right after are not missed. False when the adapter's
    // socket cannot be had: OpenError() then says why.
    bool Init();
    // Why the receive thread could not listen (empty when it listens).
    std::string OpenError() const;
    // Writes a diagnostic line when frames were dropped since the last call
    // (the kernel's ring was full, or a reader's queue). Returns the count.
    std::uint64_t ReportReceiveDrops();
    // Stops both threads and waits for them to end. Idempotent.
    void Stop();

    // Broadcasts one discovery request; nothing happens when no handle opens.
    void SendDiscovery();
    void ClearDeviceTable();
    // Turns one discovery reply into a device entry and a record (manage thread).
    void HandleReply(const TransmitFrame& frame);
    // A result frame (category 1 or 2): the operation-log line, then the
    // status as the verdict gate allows (receive thread).
    void HandleResult(const TransmitFrame& frame);
    // The gate every transfer of this manager reports to.
    VerdictGate& Verdicts() { return verdicts_; }

    void GetAdapterList(std::vector<AdapterRecord>& list);
    // Takes the capture device named as the record's adapter (PickCaptureDevice:
    // the exact name first); "pcap_findalldevs error" when the device list
    // cannot be read.
    bool FindCaptureDevice(AdapterRecord record);
    // What the status page does on a selection: MAC, capture device, Init().
    bool SelectAdapter(const AdapterRecord& record);

    // The selected adapter (any thread).
    std::string DeviceName() const;
    void AdapterMac(std::uint8_t mac[6]) const;
    // Sets both values directly (tests, command line).
    void SetAdapter(const std::string& deviceName, const std::uint8_t mac[6]);

    // Number of devices in the table (since the last search start).
    std::size_t DeviceTableSize() const;
    // The MACs ("AA:BB:..") that sent a discovery reply since the last call
    // or the last ClearDeviceTable, each once, in the order first heard;
    // also those already in the table. Lets a caller that searches again
    // and again tell who answered each round without clearing the table
    // (which would set every known record back to WaitOperate).
    std::vector<std::string> TakeAnsweredMacs();
    // Number of receive / manage threads running now.
    int RunningReceiveThreads() const { return runningReceive_.load(); }
    int RunningManageThreads() const { return runningManage_.load(); }

private:
    void ReceiveLoop();
    void ManageLoop();
    void SignalEvent();

    CSqlManagement* store_;

    mutable std::mutex selectionLock_;
    char deviceName_[260] = {};
    std::uint8_t adapterMac_[6] = {};

    std::mutex adapterLock_;

    // Auto-reset event event_manage_discover.
    std::mutex eventLock_;
    std::condition_variable eventCv_;
    bool eventSignalled_ = false;

    std::atomic<bool> stopReceive_{false};
    std::atomic<bool> stopManage_{false};
    std::thread receiveThread_;
    std::thread manageThread_;
    std::atomic<int> runningReceive_{0};
    std::atomic<int> runningManage_{0};
    std::mutex initLock_; // Init() and Stop() one at a time
    // Set by the receive thread once its capture listens (or failed to open).
    mutable std::mutex readyLock_;
    std::condition_variable readyCv_;
    bool receiveReady_ = false;
    std::string openError_; // under readyLock_

    std::mutex replyLock_;
    std::deque<TransmitFrame> replyQueue_;

    mutable std::mutex tableLock_;
    std::vector<DiscoveredDevice> deviceTable_;
    std::unordered_set<std::uint64_t> deviceKeys_; // MACs in the table
    std::vector<std::string> answered_;            // since the last TakeAnsweredMacs
    std::unordered_set<std::uint64_t> answeredKeys_;

    VerdictGate verdicts_;
};

// Start-up's way to obtain the transmit manager (StartupHooks::obtainTransmitManager).
AcTransmitManage* ObtainTransmitManager();
