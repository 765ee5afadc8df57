#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Builds small BIFF8 workbooks record by record, so that a test can show one
// record shape exactly as another program writes it.
namespace biff {

// Little-endian record data.
struct Data {
    std::vector<uint8_t> bytes;
    Data& u8(uint8_t v);
    Data& u16(uint16_t v);
    Data& u32(uint32_t v);
    Data& f64(double v);
    Data& raw(const std::vector<uint8_t>& b);
    // One byte a character (the compressed form) or two, as the flag says.
    Data& chars(const std::u16string& s, bool high);
    operator const std::vector<uint8_t>&() const { return bytes; }
};

using RecordList = std::vector<std::pair<uint16_t, std::vector<uint8_t>>>;

void Append(std::vector<uint8_t>& out, uint16_t type, const std::vector<uint8_t>& data);

// A piece of a string that continues over records: its characters and
// whether they are stored as UTF-16 (else one byte each).
struct Piece {
    std::u16string text;
    bool high;
};
// A string record of type whose data starts with prefix, then a string
// header and the first piece; each further piece in a CONTINUE record that
// starts with the piece's encoding flag.
std::vector<uint8_t> ContinuedString(uint16_t type, const std::vector<uint8_t>& prefix,
                                     const std::vector<Piece>& pieces);

// A workbook stream: globals (BOF, globalRecords, one BOUNDSHEET, EOF) and
// one worksheet (BOF, DIMENSIONS, sheetRecords, WINDOW2, EOF). biffVersion
// is the BOF's version field (0x0600 for BIFF8).
std::vector<uint8_t> Stream(const std::vector<uint8_t>& globalRecords,
                            const std::vector<uint8_t>& sheetRecords,
                            uint16_t biffVersion = 0x0600);
// A compound file holding stream under name.
std::vector<uint8_t> Image(const std::vector<uint8_t>& stream,
                           const std::u16string& name = u"Workbook");
// The workbook stream of a compound file image (Workbook, else Book).
std::vector<uint8_t> StreamOf(const std::vector<uint8_t>& image);
// The records of a stream in order.
RecordList Records(const std::vector<uint8_t>& stream);

// Cell records' data.
std::vector<uint8_t> Number(uint16_t row, uint16_t col, double v);
std::vector<uint8_t> LabelSst(uint16_t row, uint16_t col, uint32_t index);
// A FORMULA (of type 0x0006 or 0x0206) with a number, string (0xFFFF marker,
// the text in a STRING record that follows) or boolean cached result.
std::vector<uint8_t> FormulaNumber(uint16_t row, uint16_t col, double v);
std::vector<uint8_t> FormulaString(uint16_t row, uint16_t col);
std::vector<uint8_t> FormulaBool(uint16_t row, uint16_t col, bool v);

} // namespace biff
