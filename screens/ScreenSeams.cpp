#include "screens/ScreenSeams.h"

#include "link/AcTransmitManage.h"
#include "payload/ParameterSheet.h"

#include <QDialog>

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
    std::vector<std::string> TakeAnsweredMacs() override {
        return AcTransmitManage::GetInstance()->TakeAnsweredMacs();
    }
    std::array<std::uint8_t, 6> AdapterMac() override {
        std::array<std::uint8_t, 6> mac{};
        AcTransmitManage::GetInstance()->AdapterMac(mac.data());
        return mac;
    }
    bool StartJob(const TransferJob& job) override { return StartTransferJob(job); }
    std::string LinkError() override { return AcTransmitManage::GetInstance()->OpenError(); }
};

// The workbook layer. The sheet is read back row by MAC, so rows sorted in
// the spreadsheet program still reach their own devices.
class WorkbookSheetBackend : public ParameterSheetBackend {
public:
    bool ExportSheet(const DeviceParams& templateParams, const std::vector<std::string>& devices,
                     std::string& sheetPath, CSqlManagement& store) override {
        return ExportParameterSheet(templateParams, devices, sheetPath, store);
    }
    void SetBatch(const std::vector<std::string>& devices) override { batch_ = devices; }
    bool ReadSheet(const std::string& sheetPath, const DeviceParams& templateParams,
                   int deviceCount, std::vector<DeviceParams>& records) override {
        if (static_cast<int>(batch_.size()) != deviceCount)
            return ReadParameterSheet(sheetPath, templateParams, deviceCount, records);
        return ReadParameterSheetByMac(sheetPath, templateParams, batch_, records);
    }
    bool WlanColumns() const override { return ::WlanColumns(); }
    bool OpenSheet(const std::string& sheetPath) override { return OpenSheetInShell(sheetPath); }
    bool ReadRefusalShown() const override { return LastSheetReadToldWhy(); }

private:
    std::vector<std::string> batch_;
};

ScreenLink* g_link = nullptr;
ParameterSheetBackend* g_sheet = nullptr;

DialogRunner& Runner() {
    static DialogRunner runner;
    return runner;
}

} // namespace

bool ParameterSheetBackend::SheetMacs(const std::string& sheetPath,
                                      std::vector<std::string>& macs) {
    return ReadParameterSheetMacs(sheetPath, macs) == SheetMacsOutcome::Read;
}

std::string& PreferredAdapterName() {
    static std::string name;
    return name;
}

void SetPreferredAdapter(const std::string& adapterName) {
    PreferredAdapterName() = adapterName;
}

const std::string& PreferredAdapter() {
    return PreferredAdapterName();
}

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
    static WorkbookSheetBackend workbook;
    return g_sheet ? *g_sheet : workbook;
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
