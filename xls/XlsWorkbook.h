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
// files fail to load without crashing and without large allocations; loading
// takes at most four times the file's size, whatever its records.
// Of two cell records at one place the later value wins, and a blank (a
// format without a value) replaces only another blank, as the spreadsheet
// programs read such a sheet.
class XlsWorkbook {
public:
    static std::unique_ptr<XlsWorkbook> Create();
    ~XlsWorkbook();
    XlsWorkbook(const XlsWorkbook&) = delete;
    XlsWorkbook& operator=(const XlsWorkbook&) = delete;

    // A regular file (a link to one is followed) of at most kMaxFileSize bytes.
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
    static constexpr size_t kMaxFileSize = 16u << 20;

private:
    friend class XlsSheet;
    XlsWorkbook();

    struct Record {
        uint16_t type;
        uint16_t len;
        uint32_t off; // of the record header in stream_
    };
    struct Substream {
        uint32_t first, last; // record indexes of BOF and EOF
    };
    // A shared string: its characters run up to the next string's (or the
    // end of sstChars_); formatting runs and phonetic data, where it has
    // them, in sstRich_.
    struct SstString {
        uint32_t charOff; // into sstChars_
        uint32_t rich;    // index into sstRich_, or kNone
    };
    struct SstRich {
        uint32_t extraOff; // runs and phonetic block, into sstExtra_
        uint32_t ext;
        uint16_t runs;
    };
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    // A cell of sheet 0 in four bytes, so that no record shape makes the
    // cells take more memory than their records: the index of its record
    // (bits 8-30) and its entry in a MULRK or MULBLANK (bits 0-7); or, with
    // kNewCell set, an index into newCells_ for a cell written since loading.
    using Cell = uint32_t;
    static constexpr Cell kNewCell = 0x80000000u;
    static constexpr size_t kMaxRecords = size_t(1) << 23;
    struct NewCell {
        uint16_t row, col, xf;
        bool text;       // else a blank
        uint32_t string; // shared string index
    };
    // Cells of the first sheet at most: every position of a BIFF8 sheet once.
    static constexpr size_t kMaxCells = size_t(65536) * 256;

    void Clear();
    bool LoadContainer(const std::vector<uint8_t>& image);
    bool ParseStream();
    bool Parse();
    bool ParseSst(size_t first, size_t end, bool store);
    bool ParseSheet0();
    // One past the last record of the cell whose record is i (last: the substream's EOF).
    size_t CellEnd(size_t i, size_t last) const;
    // The string at offset in record rec, continued in the CONTINUE records before end.
    std::string ContinuedText(size_t rec, size_t end, size_t offset) const;
    std::string SstText(uint32_t index) const;
    uint32_t SstLength(uint32_t index) const;
    const char16_t* SstChars(uint32_t index) const {
        return sstChars_.data() + sst_[index].charOff;
    }
    static Cell RecordCell(size_t rec, size_t sub) { return Cell(rec << 8 | sub); }
    static bool IsNew(Cell c) { return c & kNewCell; }
    uint16_t CellRow(Cell c) const;
    uint16_t CellCol(Cell c) const;
    uint32_t CellKey(Cell c) const { return uint32_t(CellRow(c)) << 8 | CellCol(c); }
    uint16_t CellXf(Cell c) const;
    // Adds a cell read from the file; of two at one place, Replaces() picks one.
    void AddCell(Cell c);
    bool Replaces(Cell later, Cell earlier) const;
    // Sorts the cells by place, keeping one of two at one place as AddCell does.
    void SortCells();
    // The first cell at or after (row, col) in cells_.
    std::vector<Cell>::iterator FindCell(int row, int col);
    std::optional<std::string> CellText(Cell cell) const;
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
    std::vector<SstRich> sstRich_;
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
    std::vector<Cell> cells_; // sorted by row, then column, once loaded
    bool cellsSorted_ = true;
    std::vector<NewCell> newCells_;
    std::vector<std::pair<uint16_t, uint32_t>> rows_; // ROW records by row, sorted
    std::unique_ptr<XlsSheet> sheet_;
};
