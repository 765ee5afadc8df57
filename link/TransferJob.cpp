#include "link/TransferJob.h"

#include "link/AcTransmitManage.h"
#include "link/AdapterSocket.h"
#include "link/TransferRunner.h"
#include "link/TransmitFrame.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

namespace {
void CopyPath(char* field, std::size_t width, const std::string& text) {
    std::size_t n = text.size() < width - 1 ? text.size() : width - 1;
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::string FieldText(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

// Publishes a file's progress into the store at most once per interval per
// device (a job is one device), and its final value and counters at the end.
class ProgressPublisher {
public:
    static constexpr std::chrono::milliseconds kInterval{100};

    ProgressPublisher(CSqlManagement* store, std::string mac, bool live)
        : store_(store), mac_(std::move(mac)), live_(live && store != nullptr) {}

    SendFileProgress Hook(TransferFile file) {
        file_ = file;
        acknowledged_ = length_ = 0;
        if (!live_)
            return {};
        return [this](std::int64_t acknowledged, std::int64_t length) {
            acknowledged_ = acknowledged;
            length_ = length;
            const auto now = std::chrono::steady_clock::now();
            if (now - lastWrite_ < kInterval)
                return;
            lastWrite_ = now;
            store_->SetProgress(mac_, file_, acknowledged, length);
        };
    }

    void Finish(const SendFileStats& stats) {
        if (store_ == nullptr)
            return;
        if (live_ && acknowledged_ > 0)
            store_->SetProgress(mac_, file_, acknowledged_, length_);
        store_->AddTransmissions(mac_, file_, stats.transmissions,
                                 stats.transmissions - stats.chunks);
    }

private:
    CSqlManagement* store_;
    std::string mac_;
    bool live_;
    TransferFile file_ = TransferFile::Logo;
    std::int64_t acknowledged_ = 0, length_ = 0;
    std::chrono::steady_clock::time_point lastWrite_{};
};

bool SendOne(const TransferJob& job, FrameCategory category, std::uint16_t fileCount,
             const std::string& path, const std::function<std::string()>& deviceName,
             const TransferTiming& timing, ProgressPublisher& publisher) {
    // Bytes 0..13 of the job are the Ethernet header of every data frame.
    TransmitFrame tmpl = ZeroFrame();
    std::memcpy(tmpl.bytes, &job, 14);
    tmpl.Set16(frame::kCategory, category);
    tmpl.Set16(frame::kOpcode, category == Para ? ParaData : LogoData);
    tmpl.Set16(frame::kFileCount, fileCount);
    SendFileStats stats;
    const bool ok =
        SendFileOn(deviceName(), tmpl, category, path, MacTextUpper(job.deviceMac), timing, &stats,
                   publisher.Hook(category == Para ? TransferFile::Config : TransferFile::Logo));
    publisher.Finish(stats);
    return ok;
}
} // namespace

TransferJob MakeTransferJob(const std::uint8_t deviceMac[6], const std::uint8_t adapterMac[6],
                            int kind, const std::string& configPath, const std::string& logoPath) {
    TransferJob job;
    std::memset(&job, 0, sizeof job);
    std::memcpy(job.deviceMac, deviceMac, 6);
    std::memcpy(job.adapterMac, adapterMac, 6);
    job.etherType[0] = job.etherType[1] = 0x62;
    job.kind = kind;
    CopyPath(job.configPath, sizeof job.configPath, configPath);
    CopyPath(job.logoPath, sizeof job.logoPath, logoPath);
    return job;
}

void RunTransferJob(const TransferJob& job, const std::function<std::string()>& deviceName,
                    CSqlManagement* store, const TransferTiming& timing, bool liveProgress,
                    VerdictGate* gate) {
    const std::string mac = MacTextUpper(job.deviceMac);
    const std::uint64_t key = AdapterSocket::MacKey(job.deviceMac);
    ProgressPublisher publisher(store, mac, liveProgress);
    const std::string logo = FieldText(job.logoPath, sizeof job.logoPath);
    const std::string config = FieldText(job.configPath, sizeof job.configPath);
    // One file: sent, its transfer status written, then a verdict that
    // waited for it applied.
    const auto file = [&](FrameCategory category, std::uint16_t fileCount,
                          const std::string& path) {
        if (gate != nullptr)
            gate->Begin(key, category);
        const bool ok = SendOne(job, category, fileCount, path, deviceName, timing, publisher);
        const auto record = [&] {
            if (store == nullptr)
                return;
            const int status = ok ? TransmitFinish : TransmitFail;
            if (category == Logo)
                store->SetLogTransferStatus(mac, status);
            else
                store->SetParaTransferStatus(mac, status);
        };
        const auto apply = [&](bool success) {
            if (store == nullptr)
                return;
            const int status = success ? OperateSuccess : OperateFail;
            if (category == Logo)
                store->SetLogStatus(mac, status);
            else
                store->SetParaStatus(mac, status);
        };
        if (gate != nullptr)
            gate->End(key, category, ok, record, apply);
        else
            record();
    };
    if (job.kind == 1) {
        file(Logo, 1, logo);
    } else if (job.kind == 2) {
        file(Para, 1, config);
    } else {
        file(Logo, 2, logo);
        file(Para, 2, config);
    }
}

void MarkTransferJobFailed(const TransferJob& job, CSqlManagement* store) {
    if (store == nullptr)
        return;
    const std::string mac = MacTextUpper(job.deviceMac);
    if (job.kind != 2)
        store->SetLogStatus(mac, TransmitFail);
    if (job.kind != 1)
        store->SetParaStatus(mac, TransmitFail);
}

bool StartTransferJob(const TransferJob& job) {
    // The thread owns its copy of the job; the store and the manager are never
    // destroyed under it.
    for (int attempt = 0; attempt < 5; ++attempt) {
        try {
            std::thread t([copy = job] {
                AcTransmitManage* manager = AcTransmitManage::GetInstance();
                RunTransferJob(
                    copy, [manager] { return manager->DeviceName(); },
                    CSqlManagement::GetInstance(), {}, true, &manager->Verdicts());
            });
            t.detach();
            return true;
        } catch (const std::system_error&) {
        }
    }
    // A job that cannot start would otherwise stay "Operating" for ever.
    MarkTransferJobFailed(job, CSqlManagement::GetInstance());
    return false;
}
