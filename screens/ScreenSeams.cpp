#include "screens/ScreenSeams.h"

#include "link/AcTransmitManage.h"

#include <QDesktopServices>
#include <QDialog>
#include <QUrl>

namespace {

class TransmitManagerLink : public ScreenLink {
public:
    std::vector<AdapterRecord> Adapters() override {
        std::vector<AdapterRecord> list;
        AcTransmitManage::GetInstance()->GetAdapterList(list);
        return list;
    }
    void SelectAdapter(const AdapterRecord& record) override {
        AcTransmitManage::GetInstance()->SelectAdapter(record);
    }
    void ClearDeviceTable() override { AcTransmitManage::GetInstance()->ClearDeviceTable(); }
    void SendDiscovery() override { AcTransmitManage::GetInstance()->SendDiscovery(); }
    std::array<std::uint8_t, 6> AdapterMac() override {
        std::array<std::uint8_t, 6> mac{};
        AcTransmitManage::GetInstance()->AdapterMac(mac.data());
        return mac;
    }
    bool StartJob(const TransferJob& job) override { return StartTransferJob(job); }
};

// No workbook exporter yet: export fails, reading fails, opening uses the desktop.
class NoSheetBackend : public ParameterSheetBackend {
public:
    bool ExportSheet(const DeviceParams&, const std::vector<std::string>&, std::string&) override {
        return false;
    }
    bool ReadSheet(const std::string&, const DeviceParams&, int,
                   std::vector<DeviceParams>&) override {
        return false;
    }
    bool WlanColumns() const override { return false; }
    bool OpenSheet(const std::string& sheetPath) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(sheetPath)));
    }
};

ScreenLink* g_link = nullptr;
ParameterSheetBackend* g_sheet = nullptr;

DialogRunner& Runner() {
    static DialogRunner runner;
    return runner;
}

} // namespace

ScreenLink& DefaultScreenLink() {
    static TransmitManagerLink link;
    return link;
}

ScreenLink* SetScreenLink(ScreenLink* link) {
    ScreenLink* previous = g_link;
    g_link = link;
    return previous;
}

ScreenLink& CurrentScreenLink() {
    return g_link ? *g_link : DefaultScreenLink();
}

ParameterSheetBackend* SetParameterSheetBackend(ParameterSheetBackend* backend) {
    ParameterSheetBackend* previous = g_sheet;
    g_sheet = backend;
    return previous;
}

ParameterSheetBackend& CurrentParameterSheetBackend() {
    static NoSheetBackend none;
    return g_sheet ? *g_sheet : none;
}

DialogRunner SetDialogRunner(DialogRunner runner) {
    DialogRunner previous = std::move(Runner());
    Runner() = std::move(runner);
    return previous;
}

int RunModalDialog(QDialog& dialog) {
    if (Runner())
        return Runner()(dialog);
    return dialog.exec();
}
