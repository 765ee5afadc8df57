#include "payload/ParameterSheet.h"

#include "base/FileUtil.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "base/SafeFile.h"
#include "link/TransmitFrame.h"
#include "payload/ConfigXml.h"
#include "records/CSqlManagement.h"
#include "records/DeviceRecord.h"
#include "xls/XlsWorkbook.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

namespace {
// Whether the last read on this thread was refused with a message of its own
// that names the row, MAC or column at fault.
thread_local bool t_refusalTold = false;

void Refuse(const std::string& text) {
    ShowMessage(text, MessageIcon::Exclamation, std::string());
    t_refusalTold = true;
}
} // namespace

bool LastSheetReadToldWhy() {
    return t_refusalTold;
}

namespace {

bool g_wlanColumns = false;

constexpr size_t kCellBytes = 127;
// Columns of a BIFF8 sheet.
constexpr int kSheetColumns = 256;

long NumberValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (v < 100000000)
            v = v * 10 + (text[i] - '0');
    return negative ? -v : v;
}

std::string Trimmed(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return std::string(text.substr(b, e - b));
}

template <size_t N> std::string Stored(const char (&field)[N]) {
    return Trimmed(std::string_view(field, strnlen(field, N)));
}

std::string Format(const char* format, int value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

bool HasVid(const DeviceParams& t, int j) {
    return NumberValue(FieldText(t.vid[j])) != 0;
}
bool HasPpp(const DeviceParams& t, int j) {
    return NumberValue(FieldText(t.channelMode[j])) == 2;
}

int WanCount(const DeviceParams& t) {
    return std::clamp(int(t.wanCount), 0, 10);
}

// A stored radio value is present when the store handed it back padded to
// its full width of 33 characters.
bool HasStoredValue(const char (&field)[34]) {
    return strnlen(field, sizeof field) > 32;
}

// Reads one cell into a field; a text cut by ReadCell or by the field stays
// marked so that validation refuses it.
template <size_t N>
void ReadInto(const XlsSheet& sheet, int row, int& col, char (&field)[N], bool& overflow) {
    bool cut = false;
    std::string text = ReadCell(sheet, row, col++, &cut);
    overflow = CopyToField(field, text) || cut;
}

// Header scan of the WAN groups from column 1.
int ScanWanGroups(const XlsSheet& sheet, const DeviceParams& t, int& col) {
    col = 1;
    for (int i = 1; i <= 10; ++i) {
        int c = col;
        std::string want = Format("WanName%d", i);
        if (ReadCell(sheet, 0, c++).compare(0, want.size(), want) != 0)
            return i - 1;
        if (HasVid(t, i - 1) && ReadCell(sheet, 0, c++) != Format("vid%d", i))
            return i - 1;
        if (HasPpp(t, i - 1)) {
            if (ReadCell(sheet, 0, c++) != Format("pppUser%d", i) ||
                ReadCell(sheet, 0, c++) != Format("pppPassword%d", i))
                return i - 1;
        }
        col = c;
    }
    return 10;
}

DeviceParams ReadRow(const XlsSheet& sheet, const DeviceParams& t, int row, int wanCount,
                     bool trimMac = false) {
    DeviceParams p{};
    ZeroDeviceParams(p);
    int col = 0;
    ReadInto(sheet, row, col, p.mac, p.overflow.mac);
    if (trimMac)
        CopyToField(p.mac, Trimmed(FieldText(p.mac)));
    for (int j = 0; j < wanCount; ++j) {
        ReadInto(sheet, row, col, p.wanName[j], p.overflow.wanName[j]);
        if (HasVid(t, j))
            ReadInto(sheet, row, col, p.vid[j], p.overflow.vid[j]);
        if (HasPpp(t, j)) {
            ReadInto(sheet, row, col, p.pppUser[j], p.overflow.pppUser[j]);
            ReadInto(sheet, row, col, p.pppPassword[j], p.overflow.pppPassword[j]);
        }
    }
    if (g_wlanColumns) {
        if (t.dualBand == 1) {
            ReadInto(sheet, row, col, p.ssid5g, p.overflow.ssid5g);
            ReadInto(sheet, row, col, p.wlanPsk5g, p.overflow.wlanPsk5g);
        }
        ReadInto(sheet, row, col, p.ssid24g, p.overflow.ssid24g);
        ReadInto(sheet, row, col, p.wlanPsk24g, p.overflow.wlanPsk24g);
    }
    ReadInto(sheet, row, col, p.loid, p.overflow.loid);
    ReadInto(sheet, row, col, p.loidPassword, p.overflow.loidPassword);
    ReadInto(sheet, row, col, p.ploamPassword, p.overflow.ploamPassword);
    ReadInto(sheet, row, col, p.loginPassword, p.overflow.loginPassword);
    p.wanCount = wanCount;
    return p;
}

// The first column at which the header row differs from want: a header cell
// of another text, or any text after the last one.
int FirstDifferentColumn(const XlsSheet& sheet, const std::vector<std::string>& want) {
    for (size_t c = 0; c < want.size(); ++c)
        if (ReadCell(sheet, 0, int(c)) != want[c])
            return int(c);
    for (int c = int(want.size()); c < kSheetColumns; ++c)
        if (!ReadCell(sheet, 0, c).empty())
            return c;
    return -1;
}

// A sheet this process did not export: its whole header row must be the one
// exported for this template, with or without the radio columns, and that
// decides the radio columns flag. Otherwise shows which column differs.
bool MatchWholeHeader(const XlsSheet& sheet, const DeviceParams& t) {
    const std::vector<std::string> withRadio = ParameterSheetHeaders(t, true);
    const std::vector<std::string> withoutRadio = ParameterSheetHeaders(t, false);
    const int radioDiff = FirstDifferentColumn(sheet, withRadio);
    const int plainDiff = FirstDifferentColumn(sheet, withoutRadio);
    if (radioDiff < 0 || plainDiff < 0) {
        g_wlanColumns = radioDiff < 0;
        return true;
    }
    // Name the column against the layout the sheet follows further; where both
    // part at the same column, a radio header there tells which.
    const bool radio =
        radioDiff > plainDiff ||
        (radioDiff == plainDiff && ReadCell(sheet, 0, radioDiff).rfind("ssid_", 0) == 0);
    const std::vector<std::string>& want = radio ? withRadio : withoutRadio;
    const int c = radio ? radioDiff : plainDiff;
    const std::string expected =
        size_t(c) < want.size() ? "\"" + want[size_t(c)] + "\"" : std::string("nothing");
    Refuse("Column " + std::to_string(c + 1) + " of the parameter sheet's header is \"" +
           ReadCell(sheet, 0, c) + "\" where this template has " + expected + ".");
    return false;
}

// Loads the sheet and checks its header; the WAN count found, or -1.
int OpenSheet(const std::string& path, const DeviceParams& t, std::unique_ptr<XlsWorkbook>& book,
              bool detectWlanColumns) {
    book = XlsWorkbook::Create();
    if (!book || !book->Load(path) || !book->GetSheet(0))
        return -1;
    const XlsSheet& sheet = *book->GetSheet(0);
    if (ReadCell(sheet, 0, 0).compare(0, 3, "mac") != 0)
        return -1;
    int col = 1;
    int wanCount = ScanWanGroups(sheet, t, col);
    if (detectWlanColumns && !MatchWholeHeader(sheet, t))
        return -1;
    return wanCount;
}

} // namespace

bool WlanColumns() {
    return g_wlanColumns;
}
void SetWlanColumns(bool on) {
    g_wlanColumns = on;
}

std::vector<std::string> ParameterSheetHeaders(const DeviceParams& t, bool wlanColumns) {
    std::vector<std::string> h{"mac(*This column cannot be modified*)"};
    for (int j = 0; j < WanCount(t); ++j) {
        h.push_back(Format("WanName%d(*This column cannot be modified*)", j + 1));
        if (HasVid(t, j))
            h.push_back(Format("vid%d", j + 1));
        if (HasPpp(t, j)) {
            h.push_back(Format("pppUser%d", j + 1));
            h.push_back(Format("pppPassword%d", j + 1));
        }
    }
    if (wlanColumns) {
        if (t.dualBand == 1) {
            h.push_back("ssid_5g");
            h.push_back("wlanPsk_5g");
        }
        h.push_back("ssid_2.4g");
        h.push_back("wlanPsk_2.4g");
    }
    for (const char* name : {"loid", "loidPassword", "ploamPassword", "loginPassword"})
        h.push_back(name);
    return h;
}

bool ExportParameterSheet(const DeviceParams& t, const std::vector<std::string>& devices,
                          std::string& sheetPath, CSqlManagement& store) {
    return ExportParameterSheet(t, devices, sheetPath, store, QDateTime::currentDateTime());
}

bool ExportParameterSheet(const DeviceParams& t, const std::vector<std::string>& devices,
                          std::string& sheetPath, CSqlManagement& store, const QDateTime& now) {
    if (!CheckTemplateValues(t))
        return false;
    const std::string dir = GetProgramDirectory();
    const std::string templatePath = GetResourceDirectory() + "ExcelTemplate/Template.xls";
    char name[96];
    const QDate d = now.date();
    const QTime tm = now.time();
    std::snprintf(name, sizeof name, "ModifyExcel/ExcelFiels%04d-%02d-%02d-%02d-%02d-%02d.xls",
                  d.year(), d.month(), d.day(), tm.hour(), tm.minute(), tm.second());
    const std::string path = dir + name;
    // The copy is a new 0600 file renamed into place, never written through a
    // link planted at its name; a missing template or folder leaves no copy.
    if (std::optional<std::string> bytes = ReadWholeFile(templatePath, XlsWorkbook::kMaxFileSize))
        WriteWholeFile(path, *bytes);

    auto book = XlsWorkbook::Create();
    if (!book)
        return false;
    if (!book->Load(path)) {
        ShowMessage(TranslateText(std::string("Failed to load the excel file!")),
                    MessageIcon::Exclamation, kAppCaption);
        return false;
    }
    XlsSheet* sheet = book->GetSheet(0);
    if (!sheet)
        return false;
    std::vector<std::string> headers;
    for (size_t k = 0; k < devices.size(); ++k) {
        const std::string& mac = devices[k];
        ap_info_stu rec{};
        const bool found = store.GetDeviceByMac(mac, rec);
        if (k == 0) {
            g_wlanColumns = found && HasStoredValue(rec.ap_ssid2) && HasStoredValue(rec.ap_ssid5);
            headers = ParameterSheetHeaders(t, g_wlanColumns);
            for (size_t c = 0; c < headers.size(); ++c)
                sheet->WriteStr(0, int(c), headers[c]);
        }
        const int row = int(k) + 1;
        int col = 0;
        auto put = [&](std::string_view text) { sheet->WriteStr(row, col++, std::string(text)); };
        put(mac);
        for (int j = 0; j < WanCount(t); ++j) {
            put(FieldText(t.wanName[j]));
            if (HasVid(t, j))
                put(FieldText(t.vid[j]));
            if (HasPpp(t, j)) {
                put(FieldText(t.pppUser[j]));
                put(FieldText(t.pppPassword[j]));
            }
        }
        if (g_wlanColumns) {
            if (t.dualBand == 1) {
                put(found ? Stored(rec.ap_ssid5) : std::string());
                put(found ? Stored(rec.ap_wpakey5) : std::string());
            }
            put(found ? Stored(rec.ap_ssid2) : std::string());
            put(found ? Stored(rec.ap_wpakey2) : std::string());
        }
        put(FieldText(t.loid));
        put(FieldText(t.loidPassword));
        put(FieldText(t.ploamPassword));
        put(FieldText(t.loginPassword));
    }
    const bool saved = book->Save(path);
    XlsWorkbook::Release(book);
    if (!saved)
        return false;
    sheetPath = path;
    return true;
}

bool OpenSheetInShell(const std::string& sheetPath) {
    const QString path = QString::fromStdString(sheetPath);
    // Only the desktop program opens the sheet: a program without windows
    // never starts another program (one found through PATH could be anyone's).
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return false;
}

std::string ReadCell(const XlsSheet& sheet, int row, int col, bool* cut) {
    std::string text = sheet.ReadStr(row, col).value_or(std::string());
    bool longer = text.size() > kCellBytes;
    if (longer) {
        size_t end = kCellBytes;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        text.resize(end);
    }
    if (cut)
        *cut = longer;
    return text;
}

bool ReadParameterSheet(const std::string& sheetPath, const DeviceParams& t, int deviceCount,
                        std::vector<DeviceParams>& records) {
    t_refusalTold = false;
    std::unique_ptr<XlsWorkbook> book;
    int wanCount = OpenSheet(sheetPath, t, book, false);
    if (wanCount < 0)
        return false;
    records.clear();
    const XlsSheet& sheet = *book->GetSheet(0);
    for (int r = 1; r <= deviceCount; ++r)
        records.push_back(ReadRow(sheet, t, r, wanCount));
    XlsWorkbook::Release(book);
    return true;
}

bool ReadParameterSheetByMac(const std::string& sheetPath, const DeviceParams& t,
                             const std::vector<std::string>& devices,
                             std::vector<DeviceParams>& records, bool detectWlanColumns) {
    t_refusalTold = false;
    std::unique_ptr<XlsWorkbook> book;
    int wanCount = OpenSheet(sheetPath, t, book, detectWlanColumns);
    if (wanCount < 0)
        return false;
    const XlsSheet& sheet = *book->GetSheet(0);
    std::map<std::string, int> wanted;
    for (const std::string& mac : devices)
        wanted.emplace(mac, 0);
    const int rows = sheet.RowCount();
    for (int r = 1; r < rows; ++r) {
        auto it = wanted.find(Trimmed(sheet.ReadStr(r, 0).value_or(std::string())));
        if (it == wanted.end())
            continue;
        if (it->second != 0) {
            Refuse("The MAC:" + it->first +
                   " appears in more than one row of the parameter sheet.");
            return false;
        }
        it->second = r;
    }
    std::vector<DeviceParams> out;
    out.reserve(devices.size());
    for (const std::string& mac : devices) {
        int row = wanted[mac];
        if (row == 0) {
            Refuse("The MAC:" + mac + " has no row in the parameter sheet.");
            return false;
        }
        out.push_back(ReadRow(sheet, t, row, wanCount, true));
    }
    records = std::move(out);
    return true;
}

bool CParameterSheet::ReadSheet(const std::string& sheetPath, const DeviceParams& templateParams,
                                int deviceCount, std::vector<DeviceParams>& records) {
    if (devices_.empty())
        return ReadParameterSheet(sheetPath, templateParams, deviceCount, records);
    return ReadParameterSheetByMac(sheetPath, templateParams, devices_, records,
                                   detectWlanColumns_);
}

bool CParameterSheet::WlanColumns() const {
    return g_wlanColumns;
}

bool CParameterSheet::OpenSheet(const std::string& sheetPath) {
    return OpenSheetInShell(sheetPath);
}

SheetMacsOutcome ReadParameterSheetMacs(const std::string& sheetPath,
                                        std::vector<std::string>& macs, int* badRow,
                                        std::string* badText) {
    auto book = XlsWorkbook::Create();
    if (!book || !HasSuffix(sheetPath, ".xls") || !book->Load(sheetPath) || !book->GetSheet(0))
        return SheetMacsOutcome::Unreadable;
    const XlsSheet& sheet = *book->GetSheet(0);
    std::vector<std::string> found;
    for (int row = 1; row < sheet.RowCount(); ++row) {
        std::string text = ReadCell(sheet, row, 0);
        text.erase(0, text.find_first_not_of(" \t\r\n"));
        text.erase(text.find_last_not_of(" \t\r\n") + 1);
        if (text.empty())
            continue;
        std::uint8_t mac[6];
        if (!ParseMacText(text, mac) || MacTextUpper(mac) != text) {
            if (badRow)
                *badRow = row + 1;
            if (badText)
                *badText = text;
            return SheetMacsOutcome::BadRow;
        }
        if (std::find(found.begin(), found.end(), text) == found.end())
            found.push_back(text);
    }
    macs.insert(macs.end(), found.begin(), found.end());
    return SheetMacsOutcome::Read;
}
