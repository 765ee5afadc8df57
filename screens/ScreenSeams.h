#pragma once

#include "link/AdapterInfo.h"
#include "link/TransferJob.h"
#include "payload/DeviceParams.h"
#include "payload/Submission.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QDialog;

// What the screens ask of the device link. The desktop program uses the
// transmit manager; tests hand in a fake so that no frame leaves a page test.
class ScreenLink {
public:
    virtual ~ScreenLink() = default;
    virtual std::vector<AdapterRecord> Adapters() = 0;
    // Local address, capture device and a restart of the receive/manage threads.
    virtual void SelectAdapter(const AdapterRecord& record) = 0;
    virtual void ClearDeviceTable() = 0;
    virtual void SendDiscovery() = 0;
    // The MACs that answered a discovery since the last call, each once, in
    // the order first heard, without clearing the device table.
    virtual std::vector<std::string> TakeAnsweredMacs() { return {}; }
    virtual std::array<std::uint8_t, 6> AdapterMac() = 0;
    virtual bool StartJob(const TransferJob& job) = 0;
    // Why the selected adapter cannot carry frames (no raw socket); empty when it can.
    virtual std::string LinkError() { return {}; }
};

// The transmit manager's link (the default).
ScreenLink& DefaultScreenLink();
// The link the screens use; null restores the default. Returns the previous one.
ScreenLink* SetScreenLink(ScreenLink* link);
ScreenLink& CurrentScreenLink();

// The adapter the status page selects first when it is listed (the demo
// segment's near end); empty: the first adapter, as usual.
void SetPreferredAdapter(const std::string& adapterName);
const std::string& PreferredAdapter();

class CSqlManagement;

// The parameter sheet layer as the parameter dialog needs it: export, open,
// read back. The default is the workbook layer of payload/; tests hand in
// their own.
class ParameterSheetBackend : public ParameterSheetSource {
public:
    // Writes the pre-filled sheet for devices; on success sheetPath is its path.
    virtual bool ExportSheet(const DeviceParams& templateParams,
                             const std::vector<std::string>& devices, std::string& sheetPath,
                             CSqlManagement& store) = 0;
    // The devices of the batch whose sheet is read next, in list order.
    virtual void SetBatch(const std::vector<std::string>& devices) { (void)devices; }
    // The MAC texts of the sheet's rows; false when the sheet cannot be read.
    virtual bool SheetMacs(const std::string& sheetPath, std::vector<std::string>& macs);
};
ParameterSheetBackend* SetParameterSheetBackend(ParameterSheetBackend* backend);
ParameterSheetBackend& CurrentParameterSheetBackend();

// Runs a modal dialog; tests replace it to drive the dialog themselves.
using DialogRunner = std::function<int(QDialog& dialog)>;
DialogRunner SetDialogRunner(DialogRunner runner);
int RunModalDialog(QDialog& dialog);
