#pragma once

#include "payload/DeviceParams.h"
#include "payload/Submission.h"

#include <QDateTime>
#include <string>
#include <vector>

class CSqlManagement;
class XlsSheet;

// The per-device parameter sheet: exported from ExcelTemplate/Template.xls
// into ModifyExcel/, opened in the desktop's spreadsheet program, read back
// into one DeviceParams per device. Main thread only.

// The process-wide radio columns flag: set by each export from its first
// device, read by the reading back and the validation.
bool WlanColumns();
void SetWlanColumns(bool on);

// The header texts of the sheet's columns, left to right, for a template
// record and the radio columns flag.
std::vector<std::string> ParameterSheetHeaders(const DeviceParams& templateParams,
                                               bool wlanColumns);

// Writes the sheet for devices (MAC texts, in list order) from the template
// workbook; sheetPath receives its path. Refused (false) when a template value
// was cut (CheckTemplateValues). "Failed to load the excel file!" when the
// copied template cannot be loaded; false then, when there is no sheet 0 and
// when the sheet cannot be written. Files are new 0600 files renamed into place.
bool ExportParameterSheet(const DeviceParams& templateParams,
                          const std::vector<std::string>& devices, std::string& sheetPath,
                          CSqlManagement& store);
// The same at a given local time (the file name carries it to the second).
bool ExportParameterSheet(const DeviceParams& templateParams,
                          const std::vector<std::string>& devices, std::string& sheetPath,
                          CSqlManagement& store, const QDateTime& now);

// Asks the desktop to open the sheet with its spreadsheet program; false, and
// nothing started, in a process without a GUI application.
bool OpenSheetInShell(const std::string& sheetPath);

// A cell's text, cut to at most 127 bytes on a character boundary; *cut tells
// whether it was longer. A cell without text reads as empty.
std::string ReadCell(const XlsSheet& sheet, int row, int col, bool* cut = nullptr);

// The MAC texts of the sheet's rows below its header, in row order, each
// once (blank rows passed over). Rows are matched to devices by their exact
// text as exported ("AA:BB:CC:DD:EE:FF"). Outcome Unreadable when the file is
// not a workbook with a first sheet; BadRow when a row's MAC cell is not a MAC
// as exported (badRow: its 1-based row number, badText: the cell's text).
enum class SheetMacsOutcome { Read, Unreadable, BadRow };
SheetMacsOutcome ReadParameterSheetMacs(const std::string& sheetPath,
                                        std::vector<std::string>& macs, int* badRow = nullptr,
                                        std::string* badText = nullptr);

// Reads rows 1..deviceCount in row order into records (replacing them);
// false, leaving records as they were, when the sheet cannot be loaded or its
// cell (0, 0) does not begin with "mac".
bool ReadParameterSheet(const std::string& sheetPath, const DeviceParams& templateParams,
                        int deviceCount, std::vector<DeviceParams>& records);

// Reads the sheet and gives records in the order of devices, each device
// matched to the row whose MAC cell (trimmed) equals its MAC text, so sorting
// the rows in the spreadsheet program cannot hand one device another's
// values. A device without a row, or a MAC on two rows, is refused with a
// message naming the MAC. With detectWlanColumns (a process that did not
// export the sheet) the whole header row must be the one exported for this
// template, with or without the radio columns, which sets the radio columns
// flag; a header that differs is refused with a message naming its first
// differing column.
bool ReadParameterSheetByMac(const std::string& sheetPath, const DeviceParams& templateParams,
                             const std::vector<std::string>& devices,
                             std::vector<DeviceParams>& records, bool detectWlanColumns = false);

// Whether the last ReadParameterSheet or ReadParameterSheetByMac of this thread
// was refused with its own message naming the fault (a header column, a MAC
// without a row or on two rows), so that no general message need follow.
bool LastSheetReadToldWhy();

// The sheet step of CParameterSubmission for one batch of devices.
class CParameterSheet : public ParameterSheetSource {
public:
    explicit CParameterSheet(std::vector<std::string> devices, bool detectWlanColumns = false)
        : devices_(std::move(devices)), detectWlanColumns_(detectWlanColumns) {}
    bool ReadSheet(const std::string& sheetPath, const DeviceParams& templateParams,
                   int deviceCount, std::vector<DeviceParams>& records) override;
    bool WlanColumns() const override;
    bool OpenSheet(const std::string& sheetPath) override;
    bool ReadRefusalShown() const override { return LastSheetReadToldWhy(); }

private:
    std::vector<std::string> devices_;
    bool detectWlanColumns_;
};
