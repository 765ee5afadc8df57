#pragma once

#include "xls/XlsCompoundFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class XlsWorkbook;

// The first worksheet of a loaded workbook; owned by its workbook.
class XlsSheet {
public:
    // The cell's text (UTF-8): strings as stored, numbers as their shortest
    // decimal text, booleans "TRUE"/"FALSE", errors as "#N/A" and the like,
    // formulas as their cached result, blanks as "". nullopt: no such cell.
    std::optional<std::string> ReadStr(int row, int col) const;
    // Makes (row, col) a text cell holding text (UTF-8). It keeps the format of
    // the cell it replaces, else takes its column's format, else a text format.
    // False for a position outside the sheet or a text over 65535 UTF-16 units.
    bool WriteStr(int row, int col, const std::string& text);
    // One past the last row that holds a cell; 0 for an empty sheet.
    int RowCount() const;

private:
    friend class XlsWorkbook;
    explicit XlsSheet(XlsWorkbook& book) : book_(book) {}
    XlsWorkbook& book_;
};

// An .xls (BIFF8) workbook. Only the first sheet's cells are read and written;
// saving rewrites the workbook record by record and keeps every record,
// sheet and container stream it did not change. Encrypted, damaged or hostile
// files fail to load without crashing and without large allocations.
class XlsWorkbook {
public:
    static std::unique_ptr<XlsWorkbook> Create();
    ~XlsWorkbook();
    XlsWorkbook(const XlsWorkbook&) = delete;
    XlsWorkbook& operator=(const XlsWorkbook&) = delete;

    bool Load(const std::string& path);
    bool LoadFromMemory(const std::vector<uint8_t>& image);
    // Sheet 0 only (the sheet the program works on); nullptr for any other
    // index or when nothing is loaded.
    XlsSheet* GetSheet(int index);
    bool Save(const std::string& path) const;
    std::vector<uint8_t> SaveToMemory() const;
    // Ends the workbook object (the unique_ptr's deleter does the same).
    static void Release(std::unique_ptr<XlsWorkbook>& book) { book.reset(); }

    // Files larger than this are refused before they are read.
    static constexpr size_t kMaxFileSize = 64u << 20;

private:
    friend class XlsSheet;
    XlsWorkbook();

    struct Record {
        uint16_t type;
        uint16_t len;
        uint32_t off; // of the record header in stream_
    };
    struct Substream {
        size_t first, last; // record indexes of BOF and EOF
    };
    struct SstString {
        uint32_t charOff; // into sstChars_
        uint32_t cch;
        uint32_t extraOff; // runs and phonetic block, into sstExtra_
        uint16_t runs;
        uint32_t ext;
    };
    enum CellKind : uint8_t { Original, FromMulRk, FromMulBlank, NewText, NewBlank };
    struct Cell {
        uint16_t row, col, xf;
        uint8_t kind, sub;
        uint32_t rec, recEnd; // record range; for NewText rec is the string index
    };

    void Clear();
    bool LoadContainer(const std::vector<uint8_t>& image);
    bool ParseStream();
    bool Parse();
    bool ParseSst(size_t first, size_t end);
    bool ParseSheet0();
    // One past the last record of the cell whose record is i (last: the substream's EOF).
    size_t CellEnd(size_t i, size_t last) const;
    // The string at offset in record rec, continued in the CONTINUE records before end.
    std::string ContinuedText(size_t rec, size_t end, size_t offset) const;
    std::string SstText(uint32_t index) const;
    std::optional<std::string> CellText(const Cell& cell) const;
    uint16_t FormatForNewCell(int col);
    uint32_t InternString(const std::u16string& text);
    const uint8_t* Data(size_t rec) const { return stream_.data() + records_[rec].off + 4; }
    void WriteSst(std::vector<uint8_t>& out) const;
    void WriteSheet0(std::vector<uint8_t>& out) const;

    bool loaded_ = false;
    XlsCompoundFile container_; // without the workbook stream, which is in stream_
    std::u16string streamName_; // the name it was found by
    std::vector<uint8_t> stream_;
    std::vector<Record> records_;
    std::vector<Substream> substreams_; // [0] globals
    size_t trailer_ = 0;                // stream offset of bytes after the last substream
    size_t sheet0_ = 0;                 // index into substreams_
    std::vector<size_t> boundSheets_;   // record indexes
    // Shared strings.
    std::vector<char16_t> sstChars_;
    std::vector<uint8_t> sstExtra_;
    std::vector<SstString> sst_;
    size_t originalSstCount_ = 0;
    uint32_t sstTotal_ = 0;
    uint32_t sheet0SstRefs_ = 0;
    size_t sstRecord_ = SIZE_MAX, sstEnd_ = 0; // SST record and one past its CONTINUEs
    // Plain shared strings ordered by content, built on the first write (4
    // bytes a string, so a hostile table cannot blow it up).
    std::vector<uint32_t> stringIndex_;
    bool stringIndexBuilt_ = false;
    // Formats.
    size_t lastXfRecord_ = SIZE_MAX;
    uint32_t xfCount_ = 0;
    size_t firstCellXf_ = SIZE_MAX;
    int textXf_ = -1;        // a cell format with the text number format
    bool addTextXf_ = false; // textXf_ is a new record written after the last XF
    struct ColumnFormat {
        uint16_t first, last, xf;
    };
    std::vector<ColumnFormat> columns_;
    // Sheet 0.
    std::vector<Cell> cells_;                       // sorted by row, then column
    std::vector<std::pair<uint16_t, size_t>> rows_; // ROW records by row, sorted
    std::unique_ptr<XlsSheet> sheet_;
};
