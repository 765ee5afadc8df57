#include "link/AcTransmitManage.h"

#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/OperationLog.h"
#include "link/AdapterSocket.h"
#include "link/CaptureHandle.h"
#include "records/CSqlManagement.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pcap/pcap.h>
#include <unordered_set>

namespace {
constexpr int kReceiveBufferBytes = 32 << 20;
std::atomic<AcTransmitManage*> g_instance{nullptr};
std::once_flag g_instanceOnce;

void StopInstanceAtExit() {
    if (AcTransmitManage* m = g_instance.load())
        m->Stop();
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// Counts a running thread for the life of its loop.
class RunningCount {
public:
    explicit RunningCount(std::atomic<int>& c) : c_(c) { ++c_; }
    ~RunningCount() { --c_; }
    RunningCount(const RunningCount&) = delete;
    RunningCount& operator=(const RunningCount&) = delete;

private:
    std::atomic<int>& c_;
};
} // namespace

AcTransmitManage* AcTransmitManage::GetInstance() {
    std::call_once(g_instanceOnce, [] {
        g_instance = new AcTransmitManage(CSqlManagement::GetInstance());
        std::atexit(&StopInstanceAtExit);
    });
    return g_instance.load();
}

AcTransmitManage* ObtainTransmitManager() {
    return AcTransmitManage::GetInstance();
}

AcTransmitManage::AcTransmitManage(CSqlManagement* store) : store_(store) {}

AcTransmitManage::~AcTransmitManage() {
    Stop();
}

void AcTransmitManage::SignalEvent() {
    {
        std::lock_guard<std::mutex> g(eventLock_);
        eventSignalled_ = true;
    }
    eventCv_.notify_one();
}

void AcTransmitManage::Stop() {
    std::lock_guard<std::mutex> guard(initLock_);
    stopReceive_ = true;
    stopManage_ = true;
    SignalEvent();
    // Both threads see their flag within one read timeout or at the event;
    // they are joined rather than abandoned so nothing they use goes away
    // under them.
    if (receiveThread_.joinable())
        receiveThread_.join();
    if (manageThread_.joinable())
        manageThread_.join();
    stopReceive_ = false;
    stopManage_ = false;
    std::lock_guard<std::mutex> g(eventLock_);
    eventSignalled_ = false;
}

bool AcTransmitManage::Init() {
    Stop();
    std::lock_guard<std::mutex> guard(initLock_);
    {
        std::lock_guard<std::mutex> g(readyLock_);
        receiveReady_ = false;
    }
    try {
        receiveThread_ = std::thread(&AcTransmitManage::ReceiveLoop, this);
    } catch (const std::system_error&) {
        QV_DIAGNOSTIC(1, "create thread_recv_discover fail");
        return false;
    }
    bool listening = false;
    {
        // A search usually follows at once: answers to its first broadcast
        // arrive within microseconds and must find the capture listening.
        std::unique_lock<std::mutex> lock(readyLock_);
        readyCv_.wait_for(lock, std::chrono::seconds(1), [this] { return receiveReady_; });
        listening = receiveReady_ && openError_.empty();
    }
    try {
        manageThread_ = std::thread(&AcTransmitManage::ManageLoop, this);
    } catch (const std::system_error&) {
        QV_DIAGNOSTIC(1, "create thread_manage_discover fail");
        return false;
    }
    return listening;
}

std::string AcTransmitManage::OpenError() const {
    std::lock_guard<std::mutex> g(readyLock_);
    return openError_;
}

std::uint64_t AcTransmitManage::ReportReceiveDrops() {
    CaptureHandle handle;
    if (!handle.Open(DeviceName(), 1))
        return 0;
    const AdapterSocket::Drops drops = handle.Socket()->TakeDrops();
    if (drops.kernel != 0 || drops.queues != 0)
        QV_DIAGNOSTIC(1, "%s: %llu frames dropped by the kernel, %llu by full reader queues",
                      DeviceName().c_str(), static_cast<unsigned long long>(drops.kernel),
                      static_cast<unsigned long long>(drops.queues));
    return drops.kernel + drops.queues;
}

std::string AcTransmitManage::DeviceName() const {
    std::lock_guard<std::mutex> g(selectionLock_);
    return std::string(deviceName_, strnlen(deviceName_, sizeof deviceName_));
}

void AcTransmitManage::AdapterMac(std::uint8_t mac[6]) const {
    std::lock_guard<std::mutex> g(selectionLock_);
    std::memcpy(mac, adapterMac_, 6);
}

void AcTransmitManage::SetAdapter(const std::string& deviceName, const std::uint8_t mac[6]) {
    std::lock_guard<std::mutex> g(selectionLock_);
    std::memset(deviceName_, 0, sizeof deviceName_);
    std::memcpy(deviceName_, deviceName.data(),
                std::min(deviceName.size(), sizeof deviceName_ - 1));
    std::memcpy(adapterMac_, mac, 6);
}

void AcTransmitManage::SendDiscovery() {
    CaptureHandle handle;
    if (!handle.Open(DeviceName(), 1))
        return;
    std::uint8_t mac[6];
    AdapterMac(mac);
    const TransmitFrame request = BuildDiscoveryRequest(mac);
    std::uint8_t buffer[kSendBufferSize] = {};
    std::memcpy(buffer, request.bytes, kFrameSize);
    handle.Send(buffer, kFrameSize);
}

void AcTransmitManage::ClearDeviceTable() {
    std::lock_guard<std::mutex> g(tableLock_);
    deviceTable_.clear();
    deviceKeys_.clear();
    answered_.clear();
    answeredKeys_.clear();
}

std::vector<std::string> AcTransmitManage::TakeAnsweredMacs() {
    std::lock_guard<std::mutex> g(tableLock_);
    std::vector<std::string> macs;
    macs.swap(answered_);
    answeredKeys_.clear();
    return macs;
}

std::size_t AcTransmitManage::DeviceTableSize() const {
    std::lock_guard<std::mutex> g(tableLock_);
    return deviceTable_.size();
}

void AcTransmitManage::HandleReply(const TransmitFrame& frame) {
    const std::string time = LocalTimeText();
    const std::string mac = MacTextUpper(frame.Source());
    std::lock_guard<std::mutex> g(tableLock_);
    const std::uint64_t key = AdapterSocket::MacKey(frame.Source());
    if (answeredKeys_.insert(key).second)
        answered_.push_back(mac);
    if (!deviceKeys_.insert(key).second)
        return;
    DiscoveredDevice device;
    std::memset(&device, 0, sizeof device);
    std::memcpy(device.macText, mac.c_str(), 17);
    std::memcpy(device.time, time.c_str(), std::min(time.size(), sizeof device.time - 1));
    std::memcpy(device.info, frame.bytes + frame::kDeviceInfo, frame::kDeviceInfoSize);
    deviceTable_.push_back(device);
    if (store_ != nullptr)
        store_->SaveDiscoveredDevice(device);
}

void AcTransmitManage::ReceiveLoop() {
    RunningCount running(runningReceive_);
    const std::string device = DeviceName();
    std::uint8_t mac[6];
    AdapterMac(mac);
    CaptureHandle handle;
    // The receive thread must absorb every device's answer to one broadcast
    // at once: its queue has room for some 26000 frames.
    const bool opened = handle.Open(device, 1, kReceiveBufferBytes);
    if (opened)
        handle.SetFilter(device, "ether dst " + MacTextLower(mac) + " and ether proto 0x6262");
    else
        QV_DIAGNOSTIC(1, "%s", handle.OpenError().c_str());
    {
        std::lock_guard<std::mutex> g(readyLock_);
        receiveReady_ = true;
        openError_ = opened ? std::string() : handle.OpenError();
    }
    readyCv_.notify_all();
    if (!opened)
        return;
    for (;;) {
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        const int rc = handle.Next(data, length);
        if (stopReceive_)
            break;
        if (rc != 1)
            continue;
        const TransmitFrame frame = FrameFromCapture(data, length);
        const std::uint16_t category = frame.Category();
        const std::uint16_t opcode = frame.Opcode();
        if (category == Discover && opcode == Reply) {
            {
                std::lock_guard<std::mutex> g(replyLock_);
                replyQueue_.push_back(frame);
            }
            SignalEvent();
            continue;
        }
        const bool paraResult = category == Para && (opcode == ParaSuccess || opcode == ParaFail);
        const bool logoResult = category == Logo && (opcode == LogoSuccess || opcode == LogoFail);
        if (paraResult || logoResult)
            HandleResult(frame);
    }
    ReportReceiveDrops();
}

void AcTransmitManage::HandleResult(const TransmitFrame& frame) {
    const std::uint16_t category = frame.Category();
    const std::uint16_t opcode = frame.Opcode();
    const std::string macText = MacTextUpper(frame.Source());
    const bool success = opcode == ParaSuccess || opcode == LogoSuccess;
    WriteOperationLog(macText, success, category == Para ? 1 : 2);
    verdicts_.Verdict(AdapterSocket::MacKey(frame.Source()), category, success, [&](bool ok) {
        if (store_ == nullptr)
            return;
        if (category == Para)
            store_->SetParaStatus(macText, ok ? OperateSuccess : OperateFail);
        else
            store_->SetLogStatus(macText, ok ? OperateSuccess : OperateFail);
    });
}

void AcTransmitManage::ManageLoop() {
    RunningCount running(runningManage_);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(eventLock_);
            eventCv_.wait(lock, [this] { return eventSignalled_; });
            eventSignalled_ = false; // auto-reset
        }
        if (stopManage_)
            return;
        std::deque<TransmitFrame> local;
        {
            std::lock_guard<std::mutex> g(replyLock_);
            local.swap(replyQueue_);
        }
        for (const TransmitFrame& f : local)
            HandleReply(f);
    }
}

void AcTransmitManage::GetAdapterList(std::vector<AdapterRecord>& list) {
    std::lock_guard<std::mutex> g(adapterLock_);
    list = AdapterListFromNodes(ReadLocalAdapterNodes());
}

bool AcTransmitManage::FindCaptureDevice(AdapterRecord record) {
    pcap_if_t* devices = nullptr;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    if (pcap_findalldevs(&devices, errbuf) == -1) {
        ShowMessage(TranslateText(std::string("pcap_findalldevs error")), MessageIcon::Exclamation);
        return false;
    }
    const std::string name(record.adapterName,
                           strnlen(record.adapterName, sizeof record.adapterName));
    std::vector<std::string> names;
    for (pcap_if_t* d = devices; d != nullptr; d = d->next)
        names.emplace_back(d->name != nullptr ? d->name : "");
    pcap_freealldevs(devices);
    const int pick = PickCaptureDevice(names, name);
    if (pick < 0)
        return false;
    std::lock_guard<std::mutex> g(selectionLock_);
    std::memset(deviceName_, 0, sizeof deviceName_);
    std::strncpy(deviceName_, names[static_cast<std::size_t>(pick)].c_str(),
                 sizeof deviceName_ - 1);
    return true;
}

bool AcTransmitManage::SelectAdapter(const AdapterRecord& record) {
    {
        std::lock_guard<std::mutex> g(selectionLock_);
        std::memcpy(adapterMac_, record.hardwareAddress, 6);
    }
    FindCaptureDevice(record);
    return Init();
}
